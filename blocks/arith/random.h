#pragma once
// OVRandom: a pseudo-random double between MinValue and MaxValue on every run,
// optionally rounded to OutputPrecision decimal places. NumberSequence chooses
// whether a loaded diagram starts a new sequence or repeats the same one.
#include <cstdint>

#include "framework/base_math_ctrl.h"

// The generator every block of a thread draws from (OVRandom and the
// function generator's noise): a linear congruential generator with results 0
// to 32767, deterministic for a seed. The thread starts with seed 1.
void SeedBlockRandom(uint32_t seed);
int32_t NextBlockRandom();

// 1/32767: scales a draw onto 0 ... 1.
constexpr double kRandomScale = 3.051850947599719E-5;

// Rounds `value` to `places` decimal places, halves away from zero; values
// for `places` < 0 leave it as it is. The scaled value is kept in a 32-bit
// integer; where it does not fit (huge values or many places) the value is
// returned unrounded.
double RoundToPlaces(double value, int32_t places);

extern const EnumDesc kOutputPrecisionEnum;  // OUTPUT_PRECISION
extern const EnumDesc kRandomSequenceEnum;   // RANDOM_SEQUENCE

enum RANDOM_SEQUENCE : int32_t { useNewSequence = 0, useSameSequence = 1 };

constexpr int32_t RANDOM_HELP_CONTEXT = 63;

class COVRandomCtrl : public COVBaseMathCtrl {
  public:
    COVRandomCtrl();

    static const DispatchTable& RandomMembers();
    static constexpr ControlClass kClass{&RandomMembers, &BaseEvents, RANDOM_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    double GetValue() const { return m_dValue; }
    void SetValue(double value) { PutSetting(m_dValue, value); }
    double Operate();
    double GetMinValue() const { return m_dMinValue; }
    void SetMinValue(double value) { PutBoundSetting(3, m_dMinValue, value); }
    double GetMaxValue() const { return m_dMaxValue; }
    void SetMaxValue(double value) { PutBoundSetting(4, m_dMaxValue, value); }
    int32_t GetOutputPrecision() const { return m_lOutputPrecision; }
    void SetOutputPrecision(int32_t value) { PutBoundSetting(5, m_lOutputPrecision, value); }
    int32_t GetNumberSequence() const { return m_lNumberSequence; }
    // The seed follows only at the next load or reset.
    void SetNumberSequence(int32_t value) { PutBoundSetting(6, m_lNumberSequence, value); }

  protected:
    // Seeds the thread's generator on the block's first run, draws, scales
    // onto the range and rounds; never fails.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    double m_dValue = 0.0;
    double m_dMinValue = 0.0;
    double m_dMaxValue = 1.0;
    int32_t m_lOutputPrecision = 4;
    int32_t m_lNumberSequence = useNewSequence;
    uint32_t m_seed = 0;
    BOOL m_bSeeded = FALSE;
};
