#pragma once
// CFIRFilter: a finite-impulse-response filter designed by the window method
// from a filter type, a tap count, normalised cutoffs and a window. It filters
// the arrays put on ValueIn into ValueOut and keeps its delay line from one
// array to the next, so that consecutive arrays form one signal. Callers may
// also filter their own buffers through FilterData.
#include <cstdint>
#include <memory>
#include <vector>

#include "blocks/signal/spectral.h"
#include "framework/base_math_ctrl.h"

constexpr int32_t FIR_FILTER_HELP_CONTEXT = 504;
constexpr DISPID DISPID_HWND = -515;

class CFIRFilterCtrl : public COVBaseMathCtrl {
  public:
    CFIRFilterCtrl();
    ~CFIRFilterCtrl() override;

    static const DispatchTable& FIRFilterMembers();
    static constexpr ControlClass kClass{&FIRFilterMembers, &BaseEvents, FIR_FILTER_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    // Settings. Outside wired mode a put that changes nothing is ignored (so is
    // a put of the cutoff the filter type does not use). An invalid value is
    // not stored and discards the filter; a valid one is stored and, in run
    // mode, designs the filter again. A band type put while the low cutoff is
    // not below the high one resets the low cutoff to 0. In wired mode the put
    // marks the setting's input valid, which may run the block.
    int16_t GetFilterType() const { return m_settings.filterType; }
    void SetFilterType(int16_t value);
    int16_t GetNumOfCoeff() const { return m_settings.numOfCoeff; }
    void SetNumOfCoeff(int16_t value);
    float GetLowFrequencyCutoff() const { return m_settings.lowCutoff; }
    void SetLowFrequencyCutoff(float value);
    float GetHighFrequencyCutoff() const { return m_settings.highCutoff; }
    void SetHighFrequencyCutoff(float value);
    int16_t GetWindowType() const { return m_settings.windowType; }
    void SetWindowType(int16_t value);

    Variant GetValueIn() const { return m_varValueIn; }
    // Loads the samples of an array (I2, I4, R4, R8; for two dimensions the
    // first row; an array of another kind gives as many zeros) and marks the
    // input valid, which may run the block. A value that is no array loads no
    // samples and marks nothing.
    void SetValueIn(const Variant& value);
    Variant GetValueOut() const { return m_varValueOut; }
    void SetValueOut(const Variant& value) { PutSetting(m_varValueOut, value); }
    Variant Operate();
    // Filters nPoints samples of `in` into `out` with the current filter,
    // continuing its delay line. False, touching nothing, when nPoints is not
    // positive, no filter is designed or memory runs out.
    bool FilterData(int32_t nPoints, const float* in, float* out);
    // The control has no window of its own.
    int32_t GetHWnd() const { return 0; }

    // The designed coefficients; empty while there is no filter.
    std::span<const float> Coefficients() const;

  protected:
    // Status 0; with no samples loaded or no filter 0x80028CA0; otherwise
    // ValueOut becomes the filtered samples (lower bound 0). FireResults.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    // The common road of a setting put once its value is judged.
    template <class T>
    void PutFilterSetting(DISPID dispid, T& field, T value, bool unused, bool valid);
    // Replaces the filter by a fresh design of the stored settings (none when
    // they are invalid); 0x8007000E when memory runs out.
    void Design();

    FirSettings m_settings;
    std::unique_ptr<FirFilter> m_filter;
    std::vector<float> m_samples;  // loaded from ValueIn
    Variant m_varValueIn;
    Variant m_varValueOut;
};
