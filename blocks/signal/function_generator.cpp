#include "blocks/signal/function_generator.h"

#include <cmath>

#include "blocks/arith/random.h"
#include "blocks/signal/analysis.h"
#include "framework/block_array.h"
#include "platform/safearray.h"

namespace {

constexpr EnumValue kWaveformValues[] = {
    {"ovConstantWaveform", ovConstantWaveform}, {"ovSquareWaveform", ovSquareWaveform},
    {"ovSineWaveform", ovSineWaveform},         {"ovSawToothWaveform", ovSawToothWaveform},
    {"ovRandomWaveform", ovRandomWaveform},     {"ovDampedSineWaveform", ovDampedSineWaveform},
    {"ovRampWaveform", ovRampWaveform},
};

// 2/32767: scales a draw onto 0 ... 2.
constexpr double kNoiseScale = 6.103701895199438e-05;

// Member DISPIDs; all but Value (10) are inputs.
constexpr DISPID kWaveform = 1, kFrequency = 2, kAmplitude = 3, kPhase = 4, kTime = 5, kDamping = 6,
                 kPeriod = 7, kArraySize = 8, kSampleRate = 9, kValue = 10, kOffset = 11;

template <class Sample>
double Fill(double t, double step, std::span<double> out, Sample sample) {
    for (double& y : out) {
        const double s = sample(t);
        t += step;
        y = s;
    }
    return t;
}

// Position within the period of the triangle and the ramp, the phase turned
// into a time shift.
double PeriodPosition(const WaveformParams& p, double t) {
    const double u = p.phase * p.period * kInverseTwoPiSingle + t;
    double n = std::trunc(u / p.period);
    if (u < 0) n -= 1;
    return u - n * p.period;
}

}  // namespace

const EnumDesc kWaveformEnum{"WAVEFORM_TYPE", kWaveformValues};

double GenerateWaveform(const WaveformParams& p, double t, std::span<double> out) {
    const double step = std::fabs(1.0 / p.sampleRate);
    const double A = p.amplitude, O = p.offset, P = p.period;
    const double w = kTwoPiSingle * p.frequency;
    switch (p.waveform) {
        case ovConstantWaveform:
            return Fill(t, step, out, [&](double) { return A + O; });
        case ovSquareWaveform:
            return Fill(t, step, out, [&](double x) {
                return A * std::sin(w * x + p.phase) >= 0 ? O + A : O - A;
            });
        case ovSineWaveform:
            return Fill(t, step, out, [&](double x) { return A * std::sin(w * x + p.phase) + O; });
        case ovSawToothWaveform:
            return Fill(t, step, out, [&](double x) {
                const double r = PeriodPosition(p, x);
                return r <= P / 2 ? 4 * A * r / P - A + O : A - 4 * A * (r - P / 2) / P + O;
            });
        case ovRandomWaveform:
            return Fill(t, step, out,
                        [&](double) { return NextBlockRandom() * A * kNoiseScale - A + O; });
        case ovDampedSineWaveform:
            return Fill(t, step, out, [&](double x) {
                if (x < 0) return A + O;
                return A * std::sin(w * x + p.phase) * std::exp(-std::fabs(p.damping * x)) + O;
            });
        case ovRampWaveform:
            return Fill(t, step, out, [&](double x) {
                const double r = PeriodPosition(p, x);
                return r <= P - 1 / (2 * p.sampleRate) ? 2 * A * r / P - A + O : O - A;
            });
        default:
            return t;
    }
}

// --- the block --------------------------------------------------------------

COVFuncGenCtrl::COVFuncGenCtrl() : COVBaseMathCtrl(11) {}

const DispatchTable& COVFuncGenCtrl::FuncGenMembers() {
    using C = COVFuncGenCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetWaveform, &C::SetWaveform>("Waveform", kWaveform, "Waveform to make")
                .Input(2)
                .Enum(kWaveformEnum)
                .Persist<&C::p_, &WaveformParams::waveform>("Waveform", {VT_I4, ovSineWaveform}),
            Property<&C::GetFrequency, &C::SetFrequency>("Frequency", kFrequency, "Frequency in Hz")
                .Input(3)
                .Persist<&C::p_, &WaveformParams::frequency>("Frequency", {VT_R8, 1.0}),
            Property<&C::GetAmplitude, &C::SetAmplitude>("Amplitude", kAmplitude, "Amplitude")
                .Input(4)
                .Persist<&C::p_, &WaveformParams::amplitude>("Amplitude", {VT_R8, 1.0}),
            // Stored in degrees, held in radians.
            Property<&C::GetPhase, &C::SetPhase>("Phase", kPhase, "Phase in degrees")
                .Input(5)
                .Persist<&C::GetPhase, &C::LoadPhase>("Phase", {VT_R8, 0.0}),
            Property<&C::GetTime, &C::SetTime>("Time", kTime,
                                               "Running time in seconds; a put sets the start")
                .Input(6)
                .Persist<&C::GetTime, &C::LoadTime>("Time", {VT_R8, 0.0}),
            Property<&C::GetDampingFactor, &C::SetDampingFactor>("DampingFactor", kDamping,
                                                                 "Decay rate of the damped sine")
                .Input(7)
                .Persist<&C::p_, &WaveformParams::damping>("DampingFactor", {VT_R8, 1.0}),
            Property<&C::GetPeriod, &C::SetPeriod>("Period", kPeriod, "Period in seconds")
                .Input(8)
                .Persist<&C::p_, &WaveformParams::period>("Period", {VT_R8, 1.0}),
            Property<&C::GetArraySize, &C::SetArraySize>("ArraySize", kArraySize, "Samples per run")
                .Input(9)
                .Persist<&C::m_lArraySize>("ArraySize", {VT_I4, 1})
                .Reset<&C::m_lArraySize>({VT_I4, 1000}),
            Property<&C::GetSampleRate, &C::SetSampleRate>("SampleRate", kSampleRate,
                                                           "Samples per second")
                .Input(10)
                .Persist<&C::p_, &WaveformParams::sampleRate>("SampleRate", {VT_R8, 10.0}),
            Property<&C::GetValue, &C::SetValue>("Value", kValue, "Samples of the last run")
                .HiddenPut()
                .Reset<&C::m_value>({}),
            Property<&C::GetAmplitudeOffset, &C::SetAmplitudeOffset>("AmplitudeOffset", kOffset,
                                                                     "Offset added to every sample")
                .Input(11)
                .Persist<&C::p_, &WaveformParams::offset>("AmplitudeOffset", {VT_R8, 0.0}),
            Method<&C::Operate>("Operate", 12, "Makes one block of samples and returns Value"),
        });
    return table;
}

void COVFuncGenCtrl::InputArrived(DISPID dispid, bool rewind) {
    if (rewind) m_dTime = m_dStartTime;
    SetModifiedFlag();
    NotifyBoundChange(dispid);
    m_bInputChanged = TRUE;
    SetInputValid(dispid, TRUE);
}

void COVFuncGenCtrl::SetWaveform(int32_t value) {
    p_.waveform = value;
    InputArrived(kWaveform, true);
}

void COVFuncGenCtrl::SetFrequency(double value) {
    if (value != 0) {
        p_.frequency = value;
        p_.period = 1 / std::fabs(value);
    }
    InputArrived(kFrequency, true);
}

void COVFuncGenCtrl::SetAmplitude(double value) {
    p_.amplitude = value;
    InputArrived(kAmplitude, true);
}

void COVFuncGenCtrl::SetPhase(double degrees) {
    LoadPhase(degrees);
    InputArrived(kPhase, true);
}

void COVFuncGenCtrl::SetTime(double value) {
    m_dTime = m_dStartTime = value;
    InputArrived(kTime, false);
}

void COVFuncGenCtrl::SetDampingFactor(double value) {
    p_.damping = value;
    InputArrived(kDamping, true);
}

void COVFuncGenCtrl::SetPeriod(double value) {
    if (value != 0) {
        p_.period = value;
        p_.frequency = 1 / std::fabs(value);
    }
    InputArrived(kPeriod, true);
}

void COVFuncGenCtrl::SetArraySize(int32_t value) {
    if (value > 0) m_lArraySize = value;
    InputArrived(kArraySize, false);
}

void COVFuncGenCtrl::SetSampleRate(double value) {
    if (value > 0) p_.sampleRate = value;
    InputArrived(kSampleRate, true);
}

void COVFuncGenCtrl::SetAmplitudeOffset(double value) {
    p_.offset = value;
    InputArrived(kOffset, true);
}

Variant COVFuncGenCtrl::Operate() {
    Compute();
    return m_value;
}

void COVFuncGenCtrl::Compute() {
    ClearStatus();
    const bool periodic = p_.waveform != ovConstantWaveform && p_.waveform != ovRandomWaveform;
    if (periodic && (p_.frequency == 0 || p_.period == 0)) {
        m_lStatusCode = ERROR_INVALID_DATA_HR;
        FireResults(this);
        return;
    }
    if (p_.waveform < ovConstantWaveform || p_.waveform > ovRampWaveform) {
        m_value.Clear();
        m_lStatusCode = ERROR_INVALID_DATA_HR;
        FireResults(this);
        return;
    }
    if (m_lArraySize < 1) m_lArraySize = 1;
    const uint32_t count = static_cast<uint32_t>(m_lArraySize);
    // A generator makes an array of the same size on every run: take over the
    // last one's storage rather than fault a fresh one in (every sample is
    // written, so it needs no zero-fill).
    SafeArrayPtr samples;
    if (count <= kMaxSignalElements)
        samples = RecreateBlockVector(m_value, VT_R8, 0, count, Reuse::WillOverwrite);
    m_value.Clear();
    if (!samples) {
        m_lStatusCode = E_OUTOFMEMORY;
    } else {
        m_dTime = GenerateWaveform(p_, m_dTime, samples->Data<double>());
        m_value = Variant::Array(std::move(samples));
    }
    if (p_.waveform == ovDampedSineWaveform) m_dTime = m_dStartTime;
    FireResults(this);
}

void COVFuncGenCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    // A new block has the parameters' own defaults, not the stored ones a
    // load falls back to (a sample rate of 100, not 10).
    p_ = WaveformParams{};
    m_dTime = m_dStartTime = 0.0;
}

void COVFuncGenCtrl::LoadPhase(double degrees) {
    p_.phase = degrees * kTwoPiSingle * kDegreesToTurns;
}

void COVFuncGenCtrl::LoadTime(double seconds) {
    // The start time stays 0 until Time is put.
    m_dTime = seconds;
    m_dStartTime = 0.0;
}
