#include "blocks/logic/if_then_else.h"

#include <optional>

#include "blocks/logic/substring.h"
#include "framework/block_value.h"
#include "platform/property_bag.h"

namespace {

constexpr std::array<bool, 3> kNoTruth{};

}  // namespace

const ComparisonOptionDesc kComparisonOptions[kComparisonOptionCount] = {
    {COMPARISON_OPTIONS::Equal, "Equal", "0 - X = Y", ConditionRoad::Comparison,
     ComparisonTest::Equal, kNoTruth},
    {COMPARISON_OPTIONS::Not_Equal, "Not_Equal", "1 - X not = Y", ConditionRoad::Comparison,
     ComparisonTest::NotEqual, kNoTruth},
    {COMPARISON_OPTIONS::Greater_Than, "Greater_Than", "2 - X > Y", ConditionRoad::Comparison,
     ComparisonTest::GreaterThan, kNoTruth},
    {COMPARISON_OPTIONS::Greater_Than_Or_Equal, "Greater_Than_Or_Equal", "3 - X > or = Y",
     ConditionRoad::Comparison, ComparisonTest::GreaterThanEqual, kNoTruth},
    {COMPARISON_OPTIONS::Less_Than, "Less_Than", "4 - X < Y ", ConditionRoad::Comparison,
     ComparisonTest::LessThan, kNoTruth},
    {COMPARISON_OPTIONS::Less_Than_Or_Equal, "Less_Than_Or_Equal", "5 - X < or = Y",
     ConditionRoad::Comparison, ComparisonTest::LessThanEqual, kNoTruth},
    {COMPARISON_OPTIONS::And,
     "And",
     "6 - X and Y",
     ConditionRoad::Truth,
     ComparisonTest::Equal,
     {false, false, true}},
    {COMPARISON_OPTIONS::Or,
     "Or",
     "7 - X or Y",
     ConditionRoad::Truth,
     ComparisonTest::Equal,
     {false, true, true}},
    {COMPARISON_OPTIONS::Xor,
     "Xor",
     "8 - X xor Y",
     ConditionRoad::Truth,
     ComparisonTest::Equal,
     {false, true, false}},
    {COMPARISON_OPTIONS::Contains, "Contains", "9 - X contains Y", ConditionRoad::Contains,
     ComparisonTest::Equal, kNoTruth},
};

namespace {

std::optional<bool> CombineTruths(const std::array<bool, 3>& holdsByTrueCount, Variant& x,
                                  Variant& y) {
    for (Variant* v : {&x, &y}) {
        if (v->vt() == VT_BSTR) ConvertStringInput(*v);
    }
    // Without a Boolean on either side, the inputs must at least be plain
    // values (a date out of range or an array is not).
    if (x.vt() != VT_BOOL && y.vt() != VT_BOOL) {
        for (const Variant* v : {&x, &y}) {
            Variant text;
            if (FAILED(VariantChangeType(&text, v, 0, VT_BSTR))) return std::nullopt;
        }
    }
    size_t trueCount = 0;
    for (const Variant* v : {&x, &y}) {
        Variant truth;
        if (FAILED(VariantChangeType(&truth, v, 0, VT_BOOL))) return std::nullopt;
        if (truth.boolVal() != 0) ++trueCount;
    }
    return holdsByTrueCount[trueCount];
}

}  // namespace

Branch DecideBranch(int16_t compare, Variant& x, Variant& y, const TextOptions& options) {
    if (compare < 0 || static_cast<size_t>(compare) >= kComparisonOptionCount) {
        return Branch::Neither;
    }
    const ComparisonOptionDesc& option = kComparisonOptions[compare];
    std::optional<bool> holds;
    switch (option.road) {
        case ConditionRoad::Comparison:
            holds = CompareValues(option.test, x, y, options);
            break;
        case ConditionRoad::Truth:
            holds = CombineTruths(option.holdsByTrueCount, x, y);
            break;
        case ConditionRoad::Contains:
            holds = TextContains(x, y, options);
            break;
    }
    if (!holds) return Branch::Mismatch;
    return *holds ? Branch::Then : Branch::Else;
}

// --- the block --------------------------------------------------------------

CIfThenElseCtrl::CIfThenElseCtrl() : COVBaseMathCtrl(3) {}

// The type library's enumeration of the tests, read from the option table.
const EnumDesc& ComparisonOptionsEnum() {
    static const auto values = [] {
        std::array<EnumValue, kComparisonOptionCount> v{};
        for (size_t i = 0; i < v.size(); ++i) {
            v[i] = {kComparisonOptions[i].name, static_cast<int32_t>(kComparisonOptions[i].value)};
        }
        return v;
    }();
    static const EnumDesc desc{"COMPARISON_OPTIONS", values};
    return desc;
}

const DispatchTable& CIfThenElseCtrl::IfThenElseMembers() {
    using C = CIfThenElseCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputX, &C::SetInputX>("InputX", 1, "First value to test"),
            Property<&C::GetInputX, &C::SetInputX>("_InputX", DISPID_VALUE, "First value to test")
                .Hidden(),
            Property<&C::GetInputY, &C::SetInputY>("InputY", 2, "Second value to test"),
            Property<&C::GetValueThen, &C::SetValueThen>("ValueThen", 3,
                                                         "True if inputs are evaluated True.")
                .HiddenPut(),
            Property<&C::GetValueElse, &C::SetValueElse>("ValueElse", 4,
                                                         "True if inputs are evaluated False.")
                .HiddenPut(),
            Method<&C::Operate>("Operate", 5, "Tests at once"),
            Property<&C::GetCompare, &C::SetCompare>("Compare", 6, "Evaluation Options.")
                .Enum(ComparisonOptionsEnum()),
            Property<&C::GetCaseSensitive, &C::SetCaseSensitive>(
                "CaseSensitive", 7, "True for case sensitive comparison."),
            Property<&C::GetIgnoreWhiteSpace, &C::SetIgnoreWhiteSpace>(
                "IgnoreWhiteSpace", 8, "True to ignore leading and trailing whitespace."),
        });
    return table;
}

const EventTable& CIfThenElseCtrl::IfThenElseEvents() {
    static const EventTable table(
        &COVBaseMathCtrl::BaseEvents(),
        {
            {"Then", EVENTID_THEN, {}, {}, "Fires when comparison is evaluated True."},
            {"Else", EVENTID_ELSE, {}, {}, "Fires when comparision is evaluated False."},
        });
    return table;
}

int32_t CIfThenElseCtrl::GetInputIndex(DISPID dispid) {
    if (dispid == 1 || dispid == 2) return dispid + 1;
    return COVBaseMathCtrl::GetInputIndex(dispid);
}

void CIfThenElseCtrl::SetValueThen(bool value) {
    PutSetting(m_bValueThen, value);
}

void CIfThenElseCtrl::SetValueElse(bool value) {
    PutSetting(m_bValueElse, value);
}

void CIfThenElseCtrl::SetCompare(int16_t value) {
    PutBoundSetting(6, m_nCompare, value);
}

void CIfThenElseCtrl::SetCaseSensitive(bool value) {
    PutBoundSetting(7, m_bCaseSensitive, value);
}

void CIfThenElseCtrl::SetIgnoreWhiteSpace(bool value) {
    PutBoundSetting(8, m_bIgnoreWhiteSpace, value);
}

void CIfThenElseCtrl::Compute() {
    ClearStatus();
    m_bValueThen = FALSE;
    m_bValueElse = FALSE;
    const TextOptions options{m_bCaseSensitive != FALSE, m_bIgnoreWhiteSpace != FALSE};
    const Branch branch = DecideBranch(m_nCompare, InputX, InputY, options);
    if (branch == Branch::Mismatch) {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
        FireGroupEvent(EVENTID_VALIDATEGROUP, GROUP_THEN);
        FireGroupEvent(EVENTID_VALIDATEGROUP, GROUP_ELSE);
    } else if (branch != Branch::Neither) {
        m_bCancelBlock = FALSE;
        FireBlockEvent(EVENTID_RUNBLOCK);
        // A cancelled run leaves both outputs FALSE: they are set only here.
        if (!m_bCancelBlock) {
            const bool then = branch == Branch::Then;
            (then ? m_bValueThen : m_bValueElse) = TRUE;
            FireBlockEvent(then ? EVENTID_THEN : EVENTID_ELSE);
            FireGroupEvent(EVENTID_VALIDATEGROUP, then ? GROUP_ELSE : GROUP_THEN);
        }
    }
    FireResultsWithoutRun(this);
}

void CIfThenElseCtrl::DoPropExchange(CPropExchange* pPX) {
    uint32_t version = CONTROL_VERSION;
    ExchangeVersion(pPX, version, CONTROL_VERSION);
    COVBaseMathCtrl::DoPropExchange(pPX);
    // Inputs persist as text as the comparison blocks' do: any kind survives,
    // numeric texts still compare as numbers after loading.
    const Variant fallback = Variant::Str("0.0");
    PX_Variant(pPX, "InputX", InputX, VT_BSTR, fallback);
    PX_Variant(pPX, "InputY", InputY, VT_BSTR, fallback);
    PX_Short(pPX, "Compare", m_nCompare, 0);
    PX_Bool(pPX, "CaseSensitive", m_bCaseSensitive, FALSE);
    PX_Bool(pPX, "IgnoreWhiteSpace", m_bIgnoreWhiteSpace, TRUE);
}

void CIfThenElseCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    InputX = Variant::I4(0);
    InputY = Variant::I4(0);
    m_bValueThen = FALSE;
    m_bValueElse = FALSE;
    m_nCompare = static_cast<int16_t>(COMPARISON_OPTIONS::Equal);
    m_bCaseSensitive = FALSE;
    m_bIgnoreWhiteSpace = TRUE;
    m_nHelpContext = IFTHENELSE_HELP_CONTEXT;
}
