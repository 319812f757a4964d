#pragma once
// OVFuncGen: one block of samples of a test waveform per run, ArraySize
// samples 1/SampleRate seconds apart from the running time Time. The running
// time carries on from run to run, so consecutive runs continue the waveform;
// the damped sine starts again at its start time on every run.
#include <cstdint>
#include <span>

#include "framework/base_math_ctrl.h"

enum WAVEFORM_TYPE : int32_t {
    ovConstantWaveform = 0,
    ovSquareWaveform = 1,
    ovSineWaveform = 2,
    ovSawToothWaveform = 3,
    ovRandomWaveform = 4,
    ovDampedSineWaveform = 5,
    ovRampWaveform = 6,
};
extern const EnumDesc kWaveformEnum;  // WAVEFORM_TYPE

// 2π rounded to single precision, and the phase conversions built on it.
constexpr double kTwoPiSingle = 6.2831854820251465;
constexpr double kDegreesToTurns = 0.002777777777777778;  // 1/360
constexpr double kRadiansToDegrees = 57.29577791868204;
constexpr double kInverseTwoPiSingle = 0.15915493866300567;

struct WaveformParams {
    int32_t waveform = ovSineWaveform;
    double frequency = 1.0;  // F, Hz
    double amplitude = 1.0;  // A
    double offset = 0.0;     // O
    double phase = 0.0;      // φ, radians
    double damping = 1.0;    // D
    double period = 1.0;     // P, seconds
    double sampleRate = 100.0;
};

// Fills `out` with samples at t, t + 1/|S|, ... (the time advancing by
// repeated addition) and returns the time after the last sample. `waveform`
// must lie in 0..6. With θ = 2π·F·t + φ: constant A + O; square O ± A by the
// sign of A·sin θ; sine A·sin θ + O; sawtooth a symmetric triangle from -A to
// +A and back over the period P; random noise A·(2k/32767 - 1) + O from the
// thread's block generator; damped sine A·sin θ·exp(-|D·t|) + O (A + O before
// t = 0); ramp from -A to +A over the period, -A within half a sample of its
// end. The triangle and the ramp turn φ into a time shift of φ·P/2π.
double GenerateWaveform(const WaveformParams& p, double t, std::span<double> out);

constexpr int32_t FUNCGEN_HELP_CONTEXT = 69;

class COVFuncGenCtrl : public COVBaseMathCtrl {
  public:
    COVFuncGenCtrl();

    static const DispatchTable& FuncGenMembers();
    static constexpr ControlClass kClass{&FuncGenMembers, &BaseEvents, FUNCGEN_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    int32_t GetWaveform() const { return p_.waveform; }
    void SetWaveform(int32_t value);
    double GetFrequency() const { return p_.frequency; }
    // A non-zero value sets F and P = 1/|F|; 0 changes neither. Rewinds.
    void SetFrequency(double value);
    double GetAmplitude() const { return p_.amplitude; }
    void SetAmplitude(double value);
    double GetPhase() const { return p_.phase * kRadiansToDegrees; }
    void SetPhase(double degrees);
    double GetTime() const { return m_dTime; }
    // Sets the running time and the start time.
    void SetTime(double value);
    double GetDampingFactor() const { return p_.damping; }
    void SetDampingFactor(double value);
    double GetPeriod() const { return p_.period; }
    // A non-zero value sets P and F = 1/|P|; 0 changes neither. Rewinds.
    void SetPeriod(double value);
    int32_t GetArraySize() const { return m_lArraySize; }
    // Stores only positive values; does not rewind.
    void SetArraySize(int32_t value);
    double GetSampleRate() const { return p_.sampleRate; }
    // Stores only positive values. Rewinds.
    void SetSampleRate(double value);
    Variant GetValue() const { return m_value; }
    void SetValue(const Variant& value) { PutSetting(m_value, value); }
    double GetAmplitudeOffset() const { return p_.offset; }
    void SetAmplitudeOffset(double value);
    Variant Operate();

  protected:
    // ERROR_INVALID_DATA_HR when F or P is 0 for a periodic waveform (Value
    // kept) or the waveform is outside 0..6 (Value emptied); E_OUTOFMEMORY
    // when the samples cannot be allocated or would be more than
    // kMaxSignalElements (Value emptied).
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void OnResetState() override;

  private:
    // The end of every input put; `rewind` first sets Time back to the start.
    void InputArrived(DISPID dispid, bool rewind);
    // What a load does with the stored phase (degrees) and running time.
    void LoadPhase(double degrees);
    void LoadTime(double seconds);

    WaveformParams p_;
    double m_dTime = 0.0;
    double m_dStartTime = 0.0;
    int32_t m_lArraySize = 1000;
    Variant m_value;
};
