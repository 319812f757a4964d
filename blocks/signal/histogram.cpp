#include "blocks/signal/histogram.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "blocks/signal/analysis.h"
#include "framework/block_array.h"
#include "framework/status.h"

namespace {

constexpr EnumValue kRangeValues[] = {{"lxDeriveRange", lxDeriveRange}, {"lxSetRange", lxSetRange}};
constexpr EnumValue kNormalizeValues[] = {{"lxNone", lxNone},
                                          {"lxNormalizeToScale", lxNormalizeToScale},
                                          {"lxNormalizeTo100", lxNormalizeTo100}};
constexpr EnumValue kOutlyingValues[] = {{"lxDiscardOutlyingData", lxDiscardOutlyingData},
                                         {"lxCountOutlyingData", lxCountOutlyingData}};

constexpr double kEdgeTolerance = 1e-05;  // ε as a fraction of the bin width

HistogramResult Failure(int32_t status) {
    HistogramResult r;
    r.status = status;
    return r;
}

// Index of x's bin: the largest u with thresholds[u] <= x, or 0. The guess
// from the arithmetic layout is right unless repeated addition moved an edge
// past x; a binary search settles those.
size_t BinOf(double x, std::span<const double> thresholds, double lo, double perBin) {
    const size_t last = thresholds.size() - 1;
    const double g = (x - lo) * perBin;
    size_t u = !(g >= 0) ? 0 : g >= static_cast<double>(last) ? last : static_cast<size_t>(g);
    if ((u == 0 || thresholds[u] <= x) && (u == last || x < thresholds[u + 1])) return u;
    auto it = std::upper_bound(thresholds.begin() + 1, thresholds.end(), x);
    return static_cast<size_t>(it - thresholds.begin()) - 1;
}

// Sort key: the order of the numbers, -0 equal to +0, every NaN above +inf.
uint64_t SortKey(double x) {
    if (x != x) return ~uint64_t{0};
    const uint64_t bits = std::bit_cast<uint64_t>(x == 0 ? 0.0 : x);
    return (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
}

}  // namespace

const EnumDesc kRangeOptionsEnum{"RANGE_OPTIONS", kRangeValues};
const EnumDesc kNormalizeOptionsEnum{"NORMALIZE_OPTIONS", kNormalizeValues};
const EnumDesc kOutlyingOptionsEnum{"OUTLYING_OPTIONS", kOutlyingValues};

HistogramResult ComputeHistogram(std::span<const double> data, const HistogramSettings& s) {
    double inc = s.increment, nb = s.bins, lo = s.minValue, hi = s.maxValue;
    // A Range value that is neither option takes the range as set but checks
    // no value against it.
    const bool setRange = s.range == lxSetRange;
    if (s.range == lxDeriveRange) {
        lo = std::numeric_limits<double>::infinity();
        hi = -lo;
        for (double x : data) {
            lo = std::min(lo, x);  // a NaN x leaves both as they are
            hi = std::max(hi, x);
        }
    }
    if (inc == 0 && nb > 0 && hi != lo) {
        inc = (hi - lo) / nb;
    } else if (nb == 0 && inc > 0 && hi != lo) {
        nb = (hi - lo) / inc;
    }
    if (!(inc > 0 && nb > 0 && lo < hi) || !std::isfinite(inc) || !std::isfinite(lo) ||
        !std::isfinite(hi)) {
        return Failure(ERROR_INVALID_DATA_HR);
    }

    // The output holds two cells per bin. A layout far beyond the limit fails
    // before any edge is made; one near it fails when the limit is reached.
    constexpr size_t kMaxBins = kMaxSignalElements / 2;
    const double limit = static_cast<double>(kMaxBins);
    if (nb > limit && (hi - lo) / inc > 2 * limit) return Failure(E_OUTOFMEMORY);
    HistogramResult r;
    for (double e = lo, i = 0; i < nb && e <= hi; e += inc, i += 1) {
        if (r.edges.size() == kMaxBins) return Failure(E_OUTOFMEMORY);
        r.edges.push_back(e);
    }
    const size_t bins = r.edges.size();
    const double eps = inc * kEdgeTolerance;
    std::vector<double> thresholds(bins);
    for (size_t u = 0; u < bins; ++u)
        thresholds[u] = r.edges[u] - eps;
    const double top = hi + eps;

    std::vector<uint64_t> counts(bins, 0);
    uint64_t below = 0, above = 0;
    const double perBin = 1 / inc;
    for (double x : data) {
        // An outlier still goes through the bin test below, which keeps it
        // out of every bin.
        if (setRange) {
            if (x + eps < lo) {
                ++below;
            } else if (x > top) {
                ++above;
            }
        }
        if (x != x) continue;
        const size_t u = BinOf(x, thresholds, lo, perBin);
        if (thresholds[u] <= x && (u + 1 < bins || x <= top)) ++counts[u];
    }
    if (below + above > 0) r.status = DISP_E_OVERFLOW;
    if (s.outlying == lxCountOutlyingData) {
        counts.front() += below;
        counts.back() += above;
    }

    uint64_t total = 0;
    for (uint64_t c : counts)
        total += c;
    // Any other Normalize value leaves the counts as they are.
    const double factor = s.normalize == lxNormalizeTo100     ? 100.0
                          : s.normalize == lxNormalizeToScale ? s.scale
                                                              : 0.0;
    const bool normalize =
        (s.normalize == lxNormalizeTo100 || s.normalize == lxNormalizeToScale) && total > 0;
    r.counts.resize(bins);
    for (size_t u = 0; u < bins; ++u) {
        const double c = static_cast<double>(counts[u]);
        r.counts[u] = normalize ? c / static_cast<double>(total) * factor : c;
    }
    return r;
}

void SortHistogramData(std::span<const double> data, std::span<double> out) {
    const size_t n = data.size();
    std::copy(data.begin(), data.end(), out.begin());
    if (n < 2) return;
    if (n > std::numeric_limits<uint32_t>::max()) {
        std::stable_sort(out.begin(), out.end(),
                         [](double a, double b) { return SortKey(a) < SortKey(b); });
        return;
    }
    // Least significant digit first, 11 bits per pass (few enough buckets to
    // stay in cache): each pass is stable, so the whole is. A pass whose digit
    // is the same for every value is skipped.
    constexpr int kDigitBits = 11, kPasses = 6;
    constexpr size_t kBuckets = size_t{1} << kDigitBits;
    auto digit = [](double x, int pass) {
        return (SortKey(x) >> (pass * kDigitBits)) & (kBuckets - 1);
    };
    std::vector<uint32_t> counts(kBuckets * kPasses, 0);
    for (double x : data) {
        for (int p = 0; p < kPasses; ++p)
            ++counts[p * kBuckets + digit(x, p)];
    }
    std::unique_ptr<double[]> scratch(new double[n]);  // no need to zero it
    double* from = out.data();
    double* to = scratch.get();
    for (int p = 0; p < kPasses; ++p) {
        uint32_t* c = &counts[p * kBuckets];
        if (c[digit(from[0], p)] == n) continue;
        uint32_t sum = 0;
        for (size_t b = 0; b < kBuckets; ++b)
            sum += std::exchange(c[b], sum);
        for (size_t i = 0; i < n; ++i)
            to[c[digit(from[i], p)]++] = from[i];
        std::swap(from, to);
    }
    if (from != out.data()) std::copy(from, from + n, out.data());
}

// --- the block --------------------------------------------------------------

COVHistogramCtrl::COVHistogramCtrl()
    : COVBaseMathCtrl(6), m_data(std::make_shared<std::vector<double>>()) {}

const DispatchTable& COVHistogramCtrl::HistogramMembers() {
    using C = COVHistogramCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputValues, &C::SetInputValues>("InputValues", 1,
                                                             "A number or an array of numbers")
                .Input(2)
                .Reset<&C::m_inputValues>({}),
            Property<&C::GetBinIncrement, &C::SetBinIncrement>("BinIncrement", 2, "Bin width")
                .Input(3)
                .PersistInput<&C::m_binIncrement>("BinIncrement", {VT_R8, 0.0})
                .Reset<&C::m_binIncrement>({VT_R8, 0.0}),
            Property<&C::GetNumberOfBins, &C::SetNumberOfBins>("NumberOfBins", 3, "Number of bins")
                .Input(4)
                .PersistInput<&C::m_numberOfBins>("NumberOfBins", {VT_I4, 1})
                .Reset<&C::m_numberOfBins>({VT_I4, 1}),
            Property<&C::GetBinMinValue, &C::SetBinMinValue>("BinMinValue", 4,
                                                             "Lower end of a set range")
                .Input(5)
                .PersistInput<&C::m_binMinValue>("BinMinValue", {VT_R8, 0.0})
                .Reset<&C::m_binMinValue>({VT_R8, 0.0}),
            Property<&C::GetBinMaxValue, &C::SetBinMaxValue>("BinMaxValue", 5,
                                                             "Upper end of a set range")
                .Input(6)
                .PersistInput<&C::m_binMaxValue>("BinMaxValue", {VT_R8, 0.0})
                .Reset<&C::m_binMaxValue>({VT_R8, 0.0}),
            Property<&C::GetRange, &C::SetRange>("Range", 6, "Range derived or set")
                .Enum(kRangeOptionsEnum)
                .Persist<&C::m_settings, &HistogramSettings::range>("Range",
                                                                    {VT_I2, lxDeriveRange}),
            Property<&C::GetHistogamArray, &C::SetHistogamArray>(
                "HistogamArray", 7, "Lower edges (row 0) and counts (row 1) of the bins")
                .HiddenPut()
                .Reset<&C::m_histogram>({}),
            Property<&C::GetDataArray, &C::SetDataArray>("DataArray", 8, "The data, sorted")
                .HiddenPut()
                .Reset<&C::m_dataArray>({}),
            Property<&C::GetNormalize, &C::SetNormalize>("Normalize", 9, "Normalisation of counts")
                .Enum(kNormalizeOptionsEnum)
                .Persist<&C::m_settings, &HistogramSettings::normalize>("Normalize",
                                                                        {VT_I2, lxNone}),
            Property<&C::GetScale, &C::SetScale>("Scale", 10, "Total of normalised counts")
                .Persist<&C::m_settings, &HistogramSettings::scale>("Scale", {VT_R8, 1.0}),
            Property<&C::GetOutlying, &C::SetOutlying>("Outlying", 11, "Values outside a set range")
                .Enum(kOutlyingOptionsEnum)
                .Persist<&C::m_settings, &HistogramSettings::outlying>(
                    "Outlying", {VT_I2, lxDiscardOutlyingData}),
            Property<&C::GetTriggerError, &C::SetTriggerError>(
                "TriggerError", 12, "Out of range data will trigger 'error-occurred' event")
                .Persist<&C::m_bTriggerError>("TriggerError", {VT_BOOL, 1})
                .Reset<&C::m_bTriggerError>({VT_BOOL, 0}),
            Property<&C::GetAccumulate, &C::SetAccumulate>("Accumulate", 13,
                                                           "Accumulate input values until Clear")
                .Persist<&C::m_bAccumulate>("Accumulate", {VT_BOOL, 0})
                .Reset<&C::m_bAccumulate>({VT_BOOL, 0}),
            WriteOnly<&C::SetClear>("Clear", 14, "Any put empties the data"),
            Method<&C::Operate>("Operate", 15, "Computes the histogram at once"),
        });
    return table;
}

std::vector<double>& COVHistogramCtrl::MutableData() {
    if (m_data.use_count() > 1) m_data = std::make_shared<std::vector<double>>(*m_data);
    return *m_data;
}

namespace {

bool IsSampleElementType(VARTYPE vt) {
    return IsNumericOrTextElementType(vt) || vt == VT_VARIANT;
}

// Appends the numbers `value` carries: a number or a string that converts to
// one, or each such element of a one-dimensional array from its lower bound
// up; anything else is skipped. False, appending nothing, for an array of two
// or more dimensions.
bool AppendSamples(const Variant& value, std::vector<double>& out) {
    if (!value.IsArray()) {
        double number = 0;
        if (IsNumericOrTextElementType(value.vt()) &&
            ElementToNumber(value, NumberConversion::Checked, &number))
            out.push_back(number);
        return true;
    }
    const SafeArray* array = value.parray();
    if (array == nullptr) return true;
    if (array->Dims() != 1) return false;
    std::vector<double> read;
    ReadNumbers(*array, &IsSampleElementType, BadElement::Skip, &read);
    out.insert(out.end(), read.begin(), read.end());
    return true;
}

}  // namespace

void COVHistogramCtrl::SetInputValues(const Variant& value) {
    m_inputValues = value;
    SetModifiedFlag();
    NotifyBoundChange(1);
    m_bInputChanged = TRUE;
    if (!m_bAccumulate) {
        // A fresh list: the pending DataArray keeps the old one.
        m_data = std::make_shared<std::vector<double>>();
    }
    if (!AppendSamples(value, MutableData())) {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
        m_strErrorString = "Type Mismatch";
    }
    SetInputValid(1, TRUE);
}

bool COVHistogramCtrl::PutBinSetting(DISPID dispid, Variant& field, const Variant& value,
                                     VARTYPE kind) {
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &value, 0, kind))) return false;
    PutInput(dispid, field, converted);
    return true;
}

void COVHistogramCtrl::SetBinIncrement(const Variant& value) {
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_R8))) return;
    m_numberOfBins = Variant::I4(0);
    PutInput(2, m_binIncrement, converted);
}

void COVHistogramCtrl::SetNumberOfBins(const Variant& value) {
    Variant converted;
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_I4))) return;
    m_binIncrement = Variant::R8(0.0);
    PutInput(3, m_numberOfBins, converted);
}

void COVHistogramCtrl::SetBinMinValue(const Variant& value) {
    PutBinSetting(4, m_binMinValue, value, VT_R8);
}

void COVHistogramCtrl::SetBinMaxValue(const Variant& value) {
    PutBinSetting(5, m_binMaxValue, value, VT_R8);
}

void COVHistogramCtrl::SetHistogamArray(const Variant& value) {
    PutBoundSetting(7, m_histogram, value);
    m_bInputChanged = TRUE;
}

Variant COVHistogramCtrl::GetDataArray() {
    if (m_unsortedData) {
        const size_t n = m_unsortedData->size();
        SafeArrayPtr sorted;
        if (n <= std::numeric_limits<uint32_t>::max())
            sorted = SafeArrayCreateVector(VT_R8, 0, static_cast<uint32_t>(n));
        // Without memory for it the sorted data stays as it was.
        if (sorted) {
            SortHistogramData(*m_unsortedData, sorted->Data<double>());
            m_dataArray = Variant::Array(std::move(sorted));
        }
        m_unsortedData.reset();
    }
    return m_dataArray;
}

void COVHistogramCtrl::SetDataArray(const Variant& value) {
    m_unsortedData.reset();
    PutBoundSetting(8, m_dataArray, value);
    m_bInputChanged = TRUE;
}

void COVHistogramCtrl::SetClear(const Variant&) {
    SetModifiedFlag();
    NotifyBoundChange(14);
    m_inputValues.Clear();
    m_data = std::make_shared<std::vector<double>>();
    ClearStatus();
    FireResults(this);
}

void COVHistogramCtrl::Compute() {
    ClearStatus();
    HistogramSettings s = m_settings;
    s.increment = m_binIncrement.dblVal();
    s.bins = m_numberOfBins.lVal();
    s.minValue = m_binMinValue.dblVal();
    s.maxValue = m_binMaxValue.dblVal();
    HistogramResult r = ComputeHistogram(*m_data, s);
    std::span<double> cells;
    SafeArrayPtr table;
    if (r.status == 0 || r.status == DISP_E_OVERFLOW) {
        const int64_t columns = static_cast<int64_t>(r.edges.size());
        if (2 * r.edges.size() <= kMaxSignalElements)
            table = CreateBlockArray(VT_R8, {{0, 2}, {0, columns}});
        if (table)
            cells = table->Data<double>();
        else
            r.status = E_OUTOFMEMORY;
    }
    m_lStatusCode = r.status;
    if (!table) {
        FireResults(this);
        return;
    }
    for (size_t u = 0; u < r.edges.size(); ++u) {
        cells[2 * u] = r.edges[u];
        cells[2 * u + 1] = r.counts[u];
    }
    m_histogram = Variant::Array(std::move(table));
    m_unsortedData = m_data;
    FireRunEvents();
}

// A run that produced a histogram announces it in full whatever its status:
// no cancel test, no ValidateGroup, the report after ErrorOccurred.
void COVHistogramCtrl::FireRunEvents() {
    if (m_lStatusCode < 0) m_strErrorString = StatusText(m_lStatusCode);
    m_bCancelBlock = FALSE;
    Fire(kRunBlock);
    Fire(kStatusReady);
    Fire(kErrorOut, this, m_lStatusCode, m_strErrorString);
    if (m_lStatusCode != 0) {
        Fire(kErrorOccurred, m_lStatusCode, m_strErrorString);
        if (m_errorService.Get() != nullptr) {
            m_errorService.Get()->Report(this, m_lStatusCode, m_strErrorString);
        }
    }
    Fire(kControlOut);
}

void COVHistogramCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    // The collected data and the settings' own defaults, which a member row
    // cannot name.
    m_data = std::make_shared<std::vector<double>>();
    m_settings = HistogramSettings{};
    m_unsortedData.reset();
}
