#include "blocks/routing/mux.h"

#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr const char* kInputNames[kRoutes] = {"Input0", "Input1", "Input2", "Input3",
                                              "Input4", "Input5", "Input6", "Input7"};
constexpr std::string_view kInputHelp[kRoutes] = {
    "Input selected by 0", "Input selected by 1", "Input selected by 2", "Input selected by 3",
    "Input selected by 4", "Input selected by 5", "Input selected by 6", "Input selected by 7"};
// Output0 to Output7, DISPIDs 6 to 13, each with the value delivered.
constexpr EventDecl<Variant> kDemuxOutputs[kRoutes] = {
    {"Output0",
     EVENTID_DEMUX_OUTPUT0 + 0,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output1",
     EVENTID_DEMUX_OUTPUT0 + 1,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output2",
     EVENTID_DEMUX_OUTPUT0 + 2,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output3",
     EVENTID_DEMUX_OUTPUT0 + 3,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output4",
     EVENTID_DEMUX_OUTPUT0 + 4,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output5",
     EVENTID_DEMUX_OUTPUT0 + 5,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output6",
     EVENTID_DEMUX_OUTPUT0 + 6,
     {"Value"},
     "The value, when the index selects this output"},
    {"Output7",
     EVENTID_DEMUX_OUTPUT0 + 7,
     {"Value"},
     "The value, when the index selects this output"},
};

// The inputs persist as text, so a value of any kind survives: a load without
// one gives "", and so does the save of a value without a text form.
constexpr PlainValue kStoredInput{VT_BSTR, 0, ""};

}  // namespace

// --- OVMux --------------------------------------------------------------------

COVMuxCtrl::COVMuxCtrl() : COVBaseMathCtrl(2) {}

const DispatchTable& COVMuxCtrl::MuxMembers() {
    using C = COVMuxCtrl;
    // Input0 to Input7 at DISPIDs 1 to 8: no validity-table entries, a new
    // block's are long zeros.
    auto inputs = []<size_t... N>(std::index_sequence<N...>) {
        return std::vector<MemberDesc>{
            Property<&C::GetInputN<N>, &C::SetInputN<N>>(kInputNames[N], static_cast<DISPID>(N + 1),
                                                         kInputHelp[N])
                .template Persist<&C::m_inputs, N>(kInputNames[N], kStoredInput)
                .template Reset<&C::m_inputs, N>({VT_I4, 0})...};
    };
    static const DispatchTable table(&COVBaseMathCtrl::BaseMembers(), [&] {
        std::vector<MemberDesc> own = inputs(std::make_index_sequence<kRoutes>());
        own.push_back(Property<&C::GetIndex, &C::SetIndex>("InputIndex", 9,
                                                           "Number of the input to deliver, 0 to 7")
                          .Input(2)
                          .Persist<&C::m_lInputIndex>("InputIndex", {VT_I4, 0})
                          .Reset<&C::m_lInputIndex>({VT_I4, 0}));
        own.push_back(Property<&C::GetValue, &C::SetValue>("Value", 10, "The selected input")
                          .HiddenPut()
                          .Reset<&C::m_varValue>({VT_I4, 0}));
        own.push_back(Method<&C::Operate>("Operate", 11, "Selects at once and returns Value"));
        return own;
    }());
    return table;
}

void COVMuxCtrl::Compute() {
    ClearStatus();
    if (const std::optional<int32_t> route = RouteOf(m_lInputIndex)) {
        m_varValue = m_inputs[*route];
    } else {
        m_lStatusCode = ERROR_INVALID_DATA_HR;
    }
    FireResults(this);
}

// --- OVDemux ------------------------------------------------------------------

COVDemuxCtrl::COVDemuxCtrl() : COVBaseMathCtrl(3) {}

const DispatchTable& COVDemuxCtrl::DemuxMembers() {
    using C = COVDemuxCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetValue, &C::SetValue>("Value", 1, "Value to deliver")
                .Input(2)
                .Persist<&C::m_varValue>("Value", {VT_BSTR, 0, ""})
                .Reset<&C::m_varValue>({VT_I4, 0}),
            Property<&C::GetOutputIndex, &C::SetOutputIndex>(
                "OutputIndex", 2, "Number of the output event to fire, 0 to 7")
                .Input(3)
                .Persist<&C::m_lOutputIndex>("OutputIndex", {VT_I4, 0})
                .Reset<&C::m_lOutputIndex>({VT_I4, 0}),
            Method<&C::Operate>("Operate", 3, "Delivers the value at once"),
        });
    return table;
}

const EventTable& COVDemuxCtrl::DemuxEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(), [] {
        std::vector<EventDesc> own;
        for (const EventDecl<Variant>& output : kDemuxOutputs)
            own.push_back(output.Row());
        return own;
    }());
    return table;
}

void COVDemuxCtrl::Compute() {
    ClearStatus();
    const std::optional<int32_t> route = RouteOf(m_lOutputIndex);
    if (route) {
        Fire(kDemuxOutputs[*route], m_varValue);
    } else {
        m_lStatusCode = ERROR_INVALID_DATA_HR;
    }
    for (int32_t n = 0; n < kRoutes; ++n) {
        if (n != route) Fire(kValidateGroup, kDemuxFirstGroup + n);
    }
    FireResults(this);
}
