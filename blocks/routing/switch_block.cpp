#include "blocks/routing/switch_block.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

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
                .Input(2),
            Property<&C::GetLookupTable, &C::SetLookupTable>(
                "LookupTable", DISPID_LOOKUPTABLE,
                "Path of a switch list file, or an array of up to eight case values")
                .Input(3),
            Method<&C::Operate>("Operate", 3, "Routes the value at once"),
            Property<&C::GetCaseSensitive, &C::SetCaseSensitive<4>>(
                "CaseSensitive", 4, "True for case sensitive comparison of text cases."),
            Property<&C::GetDelimiter, &C::SetDelimiter<5>>(
                "Delimiter", 5, "Separates case values on a line of a list file")
                .Enum(kDelimiterEnum),
        });
    return table;
}

const EventTable& COVSwitchCtrl::SwitchEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(), [] {
        std::vector<EventDesc> own;
        static const std::string names[] = {"Output1", "Output2", "Output3", "Output4",
                                            "Output5", "Output6", "Output7", "Output8"};
        for (DISPID k = 0; k < 8; ++k) {
            own.push_back({names[k],
                           EVENTID_SWITCH_OUTPUT1 + k,
                           {VT_VARIANT},
                           {"Value"},
                           "The value equals this case"});
        }
        own.push_back({"DefaultOut",
                       EVENTID_DEFAULTOUT,
                       {VT_VARIANT},
                       {"Value"},
                       "The value equals no case"});
        return own;
    }());
    return table;
}

void COVSwitchCtrl::FireOutput(DISPID event) {
    if (event != 0) {
        Variant args[] = {m_varInput};
        FireBlockEvent(event, args);
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

void COVSwitchCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    ExchangeList(pPX, "Value");
}

void COVSwitchCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    ResetList();
    m_nHelpContext = SWITCH_HELP_CONTEXT;
}
