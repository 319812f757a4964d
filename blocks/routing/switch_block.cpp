#include "blocks/routing/switch_block.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Output1 to Output8 (DISPIDs 6 to 13) and DefaultOut (14), each with the input.
constexpr EventDecl<Variant> kSwitchOutputs[] = {
    {"Output1", EVENTID_SWITCH_OUTPUT1 + 0, {"Value"}, "The value equals this case"},
    {"Output2", EVENTID_SWITCH_OUTPUT1 + 1, {"Value"}, "The value equals this case"},
    {"Output3", EVENTID_SWITCH_OUTPUT1 + 2, {"Value"}, "The value equals this case"},
    {"Output4", EVENTID_SWITCH_OUTPUT1 + 3, {"Value"}, "The value equals this case"},
    {"Output5", EVENTID_SWITCH_OUTPUT1 + 4, {"Value"}, "The value equals this case"},
    {"Output6", EVENTID_SWITCH_OUTPUT1 + 5, {"Value"}, "The value equals this case"},
    {"Output7", EVENTID_SWITCH_OUTPUT1 + 6, {"Value"}, "The value equals this case"},
    {"Output8", EVENTID_SWITCH_OUTPUT1 + 7, {"Value"}, "The value equals this case"},
    {"DefaultOut", EVENTID_DEFAULTOUT, {"Value"}, "The value equals no case"},
};
static_assert(std::size(kSwitchOutputs) == EVENTID_DEFAULTOUT - EVENTID_SWITCH_OUTPUT1 + 1);

constexpr int32_t kFirstGroup = SwitchGroupOf(EVENTID_SWITCH_OUTPUT1);
constexpr int32_t kLastGroup = SwitchGroupOf(EVENTID_DEFAULTOUT);

}  // namespace

COVSwitchCtrl::COVSwitchCtrl() : COVListCtrl(3, Shape::Cases) {}

const DispatchTable& COVSwitchCtrl::SwitchMembers() {
    using C = COVSwitchCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInput, &C::SetInput>("Value", 1,
                                                 "Value to route; the argument of the outputs")
                .Input(2)
                .PersistInput<&C::m_varInput>("Value", kStoredInput)
                .Reset<&C::m_varInput>(kStoredInput),
            Property<&C::GetLookupTable, &C::SetLookupTable>(
                "LookupTable", DISPID_LOOKUPTABLE,
                "Path of a switch list file, or an array of up to eight case values")
                .Input(3)
                .Reset<&C::m_varLookupTable>(kNoList),
            Method<&C::Operate>("Operate", 3, "Routes the value at once"),
            Property<&C::GetCaseSensitive, &C::SetCaseSensitive<4>>(
                "CaseSensitive", 4, "True for case sensitive comparison of text cases.")
                .Persist<&C::m_bCaseSensitive>("CaseSensitive", kNotCaseSensitive)
                .Reset<&C::m_bCaseSensitive>(kNotCaseSensitive),
            Property<&C::GetDelimiter, &C::SetDelimiter<5>>(
                "Delimiter", 5, "Separates case values on a line of a list file")
                .Enum(kDelimiterEnum)
                .Persist<&C::m_cDelimiter>("Delimiter", kCommaDelimiter)
                .Reset<&C::m_cDelimiter>(kCommaDelimiter),
        });
    return table;
}

const EventTable& COVSwitchCtrl::SwitchEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(), [] {
        std::vector<EventDesc> own;
        for (const EventDecl<Variant>& output : kSwitchOutputs)
            own.push_back(output.Row());
        return own;
    }());
    return table;
}

void COVSwitchCtrl::FireOutput(DISPID event) {
    if (event != 0) {
        Fire(kSwitchOutputs[event - EVENTID_SWITCH_OUTPUT1], m_varInput);
    }
    for (int32_t group = kFirstGroup; group <= kLastGroup; ++group) {
        if (event == 0 || group != SwitchGroupOf(event)) {
            Fire(kValidateGroup, group);
        }
    }
}

void COVSwitchCtrl::Compute() {
    ClearStatus();
    if (m_varLookupTable.vt() != VT_BSTR && !m_varLookupTable.IsArray()) {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
        FireOutput(0);
        FireResults(this);
        return;
    }
    RunTable run = TableForRun();
    m_lStatusCode = run.status;
    std::optional<size_t> match;
    if (run.table != nullptr && run.status == S_OK) {
        const SafeArray& cases = *run.table;
        const std::optional<CaseProbe> probe =
            PrepareProbe(TableKindOf(cases.ElementType()), m_varInput, GetCaseSensitive());
        if (probe) {
            match = FindFirstMatch(cases, *probe, 0, 1, std::min(cases.Count(), kMaxSwitchCases));
        } else {
            m_lStatusCode = TYPE_E_TYPEMISMATCH;
        }
    }
    run.fromFile.reset();
    FireOutput(match ? EVENTID_SWITCH_OUTPUT1 + static_cast<DISPID>(*match) : EVENTID_DEFAULTOUT);
    FireResults(this);
}
