#include "blocks/signal/fft.h"

#include <bit>
#include <new>

#include "blocks/signal/spectral.h"
#include "framework/block_array.h"

CFFTCtrl::CFFTCtrl() : COVBaseMathCtrl(2) {}

const DispatchTable& CFFTCtrl::FFTMembers() {
    using C = CFFTCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetValue, &C::SetValue>("Value", 1, "Samples to transform")
                .Input(2)
                .Reset<&C::m_varValue>({}),
            Property<&C::GetOutput, &C::SetOutput>("Output", 2, "Packed half spectrum")
                .HiddenPut()
                .Reset<&C::m_varOutput>({}),
            Method<&C::Operate>("Operate", 3, "Transforms the samples at once"),
        });
    return table;
}

void CFFTCtrl::SetValue(const Variant& value) {
    PutSetting(m_varValue, value);
    if (!m_bWiredMode) return;
    m_bInputChanged = TRUE;
    SetInputValid(1, TRUE);
}

Variant CFFTCtrl::Operate() {
    Compute();
    return m_varOutput;
}

void CFFTCtrl::Compute() {
    ClearStatus();
    try {
        SampleArray samples = ReadSamples(m_varValue, &IsFloatElementType);
        if (!samples.readable) {
            m_lStatusCode = TYPE_E_TYPEMISMATCH;
        } else if (samples.values.size() < 2) {
            // A transform needs two samples at least.
            m_lStatusCode = ERROR_INVALID_DATA_HR;
        } else {
            const size_t n = std::bit_floor(samples.values.size());
            samples.values.resize(n);
            ovmRealFFT(static_cast<int32_t>(n), false, samples.values.data());
            m_lStatusCode =
                MakeNumericVector<float>(samples.values, samples.lowerBound, &m_varOutput);
        }
    } catch (const std::bad_alloc&) {
        m_lStatusCode = E_OUTOFMEMORY;
    }
    FireResults(this);
}
