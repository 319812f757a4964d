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

CIfThenElseCtrl::CIfThenElseCtrl() : CTextTestCtrl(3, 7, 8) {}

namespace {

// The type library's COMPARISON_OPTIONS, read from the option table.
const EnumDesc& ComparisonOptionsEnum() {
    static const auto values = [] {
        std::array<EnumValue, kComparisonOptionCount> v{};
        for (size_t i = 0; i < kComparisonOptionCount; ++i)
            v[i] = {kComparisonOptions[i].name, static_cast<int32_t>(kComparisonOptions[i].value)};
        return v;
    }();
    static const EnumDesc desc{"COMPARISON_OPTIONS", values};
    return desc;
}

}  // namespace

const DispatchTable& CIfThenElseCtrl::IfThenElseMembers() {
    using C = CIfThenElseCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        // Inputs persist as text as the comparison blocks' do: any kind
        // survives, numeric texts still compare as numbers after loading.
        WithTextOptions(
            {
                Property<&C::GetInputX, &C::SetInputX>("InputX", 1, "First value to test")
                    .Input(2)
                    .Persist<&C::InputX>("InputX", {VT_BSTR, 0, "0.0"})
                    .Reset<&C::InputX>({VT_I4, 0}),
                Property<&C::GetInputX, &C::SetInputX>("_InputX", DISPID_VALUE,
                                                       "First value to test")
                    .Hidden(),
                Property<&C::GetInputY, &C::SetInputY>("InputY", 2, "Second value to test")
                    .Input(3)
                    .Persist<&C::InputY>("InputY", {VT_BSTR, 0, "0.0"})
                    .Reset<&C::InputY>({VT_I4, 0}),
                Property<&C::GetValueThen, &C::SetValueThen>("ValueThen", 3,
                                                             "True if inputs are evaluated True.")
                    .Reset<&C::m_bValueThen>({VT_BOOL, 0})
                    .HiddenPut(),
                Property<&C::GetValueElse, &C::SetValueElse>("ValueElse", 4,
                                                             "True if inputs are evaluated False.")
                    .Reset<&C::m_bValueElse>({VT_BOOL, 0})
                    .HiddenPut(),
                Method<&C::Operate>("Operate", 5, "Tests at once"),
                Property<&C::GetCompare, &C::SetCompare>("Compare", 6, "Evaluation Options.")
                    .Persist<&C::m_nCompare>("Compare", {VT_I2, 0})
                    .Reset<&C::m_nCompare>({VT_I2, 0})
                    .Enum(ComparisonOptionsEnum()),
            },
            7, 8));
    return table;
}

const EventTable& CIfThenElseCtrl::IfThenElseEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(),
                                  {kThenEvent.Row(), kElseEvent.Row()});
    return table;
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

void CIfThenElseCtrl::Compute() {
    ClearStatus();
    m_bValueThen = FALSE;
    m_bValueElse = FALSE;
    const Branch branch = DecideBranch(m_nCompare, InputX, InputY, Options());
    if (branch == Branch::Mismatch) {
        FinishMismatch(GROUP_THEN, GROUP_ELSE);
    } else if (branch == Branch::Neither) {
        FireResultsWithoutRun(this);
    } else {
        // A cancelled run leaves both outputs FALSE: they are set only here.
        FinishDecided([&] {
            const bool then = branch == Branch::Then;
            (then ? m_bValueThen : m_bValueElse) = TRUE;
            Fire(then ? kThenEvent : kElseEvent);
            Fire(kValidateGroup, then ? GROUP_ELSE : GROUP_THEN);
        });
    }
}
