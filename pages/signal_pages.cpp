// Pages of the signal blocks: function generator, histogram, FIR filter, and
// the shared "No Properties" page of the statistics and FFT blocks.
#include <cmath>
#include <cstdio>

#include "pages/page_registry.h"

namespace {

constexpr std::string_view kWaveforms[] = {
    "0 - Constant",     "1 - Square wave", "2 - Sine wave", "3 - Sawtooth",
    "4 - Random noise", "5 - Damped sine", "6 - Ramp",
};
constexpr PageField kFuncGen[] = {
    EditField("Frequency", "Frequency", FieldKind::Double),
    EditField("Amplitude", "Amplitude", FieldKind::Double),
    EditField("Phase", "Phase", FieldKind::Double),
    EditField("Starting Time", "Time", FieldKind::Double),
    EditField("Sample Rate", "SampleRate", FieldKind::Double),
    EditField("Array Size", "ArraySize", FieldKind::Long),
    EditField("Amplitude Offset", "AmplitudeOffset", FieldKind::Double),
    EditField("Damping Factor", "DampingFactor", FieldKind::Double)
        .EnabledWhen({"Waveform", 5}),  // only the damped sine decays
    ListField("Waveform:", "Waveform", kWaveforms),
};

constexpr std::string_view kFilterTypes[] = {"0 - Low pass", "1 - High pass", "2 - Band pass",
                                             "3 - Band stop"};
constexpr std::string_view kWindows[] = {"0 - Rectangle", "1 - Parzen", "2 - Bartlett",
                                         "3 - Hanning",   "4 - Welch",  "5 - Hamming",
                                         "6 - Blackman"};
constexpr std::string_view kCutoffs = "Normalized cutoff frequencies";
constexpr PageField kFirFilter[] = {
    ListField("&Filter type", "FilterType", kFilterTypes),
    ListField("&Window type", "WindowType", kWindows),
    EditField("Filter &coeffecients", "NumOfCoeff", FieldKind::Short).Range(2, 64),
    // A low pass has no lower cutoff, a high pass no upper one.
    EditField("&Low", "LowFrequencyCutoff", FieldKind::Float)
        .Group(kCutoffs)
        .EnabledWhen({"FilterType", 0, false}),
    EditField("&High", "HighFrequencyCutoff", FieldKind::Float)
        .Group(kCutoffs)
        .EnabledWhen({"FilterType", 1, false}),
    NoteField("Must be between 0.0 and 0.5 and Low < High").Group(kCutoffs),
};

constexpr size_t kLowCut = 3, kHighCut = 4;

// The block refuses a cutoff that crosses the other one as it is stored, so
// moving both up past the stored upper cutoff writes the upper one first.
class FirFilterPage : public COlePropertyPage {
  public:
    FirFilterPage() : COlePropertyPage("General", {std::begin(kFirFilter), std::end(kFirFilter)}) {}

  protected:
    std::optional<PageMessage> WriteFields() override {
        Variant stored, high;
        bool raising = Changed(kHighCut) && Enabled(kHighCut) &&
                       SUCCEEDED(ReadProperty("HighFrequencyCutoff", &stored)) &&
                       SUCCEEDED(VariantChangeType(&high, &stored, 0, VT_R8)) &&
                       Number(kLowCut) >= high.dblVal();
        if (raising) {
            if (auto failed = WriteField(kHighCut)) return failed;
        }
        return COlePropertyPage::WriteFields();  // writing the same cutoff again changes nothing
    }
};

constexpr PageField kNoProperties[] = {NoteField(kNoPropertiesNote)};

constexpr std::string_view kRangeGroup = "Range options";
constexpr std::string_view kBinGroup = "Bin calculation";
constexpr std::string_view kOutlyingGroup = "Outlying Data options";
constexpr std::string_view kNormalizeGroup = "Normalize options";
constexpr std::string_view kRanges[] = {"Derive Min and Max limits from data",
                                        "Set Min and Max limits"};
constexpr std::string_view kOutlying[] = {
    "Discard data that falls outside the min and max range values",
    "Count outlying data points in upper and lower Histogram values"};
constexpr std::string_view kNormalize[] = {"None", "Normalize to scale", "Normalize to 100%"};
constexpr EnableRule kWhenRangeSet{"Range", 1};
constexpr PageField kHistogramFields[] = {
    RadioField("Range", kRanges).Group(kRangeGroup),
    EditField("Min", "BinMinValue", FieldKind::Double)
        .Group(kRangeGroup)
        .EnabledWhen(kWhenRangeSet),
    EditField("Max", "BinMaxValue", FieldKind::Double)
        .Group(kRangeGroup)
        .EnabledWhen(kWhenRangeSet),
    EditField("Bin Increment", "BinIncrement", FieldKind::Double).Group(kBinGroup),
    EditField("Number of Bins", "NumberOfBins", FieldKind::Long).Group(kBinGroup),
    NoteField("(enter either the Bin Increment or the Number of Bins)").Group(kBinGroup),
    RadioField("Outlying", kOutlying).Group(kOutlyingGroup).EnabledWhen(kWhenRangeSet),
    CheckBoxField("Out of Range data will trigger 'error-occurred' event", "TriggerError")
        .Group(kOutlyingGroup)
        .EnabledWhen(kWhenRangeSet),
    RadioField("Normalize", kNormalize).Group(kNormalizeGroup),
    EditField("Scale", "Scale", FieldKind::Double)
        .Group(kNormalizeGroup)
        .EnabledWhen({"Normalize", 1}),
    CheckBoxField("Accumulate Input Data Values until clear.", "Accumulate"),
};
constexpr size_t kMin = 1, kMax = 2, kIncrement = 3, kBins = 4, kNormalizeChoice = 8, kScale = 9;

// The increment and the bin count describe the same layout: typing one shows
// the other, but only the typed one is written (the block clears the other
// when it takes one). Normalising to a scale needs a scale, the other choices none.
class HistogramPage : public COlePropertyPage {
  public:
    HistogramPage()
        : COlePropertyPage("General", {std::begin(kHistogramFields), std::end(kHistogramFields)}) {}

  protected:
    void OnEdited(size_t field) override {
        double span = Number(kMax) - Number(kMin);
        char text[64];
        if (field == kIncrement && Number(kIncrement) > 0) {
            double bins = std::trunc(span / Number(kIncrement));
            if (std::isfinite(bins) && std::fabs(bins) < 2147483647.0) {
                std::snprintf(text, sizeof text, "%i", static_cast<int>(bins));
                Show(kBins, text);
                MarkChanged(kBins, false);
            }
        } else if (field == kBins && ParseInteger(Text(kBins)).value_or(0) > 0) {
            std::snprintf(text, sizeof text, "%.6g",
                          span / static_cast<double>(*ParseInteger(Text(kBins))));
            Show(kIncrement, text);
            MarkChanged(kIncrement, false);
        } else if (field == kNormalizeChoice) {
            bool toScale = Text(kNormalizeChoice) == "1";
            if (!toScale) {
                SetCoupled(kScale, "0");
            } else if (Number(kScale) == 0) {
                SetCoupled(kScale, "1.0");
            }
        }
        COlePropertyPage::OnEdited(field);
    }

  private:
    void SetCoupled(size_t field, std::string text) {
        Show(field, std::move(text));
        MarkChanged(field);
    }
};

const PageRow kRows[] = {
    {"COVFuncGenPropPage", "General", kFuncGen},
    {"CFIRFilterPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> { return std::make_unique<FirFilterPage>(); }},
    {"CNOPPropPage", "No Properties", kNoProperties},
    {"COVHistogramPropPage",
     "General",
     {},
     []() -> std::unique_ptr<COlePropertyPage> { return std::make_unique<HistogramPage>(); }},
};

}  // namespace

std::span<const PageRow> SignalPages() {
    return kRows;
}
