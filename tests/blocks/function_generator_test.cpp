#include "blocks/signal/function_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

std::vector<double> Samples(const Variant& v) {
    if (!v.IsArray()) return {};
    std::span<const double> d = v.parray()->Data<double>();
    return {d.begin(), d.end()};
}

struct WaveCase {
    int32_t waveform;
    double amplitude, offset, sampleRate, phaseDegrees;
    std::vector<double> expected;  // from t = 0, period 1 s
};

TEST(FuncGen, WaveformsOverOnePeriod) {
    std::vector<double> sine;  // 2π in single precision lies above 2π
    for (double t : {0.0, 0.25, 0.5, 0.75})
        sine.push_back(std::sin(kTwoPiSingle * t));
    const WaveCase cases[] = {
        {ovConstantWaveform, 2, 1, 4, 0, {3, 3, 3, 3}},
        // At half a period the sine is just below 0.
        {ovSquareWaveform, 2, 1, 4, 0, {3, 3, -1, -1}},
        {ovSineWaveform, 1, 0, 4, 0, sine},
        {ovSineWaveform, 1, 0, 4, 90, {1, 0, -1, 0}},
        {ovSawToothWaveform, 2, 1, 4, 180, {3, 1, -1, 1}},  // half a period ahead
        {ovRampWaveform, 1, 0, 4, 0, {-1, -0.5, 0, 0.5}},
        {ovRampWaveform, 1, 0, 2, 0, {-1, 0}},
        {ovDampedSineWaveform, 1, 0, 4, 90, {1, 0, -std::exp(-0.5), 0}},
    };
    for (const WaveCase& c : cases) {
        Block g("OVFuncGen");
        g.Put("Waveform", Variant::I4(c.waveform));
        g.Put("Amplitude", Variant::R8(c.amplitude));
        g.Put("AmplitudeOffset", Variant::R8(c.offset));
        g.Put("SampleRate", Variant::R8(c.sampleRate));
        g.Put("Phase", Variant::R8(c.phaseDegrees));
        g.Put("ArraySize", Variant::I4(static_cast<int32_t>(c.expected.size())));
        const std::vector<double> got = Samples(g.Call("Operate"));
        ASSERT_EQ(got.size(), c.expected.size()) << c.waveform;
        for (size_t k = 0; k < got.size(); ++k)
            EXPECT_NEAR(got[k], c.expected[k], 1e-6)
                << "waveform " << c.waveform << " sample " << k;
    }
}

TEST(FuncGen, TimeCarriesOnAndInputsRewind) {
    Block g("OVFuncGen");
    const std::vector<double> first = Samples(g.Call("Operate"));
    ASSERT_EQ(first.size(), 1000u);
    EXPECT_NEAR(g.Get("Time").dblVal(), 10.0, 1e-9);
    const std::vector<double> second = Samples(g.Call("Operate"));
    EXPECT_NEAR(second[0], std::sin(kTwoPiSingle * g.Get("Time").dblVal() - kTwoPiSingle * 10),
                1e-4);
    // Any input but Time and ArraySize rewinds to the start time, even an ignored one.
    for (const char* input : {"Frequency", "Period", "SampleRate"}) {
        g.Put(input, Variant::R8(0));
        EXPECT_EQ(g.Get("Time"), Variant::R8(0)) << input;
        EXPECT_EQ(g.Get("Frequency"), Variant::R8(1)) << input;
        g.Call("Operate");
    }
    g.Put("ArraySize", Variant::I4(-5));
    EXPECT_EQ(g.Get("ArraySize"), Variant::I4(1000));
    EXPECT_NE(g.Get("Time"), Variant::R8(0));
    g.Put("Period", Variant::R8(-0.5));
    EXPECT_EQ(g.Get("Frequency"), Variant::R8(2));
    g.Put("Phase", Variant::R8(90));
    EXPECT_NEAR(g.Get("Phase").dblVal(), 90, 1e-6);
}

TEST(FuncGen, DampedSineRestartsEveryRun) {
    Block g("OVFuncGen");
    g.Put("Waveform", Variant::I4(ovDampedSineWaveform));
    g.Put("Time", Variant::R8(-1));
    g.Put("ArraySize", Variant::I4(200));
    const std::vector<double> first = Samples(g.Call("Operate"));
    EXPECT_EQ(first[0], 1.0);  // before t = 0: A + O
    EXPECT_EQ(Samples(g.Call("Operate")), first);
    EXPECT_EQ(g.Get("Time"), Variant::R8(-1));
}

TEST(FuncGen, FailuresByStatus) {
    Block g("OVFuncGen");
    g.Put("ArraySize", Variant::I4(3));
    const Variant before = g.Call("Operate");
    // F = 0 only through a stored state: the previous samples stay.
    PropertyBag bag;
    g.control->Save(bag);
    bag.Write("Frequency", Variant::R8(0));
    Block loaded("OVFuncGen");
    loaded.control->Load(bag);
    loaded.Put("Value", before);
    loaded.Call("Operate");
    EXPECT_EQ(loaded.Get("StatusCode"), Variant::I4(ERROR_INVALID_DATA_HR));
    EXPECT_EQ(loaded.Get("Value"), before);
    // The noise does not need a frequency.
    loaded.Put("Waveform", Variant::I4(ovRandomWaveform));
    for (double v : Samples(loaded.Call("Operate")))
        EXPECT_TRUE(v >= -1 && v <= 1) << v;

    g.Put("Waveform", Variant::I4(9));
    EXPECT_EQ(g.Call("Operate"), Variant());
    EXPECT_EQ(g.Get("StatusCode"), Variant::I4(ERROR_INVALID_DATA_HR));
    g.Put("Waveform", Variant::I4(ovSineWaveform));
    g.Put("ArraySize", Variant::I4(INT32_MAX));
    EXPECT_EQ(g.Call("Operate"), Variant());
    EXPECT_EQ(g.Get("StatusCode"), Variant::I4(E_OUTOFMEMORY));
    g.Put("ArraySize", Variant::I4(2));
    EXPECT_EQ(Samples(g.Call("Operate")).size(), 2u);  // usable again
}

TEST(FuncGen, LoadedPhaseAndStartTime) {
    Block g("OVFuncGen");
    PropertyBag bag;
    bag.Write("Phase", Variant::R8(45));
    bag.Write("Time", Variant::R8(3));
    g.control->Load(bag);
    EXPECT_NEAR(g.Get("Phase").dblVal(), 45, 1e-6);
    g.Call("Operate");
    g.Put("Amplitude", Variant::R8(2));  // rewinds to the start time, still 0 after a load
    EXPECT_EQ(g.Get("Time"), Variant::R8(0));
}

}  // namespace
