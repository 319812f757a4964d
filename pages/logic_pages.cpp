// Pages of the comparison, logic and decision blocks.
#include <array>
#include <cstdio>

#include "pages/page_registry.h"
#include "platform/desktop.h"

namespace {

constexpr std::string_view kStringOptions = "Options for String Comparisons";

// Input X, Input Y, the test's caption and the two text options.
constexpr std::array<PageField, 5> ComparisonFields(std::string_view test) {
    return {
        EditField("Input X", "InputX", FieldKind::String),
        EditField("Input Y", "InputY", FieldKind::String),
        NoteField(test),
        CheckBoxField("Check here for comparison to be case sensitive", "CaseSensitive")
            .Group(kStringOptions),
        CheckBoxField("Check here to ignore leading and trailing whitespace", "IgnoreWhiteSpace")
            .Group(kStringOptions),
    };
}
constexpr auto kEquality = ComparisonFields("Compare X = Y?");
constexpr auto kNotEqual = ComparisonFields("Compare X NOT = Y?");
constexpr auto kGreaterThan = ComparisonFields("Compare X > Y?");
constexpr auto kGreaterThanEqual = ComparisonFields("Compare X >= Y?");
constexpr auto kLessThan = ComparisonFields("Compare X < Y?");
constexpr auto kLessThanEqual = ComparisonFields("Compare X <= Y?");

// The initial inputs are either Booleans (check boxes) or integers (edit
// boxes), as BooleanType says; the enabled pair is always written.
constexpr EnableRule kWhenBoolean{"BooleanType", 1, true, true};
constexpr EnableRule kWhenInteger{"BooleanType", 0, true, true};
constexpr PageField kTwoInputLogic[] = {
    CheckBoxField("Check to use booleans for initial values", "BooleanType"),
    CheckBoxField("Input X", "InputX").EnabledWhen(kWhenBoolean),
    CheckBoxField("Input Y", "InputY").EnabledWhen(kWhenBoolean),
    NoteField("A ticked box makes the initial input true, a cleared one false."),
    NoteField("If not using booleans, enter integer values below:"),
    EditField("Input X", "InputX", FieldKind::Long).EnabledWhen(kWhenInteger),
    EditField("Input Y", "InputY", FieldKind::Long).EnabledWhen(kWhenInteger),
};
constexpr PageField kNotLogic[] = {
    CheckBoxField("Check to use boolean for initial value", "BooleanType"),
    CheckBoxField("Input", "Input").EnabledWhen(kWhenBoolean),
    NoteField("A ticked box makes the initial input true, a cleared one false."),
    NoteField("If not using boolean, enter integer value below:"),
    EditField("Input", "Input", FieldKind::Long).EnabledWhen(kWhenInteger),
};

constexpr std::string_view kComparisonOptions[] = {
    "0 - X = Y",      "1 - X not = Y", "2 - X > Y",  "3 - X > or = Y", "4 - X < Y ",
    "5 - X < or = Y", "6 - X and Y",   "7 - X or Y", "8 - X xor Y",    "9 - X contains Y",
};
constexpr PageField kIfThenElse[] = {
    EditField("Input X", "InputX", FieldKind::String),
    EditField("Input Y", "InputY", FieldKind::String),
    ListField("Comparison options", "Compare", kComparisonOptions),
    CheckBoxField("Check here for comparison to be case sensitive", "CaseSensitive")
        .Group(kStringOptions),
    CheckBoxField("Check here to ignore leading and trailing whitespace", "IgnoreWhiteSpace")
        .Group(kStringOptions),
};
constexpr PageField kSubString[] = {
    EditField("Input String", "InputString", FieldKind::String),
    EditField("Input SubString", "InputSubString", FieldKind::String),
    CheckBoxField("Check here for comparison to be case sensitive", "CaseSensitive")
        .Group(kStringOptions),
    CheckBoxField("Check here to ignore leading and trailing whitespace", "IgnoreWhiteSpace")
        .Group(kStringOptions),
};

constexpr std::string_view kAlarmOptions[] = {
    "0 - Fire alarms on each data update",
    "1 - Fire alarms once on each alarm transition",
    "2 - Fire alarms once on first alarm transition",
};
constexpr PageField kAlarmFields[] = {
    EditField("Very High Alarm", "VeryHigh", FieldKind::Double),
    EditField("High Alarm", "High", FieldKind::Double),
    EditField("Low Alarm", "Low", FieldKind::Double),
    EditField("Very Low Alarm", "VeryLow", FieldKind::Double),
    EditField("Input Value", "Value", FieldKind::Double),
    ListField("Alarm Options:", "AlarmOptions", kAlarmOptions),
};
constexpr size_t kVeryHigh = 0, kHigh = 1, kLow = 2, kVeryLow = 3;

// The thresholds must stay ordered: High not above Very High, Low between
// Very Low and High.
class AlarmPage : public COlePropertyPage {
  public:
    AlarmPage() : COlePropertyPage("General", {std::begin(kAlarmFields), std::end(kAlarmFields)}) {}

  protected:
    std::optional<PageMessage> CheckField(size_t field) override {
        if (auto failed = COlePropertyPage::CheckField(field)) return failed;
        if (field == kHigh && Number(kHigh) > Number(kVeryHigh)) {
            char text[80];
            std::snprintf(text, sizeof text, "Please enter a number < %.*g", 15, Number(kVeryHigh));
            return PageMessage{text, MB_ICONEXCLAMATION, kHigh};
        }
        if (field == kLow && (Number(kLow) < Number(kVeryLow) || Number(kLow) > Number(kHigh))) {
            return PageMessage{NumberRangeMessage(Number(kVeryLow), Number(kHigh)),
                               MB_ICONEXCLAMATION, kLow};
        }
        return std::nullopt;
    }
};

const PageRow kRows[] = {
    {"COVEqualityPropPage", "General", kEquality},
    {"COVNotEqualPropPage", "General", kNotEqual},
    {"COVGreaterThanPropPage", "General", kGreaterThan},
    {"COVGreaterThanEqualPropPage", "General", kGreaterThanEqual},
    {"COVLessThanPropPage", "General", kLessThan},
    {"COVLessThanEqualPropPage", "General", kLessThanEqual},
    {"COVAndPropPage", "General", kTwoInputLogic},
    {"COVOrPropPage", "General", kTwoInputLogic},
    {"COVXorPropPage", "General", kTwoInputLogic},
    {"COVNandPropPage", "General", kTwoInputLogic},
    {"COVNorPropPage", "General", kTwoInputLogic},
    {"COVNotPropPage", "General", kNotLogic},
    {"CIfThenElsePropPage", "General", kIfThenElse},
    {"CSubStringPropPage", "General", kSubString},
    {"COVAlarmPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> { return std::make_unique<AlarmPage>(); }},
};

}  // namespace

std::span<const PageRow> LogicPages() {
    return kRows;
}
