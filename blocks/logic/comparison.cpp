#include "blocks/logic/comparison.h"

#include <cctype>
#include <memory>
#include <vector>

#include "framework/block_value.h"

constexpr ComparisonKind kComparisonKinds[kComparisonTestCount] = {
    {ComparisonTest::Equal, "OVEquality", 2, "Equal", "True if inputs are equal.", "NotEqual",
     "True if inputs are not equal.", false, "DataEqual", "Fires when the inputs are equal.", true},
    {ComparisonTest::NotEqual, "OVNotEqual", 10, "Equal", "True if inputs are equal.", "NotEqual",
     "True if inputs are not equal.", true, "DataNotEqual", "Fires when the inputs are not equal.",
     false},
    {ComparisonTest::GreaterThan, "OVGreaterThan", 3, "GreaterThan",
     "True when InputX is greater than InputY.", "NotGreaterThan",
     "True when InputX is not greater than InputY.", false, "DataGreaterThan",
     "Fires when InputX is greater than InputY.", false},
    {ComparisonTest::GreaterThanEqual, "OVGreaterThanEqual", 11, "GreaterThan",
     "True when InputX is greater than equal to InputY.", "NotGreaterThan",
     "True when InputX is less than InputY.", false, "DataGreaterThanEqual",
     "Fires when InputX is greater than or equal to InputY.", false},
    {ComparisonTest::LessThan, "OVLessThan", 4, "LessThan", "True when InputX is less than InputY.",
     "NotLessThan", "True when InputX is not less than InputY.", false, "DataLessThan",
     "Fires when InputX is less than InputY.", false},
    {ComparisonTest::LessThanEqual, "OVLessThanEqual", 12, "LessThan",
     "True when InputX is less than equal to InputY.", "NotLessThan",
     "True when InputX is greater than InputY.", false, "DataLessThanEqual",
     "Fires when InputX is less than or equal to InputY.", false},
};

namespace {

// Whether a test holds for each outcome of a comparison. `unordered` is the
// outcome of a NaN on either side; the two equality tests also compare truth
// values, which are only equal or different.
struct TestRule {
    bool less, equal, greater, unordered;
    bool booleanBranch;
};

// Indexed by ComparisonTest.
constexpr TestRule kRules[kComparisonTestCount] = {
    {false, true, false, true, true},    // Equal: neither X < Y nor X > Y
    {true, false, true, false, true},    // NotEqual: X < Y or X > Y
    {false, false, true, false, false},  // GreaterThan: X > Y
    {false, true, true, false, false},   // GreaterThanEqual: X >= Y
    {true, false, false, true, false},   // LessThan: not X >= Y
    {true, true, false, true, false},    // LessThanEqual: not X > Y
};

bool HoldsForSign(const TestRule& rule, int sign) {
    return sign < 0 ? rule.less : sign > 0 ? rule.greater : rule.equal;
}

std::optional<bool> CompareTruths(const TestRule& rule, Variant& x, Variant& y) {
    for (Variant* v : {&x, &y}) {
        if (v->vt() == VT_BSTR) ConvertStringInput(*v);
    }
    Variant bx, by;
    if (FAILED(VariantChangeType(&bx, &x, 0, VT_BOOL)) ||
        FAILED(VariantChangeType(&by, &y, 0, VT_BOOL))) {
        return std::nullopt;
    }
    // Truth values have no order: different ones count as "less", which the
    // two tests with this branch treat as "greater" too.
    return HoldsForSign(rule, (bx.boolVal() != 0) == (by.boolVal() != 0) ? 0 : -1);
}

}  // namespace

std::string PrepareText(std::string text, const TextOptions& options) {
    if (!options.caseSensitive) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (options.ignoreWhiteSpace) {
        auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
        size_t first = 0, last = text.size();
        while (first < last && blank(text[first]))
            ++first;
        while (last > first && blank(text[last - 1]))
            --last;
        text = text.substr(first, last - first);
    }
    return text;
}

std::optional<bool> CompareValues(ComparisonTest test, Variant& x, Variant& y,
                                  const TextOptions& options) {
    const TestRule& rule = kRules[static_cast<size_t>(test)];
    if (rule.booleanBranch && (x.vt() == VT_BOOL || y.vt() == VT_BOOL)) {
        return CompareTruths(rule, x, y);
    }
    Variant dx, dy;
    if (SUCCEEDED(VariantChangeType(&dx, &x, 0, VT_R8)) &&
        SUCCEEDED(VariantChangeType(&dy, &y, 0, VT_R8))) {
        const double a = dx.dblVal(), b = dy.dblVal();
        if (a < b) return rule.less;
        if (a > b) return rule.greater;
        return a == b ? rule.equal : rule.unordered;
    }
    Variant tx, ty;
    if (FAILED(VariantChangeType(&tx, &x, 0, VT_BSTR)) ||
        FAILED(VariantChangeType(&ty, &y, 0, VT_BSTR))) {
        return std::nullopt;
    }
    // std::string compares through char_traits<char>, which orders bytes as
    // unsigned char, the byte-wise order the blocks promise.
    const int sign = PrepareText(tx.bstrVal(), options).compare(PrepareText(ty.bstrVal(), options));
    return HoldsForSign(rule, sign);
}

// --- the block --------------------------------------------------------------

COVComparisonCtrl::COVComparisonCtrl(ComparisonTest test)
    : CTextTestCtrl(3, 6, 7), kind_(kComparisonKinds[static_cast<size_t>(test)]) {}

const DispatchTable& COVComparisonCtrl::ComparisonMembers(ComparisonTest test) {
    using C = COVComparisonCtrl;
    static const auto tables = [] {
        std::vector<std::unique_ptr<DispatchTable>> all;
        for (const ComparisonKind& kind : kComparisonKinds) {
            // Inputs persist as text so that any kind survives; numeric texts
            // still compare as numbers after loading. The outputs' slots lie
            // beyond the table: they are their group numbers.
            std::vector<MemberDesc> own = WithTextOptions(
                {
                    Property<&C::GetInputX, &C::SetInputX>("InputX", 1, "First value to compare")
                        .Input(2)
                        .Persist<&C::InputX>("InputX", {VT_BSTR, 0, "0.0"})
                        .Reset<&C::InputX>({VT_I4, 0}),
                    Property<&C::GetInputY, &C::SetInputY>("InputY", 2, "Second value to compare")
                        .Input(3)
                        .Persist<&C::InputY>("InputY", {VT_BSTR, 0, "0.0"})
                        .Reset<&C::InputY>({VT_I4, 0}),
                    Property<&C::GetOutput3, &C::SetOutput3>(kind.output3, 3, kind.help3)
                        .Input(GROUP_OUTPUT3)
                        .HiddenPut()
                        .Reset<&C::m_bOutput3>({VT_BOOL, 0}),
                    Property<&C::GetOutput4, &C::SetOutput4>(kind.output4, 4, kind.help4)
                        .Input(GROUP_OUTPUT4)
                        .HiddenPut()
                        .Reset<&C::m_bOutput4>({VT_BOOL, 0}),
                    Method<&C::Operate>("Operate", 5, "Compares at once"),
                },
                6, 7);
            if (kind.defaultMember) {
                own.push_back(Property<&C::GetInputX, &C::SetInputX>("_InputX", DISPID_VALUE,
                                                                     "First value to compare")
                                  .Hidden());
            }
            all.push_back(
                std::make_unique<DispatchTable>(&COVBaseMathCtrl::BaseMembers(), std::move(own)));
        }
        return all;
    }();
    return *tables[static_cast<size_t>(test)];
}

const EventTable& COVComparisonCtrl::ComparisonEvents(ComparisonTest test) {
    static const auto tables = [] {
        std::vector<std::unique_ptr<EventTable>> all;
        for (const ComparisonKind& kind : kComparisonKinds) {
            all.push_back(std::make_unique<EventTable>(
                &COVBaseMathCtrl::BaseEvents(),
                std::vector<EventDesc>{kDataEvent.RowNamed(kind.dataEvent, kind.dataEventHelp),
                                       kValueEvent.Row()}));
        }
        return all;
    }();
    return *tables[static_cast<size_t>(test)];
}

namespace {

template <ComparisonTest Test>
const DispatchTable& ComparisonKindMembers() {
    return COVComparisonCtrl::ComparisonMembers(Test);
}

template <ComparisonTest Test>
const EventTable& ComparisonKindEvents() {
    return COVComparisonCtrl::ComparisonEvents(Test);
}

template <ComparisonTest Test>
constexpr ControlClass ComparisonClass() {
    return {&ComparisonKindMembers<Test>, &ComparisonKindEvents<Test>,
            kComparisonKinds[static_cast<size_t>(Test)].helpContext};
}

}  // namespace

constinit const ControlClass COVComparisonCtrl::kKindClasses[kComparisonTestCount] = {
    ComparisonClass<ComparisonTest::Equal>(),
    ComparisonClass<ComparisonTest::NotEqual>(),
    ComparisonClass<ComparisonTest::GreaterThan>(),
    ComparisonClass<ComparisonTest::GreaterThanEqual>(),
    ComparisonClass<ComparisonTest::LessThan>(),
    ComparisonClass<ComparisonTest::LessThanEqual>(),
};

void COVComparisonCtrl::SetOutput3(bool value) {
    PutSetting(m_bOutput3, value);
}

void COVComparisonCtrl::SetOutput4(bool value) {
    PutSetting(m_bOutput4, value);
}

void COVComparisonCtrl::Compute() {
    ClearStatus();
    const std::optional<bool> holds = CompareValues(kind_.test, InputX, InputY, Options());
    if (!holds) {
        // The outputs keep their values; both groups carry nothing new.
        FinishMismatch(GROUP_OUTPUT3, GROUP_OUTPUT4);
        return;
    }
    m_bOutput3 = FALSE;
    m_bOutput4 = FALSE;
    // The output named for a holding test, or the other one for a failing test.
    const bool setOutput4 = *holds ? kind_.holdSetsOutput4 : !kind_.holdSetsOutput4;
    (setOutput4 ? m_bOutput4 : m_bOutput3) = TRUE;
    FinishDecided([&] {
        Fire(kValueEvent, *holds);
        if (*holds) {
            Fire(kDataEvent);
        } else {
            Fire(kValidateGroup, GROUP_OUTPUT3);
        }
    });
}
