#pragma once
// FFT: the discrete Fourier transform of the real samples on Value, as the
// packed half spectrum on Output (position 0 F(0), position 1 F(n/2), then the
// real and imaginary parts of F(1) .. F(n/2 - 1)), over the largest power of
// two of samples the array holds.
#include <cstdint>

#include "framework/base_math_ctrl.h"

constexpr int32_t FFT_HELP_CONTEXT = 513;

class CFFTCtrl : public COVBaseMathCtrl {
  public:
    CFFTCtrl();

    static const DispatchTable& FFTMembers();
    static constexpr ControlClass kClass{&FFTMembers, &BaseEvents, FFT_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetValue() const { return m_varValue; }
    // Stores the samples; only in wired mode is the input marked valid (which
    // may run the block).
    void SetValue(const Variant& value);
    Variant GetOutput() const { return m_varOutput; }
    void SetOutput(const Variant& value) { PutSetting(m_varOutput, value); }
    Variant Operate();

  protected:
    // Status 0; Value must be an array of 4- or 8-byte floats (else
    // 0x80028CA0) with at least two samples (else 0x8007000D).
    // Output becomes the transform of the first n = largest power of two not
    // above the count, with Value's lower bound; a failed run keeps the old
    // Output. FireResults.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    Variant m_varValue;
    Variant m_varOutput;
};
