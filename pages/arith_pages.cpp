// Pages of the arithmetic blocks, the random block, the placeholders and the
// base control.
#include <cstdio>

#include "pages/page_registry.h"
#include "platform/desktop.h"

namespace {

constexpr PageField kDoubleOperands[] = {
    EditField("Input X", "InputX", FieldKind::Double),
    EditField("Input Y", "InputY", FieldKind::Double),
};
constexpr PageField kLongOperands[] = {
    EditField("Input X", "InputX", FieldKind::Long),
    EditField("Input Y", "InputY", FieldKind::Long),
};
constexpr PageField kNothingToSet[] = {
    NoteField("This control has no properties to set."),
};

constexpr std::string_view kPrecisions[] = {
    "-1 - max precision", " 0 - zero places", " 1 - one place",   " 2 - two places",
    " 3 - three places",  " 4 - four places", " 5 - five places", " 6 - six places",
};
constexpr std::string_view kSequences[] = {
    "Create new random number sequence at each program execution",
    "Repeat random number sequence at each program execution",
};
constexpr PageField kRandomFields[] = {
    EditField("Minimum value", "MinValue", FieldKind::Double),
    EditField("Maximum value", "MaxValue", FieldKind::Double),
    ListField("Output Precision", "OutputPrecision", kPrecisions).Offset(1),
    NoteField(""),  // the example output
    RadioField("NumberSequence", kSequences).Group("Number Sequence"),
};
constexpr size_t kRandomMax = 1, kRandomPrecision = 2, kRandomExample = 3;

// Shows what an output of the chosen precision looks like, and refuses a
// range whose minimum is not below its maximum.
class RandomPage : public COlePropertyPage {
  public:
    RandomPage()
        : COlePropertyPage("General", {std::begin(kRandomFields), std::end(kRandomFields)}) {}

    void Load(IDispatch* object) override {
        COlePropertyPage::Load(object);
        ShowExample();
    }

  protected:
    void OnEdited(size_t field) override {
        COlePropertyPage::OnEdited(field);
        ShowExample();
    }
    std::optional<PageMessage> CheckField(size_t field) override {
        if (auto failed = COlePropertyPage::CheckField(field)) return failed;
        if (field == kRandomMax && !(Number(0) < Number(kRandomMax))) {
            return PageMessage{"The maximum value must be greater than the minimum value",
                               MB_ICONEXCLAMATION, kRandomMax};
        }
        return std::nullopt;
    }

  private:
    void ShowExample() {
        long position = static_cast<long>(ParseInteger(Text(kRandomPrecision)).value_or(-1));
        double example = (Number(0) + Number(kRandomMax)) * 0.5 * 0.6666666666666666;
        char text[400] = "";
        if (position == 0) {
            std::snprintf(text, sizeof text, "(Ex: %.15f)", example);
        } else if (position > 0) {
            std::snprintf(text, sizeof text, "(Ex: %.*f)", static_cast<int>(position - 1), example);
        }
        Show(kRandomExample, text);
    }
};

const PageRow kRows[] = {
    {"COVAddPropPage", "General", kDoubleOperands},
    {"COVSubtractPropPage", "General", kDoubleOperands},
    {"COVMultiplyPropPage", "General", kDoubleOperands},
    {"COVDividePropPage", "General", kDoubleOperands},
    {"COVModulusPropPage", "General", kLongOperands},
    {"COVRandomPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> { return std::make_unique<RandomPage>(); }},
    {"COVBaseMathPropPage", "General", kNothingToSet},
    {"COVAbsPropPage", "General", kNothingToSet},
    {"COVSqrtPropPage", "General", kNothingToSet},
    {"COVSquarePropPage", "General", kNothingToSet},
    {"COVLogPropPage", "General", kNothingToSet},
    {"COVlnPropPage", "General", kNothingToSet},
    {"COVMathFunctionPropPage", "General", kNothingToSet},
    {"COVPowerPropPage", "General", kNothingToSet},
    {"COVSortPropPage", "General", kNothingToSet},
};

}  // namespace

std::span<const PageRow> ArithPages() {
    return kRows;
}
