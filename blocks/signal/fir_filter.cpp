#include "blocks/signal/fir_filter.h"

#include <new>
#include <utility>

#include "framework/block_array.h"
#include "platform/property_bag.h"

namespace {

bool IsSampleElementType(VARTYPE vt) {
    return vt == VT_I2 || vt == VT_I4 || IsFloatElementType(vt);
}

// DISPIDs of the settings and the samples.
constexpr DISPID DISPID_FILTERTYPE = 1;
constexpr DISPID DISPID_NUMOFCOEFF = 2;
constexpr DISPID DISPID_LOWCUTOFF = 3;
constexpr DISPID DISPID_HIGHCUTOFF = 4;
constexpr DISPID DISPID_WINDOWTYPE = 5;
constexpr DISPID DISPID_VALUEIN = 6;
constexpr DISPID DISPID_VALUEOUT = 7;

bool IsBandType(int16_t type) {
    return type == FIR_FILTER_BAND_PASS || type == FIR_FILTER_BAND_STOP;
}

// FilterData as automation callers see it: (lNumOfPoint, pfData, pfFilteredData)
// with the filtered samples handed back in the third argument as an array of
// 4-byte floats; the result says whether anything was filtered.
HRESULT FilterDataCall(DispatchObject& self, std::span<Variant> args, Variant& result) {
    auto& block = static_cast<CFIRFilterCtrl&>(self);
    const int32_t n = args[0].lVal();
    bool filtered = false;
    try {
        const SampleArray in = n > 0 ? ReadSamples(args[1], &IsSampleElementType) : SampleArray{};
        if (in.readable && in.values.size() >= static_cast<size_t>(n)) {
            std::vector<float> out(static_cast<size_t>(n));
            filtered = block.FilterData(n, in.values.data(), out.data());
            if (filtered) filtered = MakeNumericVector<float>(out, 0, &args[2]) == S_OK;
        }
    } catch (const std::bad_alloc&) {
        filtered = false;
    }
    result = Variant::Bool(filtered);
    return S_OK;
}

MemberDesc FilterDataMember() {
    MemberDesc m;
    m.name = "FilterData";
    m.dispid = 9;
    m.kind = MemberKind::Method;
    m.type = VT_BOOL;
    m.paramTypes = {VT_I4, VT_VARIANT, VT_VARIANT};
    m.paramNames = {"lNumOfPoint", "pfData", "pfFilteredData"};
    m.paramCount = 3;
    m.byRefParams = 0b100;  // the filtered samples come back in pfFilteredData
    m.help = "Filters lNumOfPoint samples of pfData into pfFilteredData, continuing the delay line";
    m.call = &FilterDataCall;
    return m;
}

}  // namespace

CFIRFilterCtrl::CFIRFilterCtrl() : COVBaseMathCtrl(7) {}
CFIRFilterCtrl::~CFIRFilterCtrl() = default;

const DispatchTable& CFIRFilterCtrl::FIRFilterMembers() {
    using C = CFIRFilterCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetFilterType, &C::SetFilterType>(
                "FilterType", DISPID_FILTERTYPE,
                "Filter type (FIR_FILTER_TYPE): 0 low pass, 1 high pass, 2 band pass, 3 band stop")
                .Input(3),
            Property<&C::GetNumOfCoeff, &C::SetNumOfCoeff>("NumOfCoeff", DISPID_NUMOFCOEFF,
                                                           "Number of filter taps, 2 to 64")
                .Input(4),
            Property<&C::GetLowFrequencyCutoff, &C::SetLowFrequencyCutoff>(
                "LowFrequencyCutoff", DISPID_LOWCUTOFF, "Low cutoff in cycles per sample, 0 to 0.5")
                .Input(5),
            Property<&C::GetHighFrequencyCutoff, &C::SetHighFrequencyCutoff>(
                "HighFrequencyCutoff", DISPID_HIGHCUTOFF,
                "High cutoff in cycles per sample, 0 to 0.5")
                .Input(6),
            Property<&C::GetWindowType, &C::SetWindowType>(
                "WindowType", DISPID_WINDOWTYPE,
                "Window (DIGITAL_WINDOW): 0 rectangle, 1 Parzen, 2 Bartlett, 3 Hanning, 4 Welch, 5 "
                "Hamming, 6 Blackman")
                .Input(7),
            Property<&C::GetValueIn, &C::SetValueIn>("ValueIn", DISPID_VALUEIN,
                                                     "Samples to filter"),
            // The samples' entry is addressed through ValueOut's DISPID; ValueIn is no input.
            Property<&C::GetValueOut, &C::SetValueOut>("ValueOut", DISPID_VALUEOUT,
                                                       "Filtered samples")
                .Input(2)
                .HiddenPut(),
            Method<&C::Operate>("Operate", 8, "Filters the loaded samples and returns ValueOut"),
            FilterDataMember(),
            ReadOnly<&C::GetHWnd>("hWnd", DISPID_HWND, "The control's window"),
        });
    return table;
}

std::span<const float> CFIRFilterCtrl::Coefficients() const {
    return m_filter ? m_filter->Coefficients() : std::span<const float>();
}

template <class T>
void CFIRFilterCtrl::PutFilterSetting(DISPID dispid, T& field, T value, bool unused, bool valid) {
    if (!m_bWiredMode && (value == field || unused)) return;
    if (!valid) {
        m_filter.reset();
    } else {
        field = value;
        SetModifiedFlag();
        if (dispid == DISPID_FILTERTYPE && IsBandType(m_settings.filterType) &&
            m_settings.lowCutoff >= m_settings.highCutoff) {
            m_settings.lowCutoff = 0.0f;
            NotifyBoundChange(DISPID_LOWCUTOFF);
        }
        if (AmbientUserMode()) Design();
    }
    NotifyBoundChange(dispid);
    m_bInputChanged = TRUE;
    if (m_bWiredMode) SetInputValid(dispid, TRUE);
}

void CFIRFilterCtrl::SetFilterType(int16_t value) {
    PutFilterSetting(DISPID_FILTERTYPE, m_settings.filterType, value, false,
                     FilterTypeValid(value));
}

void CFIRFilterCtrl::SetNumOfCoeff(int16_t value) {
    PutFilterSetting(DISPID_NUMOFCOEFF, m_settings.numOfCoeff, value, false,
                     NumOfCoeffValid(value));
}

void CFIRFilterCtrl::SetLowFrequencyCutoff(float value) {
    PutFilterSetting(DISPID_LOWCUTOFF, m_settings.lowCutoff, value,
                     m_settings.filterType == FIR_FILTER_LOW_PASS,
                     LowCutoffValid(m_settings, value));
}

void CFIRFilterCtrl::SetHighFrequencyCutoff(float value) {
    PutFilterSetting(DISPID_HIGHCUTOFF, m_settings.highCutoff, value,
                     m_settings.filterType == FIR_FILTER_HIGH_PASS,
                     HighCutoffValid(m_settings, value));
}

void CFIRFilterCtrl::SetWindowType(int16_t value) {
    PutFilterSetting(DISPID_WINDOWTYPE, m_settings.windowType, value, false,
                     WindowTypeValid(value));
}

void CFIRFilterCtrl::Design() {
    m_filter.reset();
    // Loaded settings are not checked on the way in; design only what is defined.
    if (!FilterTypeValid(m_settings.filterType) || !NumOfCoeffValid(m_settings.numOfCoeff)) return;
    try {
        m_filter = std::make_unique<FirFilter>(DesignFirCoefficients(m_settings));
    } catch (const std::bad_alloc&) {
        m_lStatusCode = E_OUTOFMEMORY;
    }
}

void CFIRFilterCtrl::SetValueIn(const Variant& value) {
    m_varValueIn = value;
    SampleArray samples;
    try {
        samples = ReadSamples(m_varValueIn, &IsSampleElementType);
    } catch (const std::bad_alloc&) {
        samples.values.clear();  // no samples: the run reports it
    }
    m_samples = std::move(samples.values);
    if (!samples.isArray) return;
    SetModifiedFlag();
    m_bInputChanged = TRUE;
    SetInputValid(DISPID_VALUEOUT, TRUE);
}

Variant CFIRFilterCtrl::Operate() {
    Compute();
    return m_varValueOut;
}

bool CFIRFilterCtrl::FilterData(int32_t nPoints, const float* in, float* out) {
    if (nPoints <= 0 || !m_filter || in == nullptr || out == nullptr) return false;
    const size_t n = static_cast<size_t>(nPoints);
    try {
        m_filter->Filter(std::span<const float>(in, n), std::span<float>(out, n));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CFIRFilterCtrl::Compute() {
    ClearStatus();
    if (m_samples.empty() || !m_filter) {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
    } else {
        try {
            std::vector<float> out(m_samples.size());
            m_filter->Filter(m_samples, out);
            m_lStatusCode = MakeNumericVector<float>(out, 0, &m_varValueOut);
        } catch (const std::bad_alloc&) {
            m_lStatusCode = E_OUTOFMEMORY;
        }
    }
    FireResults(this);
}

void CFIRFilterCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    const FirSettings defaults;
    PX_Short(pPX, "FilterType", m_settings.filterType, defaults.filterType);
    PX_Short(pPX, "Coeff", m_settings.numOfCoeff, defaults.numOfCoeff);
    PX_Float(pPX, "LowCut", m_settings.lowCutoff, defaults.lowCutoff);
    PX_Float(pPX, "HighCut", m_settings.highCutoff, defaults.highCutoff);
    PX_Short(pPX, "DWin", m_settings.windowType, defaults.windowType);
    if (!pPX->IsLoading()) return;
    // A loaded block filters at once in run mode; in design mode it waits.
    m_filter.reset();
    if (AmbientUserMode()) Design();
}

void CFIRFilterCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();  // the settings' defaults and the design
    m_samples.clear();
    m_varValueIn.Clear();
    m_varValueOut.Clear();
}
