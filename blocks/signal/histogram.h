#pragma once
// The histogram block: collects numbers from InputValues (afresh with every
// arrival, or accumulated until Clear), and on each run lays out equal-width
// bins over a range derived from the data or set by the user, counts the
// values per bin, and outputs the bins with their counts (HistogamArray, spelled
// so) and the sorted data (DataArray).
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "framework/base_math_ctrl.h"

enum RANGE_OPTIONS : int16_t { lxDeriveRange = 0, lxSetRange = 1 };
enum NORMALIZE_OPTIONS : int16_t { lxNone = 0, lxNormalizeToScale = 1, lxNormalizeTo100 = 2 };
enum OUTLYING_OPTIONS : int16_t { lxDiscardOutlyingData = 0, lxCountOutlyingData = 1 };
extern const EnumDesc kRangeOptionsEnum;      // RANGE_OPTIONS
extern const EnumDesc kNormalizeOptionsEnum;  // NORMALIZE_OPTIONS
extern const EnumDesc kOutlyingOptionsEnum;   // OUTLYING_OPTIONS

struct HistogramSettings {
    double increment = 0.0;  // bin width; 0: derived from the bin count
    double bins = 1.0;       // bin count; 0: derived from the width (may come out fractional)
    double minValue = 0.0, maxValue = 0.0;  // the range, used with lxSetRange
    int16_t range = lxDeriveRange;
    int16_t normalize = lxNone;
    int16_t outlying = lxDiscardOutlyingData;
    double scale = 1.0;
};

struct HistogramResult {
    int32_t status = 0;          // 0, DISP_E_OVERFLOW (values outside a set range)
                                 // ERROR_INVALID_DATA_HR or E_OUTOFMEMORY (no output)
    std::vector<double> edges;   // lower edge of each bin
    std::vector<double> counts;  // count of each bin, normalised as asked
};

// One run over `data` (in arrival order; the result does not depend on it).
//  1. A derived range (lxDeriveRange) runs from the smallest to the largest
//     value, NaNs left out; any other Range value takes minValue..maxValue.
//     A zero width is (max - min)/bins when bins > 0; a zero bin count is
//     (max - min)/width when the width is positive; both only when max ≠ min.
//  2. Without width > 0, bins > 0 and min < max, all finite: ERROR_INVALID_DATA_HR
//     (also for an empty list with a derived range).
//  3. Edges from min by repeated addition of the width while fewer than `bins`
//     and not above max (⌈bins⌉ at most); more than kMaxSignalElements/2
//     (the output's two cells per bin): E_OUTOFMEMORY.
//  4. With ε = width·1e-5, bin u < B-1 counts x when edge[u] - ε <= x < edge[u+1] - ε;
//     the last bin when edge[B-1] - ε <= x <= max + ε. NaNs count nowhere. With
//     lxSetRange only, x + ε < min is below and x > max + ε above it: status
//     DISP_E_OVERFLOW, and with lxCountOutlyingData they go to the end bins.
//  5. Counts become count/total·100 or count/total·scale when asked; with a
//     total of 0, or another Normalize value, they stay as counted.
// Each value's bin is found by arithmetic and corrected against the edges, so
// the counts equal those of a walk over the sorted data.
HistogramResult ComputeHistogram(std::span<const double> data, const HistogramSettings& s);

// Writes `data` into `out` (of the same size) sorted ascending by a stable
// sort: equal values (-0 and +0 among them) keep their arrival order, NaNs
// come last in arrival order.
void SortHistogramData(std::span<const double> data, std::span<double> out);

constexpr int32_t HISTOGRAM_HELP_CONTEXT = 574;

class COVHistogramCtrl : public COVBaseMathCtrl {
  public:
    COVHistogramCtrl();

    static const DispatchTable& HistogramMembers();
    static constexpr ControlClass kClass{&HistogramMembers, &BaseEvents, HISTOGRAM_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputValues() const { return m_inputValues; }
    // Adds the values to the data list (emptied first unless accumulating);
    // an array of two or more dimensions adds nothing and sets
    // TYPE_E_TYPEMISMATCH with "Type Mismatch".
    void SetInputValues(const Variant& value);
    Variant GetBinIncrement() const { return m_binIncrement; }
    // Converted to a double; on success NumberOfBins becomes 0. Ignored if it
    // does not convert.
    void SetBinIncrement(const Variant& value);
    Variant GetNumberOfBins() const { return m_numberOfBins; }
    // Converted to a long; on success BinIncrement becomes 0.0.
    void SetNumberOfBins(const Variant& value);
    Variant GetBinMinValue() const { return m_binMinValue; }
    void SetBinMinValue(const Variant& value);
    Variant GetBinMaxValue() const { return m_binMaxValue; }
    void SetBinMaxValue(const Variant& value);
    int16_t GetRange() const { return m_settings.range; }
    void SetRange(int16_t value) { PutBoundSetting(6, m_settings.range, value); }
    Variant GetHistogamArray() const { return m_histogram; }
    void SetHistogamArray(const Variant& value);
    // The sorted data of the last run, sorted when first read.
    Variant GetDataArray();
    void SetDataArray(const Variant& value);
    int16_t GetNormalize() const { return m_settings.normalize; }
    void SetNormalize(int16_t value) { PutBoundSetting(9, m_settings.normalize, value); }
    double GetScale() const { return m_settings.scale; }
    void SetScale(double value) { PutBoundSetting(10, m_settings.scale, value); }
    int16_t GetOutlying() const { return m_settings.outlying; }
    void SetOutlying(int16_t value) { PutBoundSetting(11, m_settings.outlying, value); }
    bool GetTriggerError() const { return m_bTriggerError != FALSE; }
    // Kept and persisted; values outside a set range are reported either way.
    void SetTriggerError(bool value) { PutBoundSetting(12, m_bTriggerError, value); }
    bool GetAccumulate() const { return m_bAccumulate != FALSE; }
    void SetAccumulate(bool value) { PutBoundSetting(13, m_bAccumulate, value); }
    // Any value: empties InputValues and the data list and fires the results.
    void SetClear(const Variant& value);
    void Operate() { Compute(); }

  protected:
    // A run fires RunBlock, StatusReady, ErrorOut, ErrorOccurred (nonzero
    // status, then the error-service report) and ControlOut itself, also when
    // values lay outside a set range; without a bin layout or memory it fires
    // the results as every block does and keeps its outputs.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void OnResetState() override;

  private:
    // Converts `value` to `kind` into `field`; on success ends the put as an
    // input's put does. False when it did not convert.
    bool PutBinSetting(DISPID dispid, Variant& field, const Variant& value, VARTYPE kind);
    // The data list, shared with the pending DataArray until one of them changes.
    std::vector<double>& MutableData();
    void FireRunEvents();

    Variant m_inputValues;
    std::shared_ptr<std::vector<double>> m_data;
    Variant m_binIncrement, m_numberOfBins, m_binMinValue, m_binMaxValue;
    HistogramSettings m_settings;  // range, normalize, outlying and scale
    BOOL m_bTriggerError = FALSE;
    BOOL m_bAccumulate = FALSE;
    Variant m_histogram;
    Variant m_dataArray;
    std::shared_ptr<const std::vector<double>> m_unsortedData;  // DataArray still to sort
};
