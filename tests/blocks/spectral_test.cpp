#include "blocks/signal/spectral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "blocks/signal/fir_filter.h"
#include "framework/block_array.h"
#include "platform/property_bag.h"
#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

// --- plain renderings of the algorithms, the reference for every fast road ---

using ComplexF = std::complex<float>;
using ComplexD = std::complex<double>;

void ReferenceComplexFFT(int32_t n, bool inverse, float* data) {
    if (n < 2) return;
    ComplexF* z = reinterpret_cast<ComplexF*>(data);
    const double theta = static_cast<double>(kTwoPiF) / n;
    ComplexD step(std::cos(theta), inverse ? -std::sin(theta) : std::sin(theta));
    for (int32_t half = n / 2; half >= 1; half /= 2, step *= step) {
        for (int32_t group = 0; group < n; group += 2 * half) {
            ComplexD w = 1.0;
            for (int32_t j = group; j < group + half; ++j, w *= step) {
                const ComplexD a = z[j], b = z[j + half];
                z[j] = ComplexF(a + b);
                z[j + half] = ComplexF((a - b) * w);
            }
        }
    }
    for (int32_t i = 0, j = 0; i < n - 1; ++i) {
        if (i < j) std::swap(z[i], z[j]);
        int32_t k = n / 2;
        for (; k >= 1 && k <= j; k /= 2)
            j -= k;
        j += k;
    }
}

void ReferenceRealFFT(int32_t n, bool inverse, float* x) {
    if (n < 2) return;
    const double c2 = inverse ? 0.5 : -0.5;
    const double theta = (inverse ? -1.0 : 1.0) * static_cast<double>(kTwoPiF) / n;
    if (!inverse) ReferenceComplexFFT(n / 2, false, x);
    const ComplexD step(std::cos(theta), std::sin(theta));
    ComplexD w = step;
    for (int32_t k = 1; k <= n / 4; ++k, w *= step) {
        float* z = x + 2 * k;
        float* p = x + 2 * (n / 2 - k);
        const double zr = z[0], zi = z[1], pr = p[0], pi = p[1], wr = w.real(), wi = w.imag();
        const double h1r = (zr + pr) / 2, h1i = (zi - pi) / 2;
        const double h2r = -c2 * (zi + pi), h2i = c2 * (zr - pr);
        z[0] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        z[1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        p[0] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        p[1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
    }
    // The inverse halves the DC and Nyquist terms; dividing by 1 leaves the forward's exact.
    const double x0 = x[0], x1 = x[1], scale = inverse ? 2 : 1;
    x[0] = static_cast<float>((x0 + x1) / scale);
    x[1] = static_cast<float>((x0 - x1) / scale);
    if (!inverse) return;
    ReferenceComplexFFT(n / 2, true, x);
    for (int32_t i = 0; i < n; ++i)
        x[i] = static_cast<float>(x[i] / (n / 2.0));
}

// The filter as a circular delay line: p advances and wraps, d[p] takes the
// sample, y sums h[j] * d[(p - j) mod N] for j upward.
struct ReferenceFir {
    std::vector<float> h, d;
    int p = 0;
    explicit ReferenceFir(std::vector<float> coefficients)
        : h(std::move(coefficients)), d(h.size(), 0.0f) {}
    float Step(float x) {
        const int n = static_cast<int>(h.size());
        p = (p + 1) % n;
        d[p] = x;
        double y = 0.0;
        for (int j = 0; j < n; ++j)
            y += static_cast<double>(h[j]) * d[(p - j + n) % n];
        return static_cast<float>(y);
    }
};

std::vector<float> RandomSamples(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1000.0f, 1000.0f);
    std::vector<float> v(n);
    for (float& x : v)
        x = dist(gen);
    return v;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

Variant FloatArray(std::vector<float> v, int32_t lowerBound = 0) {
    Variant value;
    MakeNumericVector<float>(v, lowerBound, &value);
    return value;
}

std::vector<float> Floats(const Variant& v) {
    const auto data = v.parray()->Data<float>();
    return {data.begin(), data.end()};
}

// --- transforms ----------------------------------------------------------------

// The routines of one road, so that every check runs on both.
struct Road {
    const char* name;
    void (*realFft)(int32_t, bool, float*);
    void (FirFilter::*filter)(std::span<const float>, std::span<float>);
};
constexpr Road kRoads[] = {
    {"vector", &VectorRealFFT, &FirFilter::FilterVector},
    {"plain", &PlainRealFFT, &FirFilter::FilterPlain},
};

// The real transform runs the complex one of half its size on the same road,
// forward and inverse, so comparing it covers both.
TEST(Spectral, TransformsEqualThePlainAlgorithmBitForBit) {
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        for (int32_t n = 2; n <= 65536; n *= 2) {
            for (bool inverse : {false, true}) {
                const std::vector<float> input = RandomSamples(static_cast<size_t>(n), n);
                std::vector<float> real = input, realRef = input;
                road.realFft(n, inverse, real.data());
                ReferenceRealFFT(n, inverse, realRef.data());
                EXPECT_TRUE(SameBits(real, realRef)) << "real n=" << n << " inverse=" << inverse;
            }
        }
    }
}

// The bit-exact comparisons above pin the arithmetic; this pins the meaning:
// a tone lands in its own bin only, and inverse undoes forward.
TEST(Spectral, ToneLandsInItsBinAndInverseUndoesForward) {
    const int32_t n = 1024;
    for (int bin : {1, 37, 200, 511}) {
        std::vector<float> x(n);
        for (int32_t j = 0; j < n; ++j)
            x[j] = static_cast<float>(std::cos(2 * M_PI * bin * j / n));
        ovmRealFFT(n, false, x.data());
        EXPECT_NEAR(x[2 * bin], n / 2.0, 1e-2) << bin;
        EXPECT_LT(std::hypot(x[0], x[1]), 1e-2) << bin;
        for (int k = 1; k < n / 2; ++k) {
            if (k != bin) {
                EXPECT_LT(std::hypot(x[2 * k], x[2 * k + 1]), 1e-2) << bin << " " << k;
            }
        }
    }
    std::vector<float> x = RandomSamples(4096, 7), back = x;
    ovmRealFFT(4096, false, back.data());
    ovmRealFFT(4096, true, back.data());
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(back[i], x[i], 1e-2) << i;
}

// --- windows and design ----------------------------------------------------------

TEST(Spectral, WindowsWeighBothEndsAndSpareTheMiddle) {
    struct Row {
        int16_t window;
        float w0, w1;  // the weights of taps 0/4 and 1/3 for N = 5
    };
    const Row rows[] = {
        {DIGITAL_WINDOW_RECTANGLE, 1, 1},    {DIGITAL_WINDOW_PARZEN, 0, 0.5f},
        {DIGITAL_WINDOW_BARTLETT, 0, 0.5f},  {DIGITAL_WINDOW_HANNING, 0, 0.5f},
        {DIGITAL_WINDOW_WELCH, 0, 0.75f},    {DIGITAL_WINDOW_HAMMING, 0.08f, 0.54f},
        {DIGITAL_WINDOW_BLACKMAN, 0, 0.34f}, {7, 1, 1},
    };
    for (const Row& r : rows) {
        float data[5] = {2, 2, 2, 2, 2};
        ovmWindowData(5, r.window, data);
        EXPECT_NEAR(data[0], 2 * r.w0, 1e-6) << r.window;
        EXPECT_NEAR(data[4], 2 * r.w0, 1e-6) << r.window;
        EXPECT_NEAR(data[1], 2 * r.w1, 1e-6) << r.window;
        EXPECT_NEAR(data[3], 2 * r.w1, 1e-6) << r.window;
        EXPECT_EQ(data[2], 2.0f) << r.window;
    }
}

TEST(Spectral, DesignGivesTheWindowMethodCoefficients) {
    struct Row {
        int16_t type;
        float low, high;
        float centre;  // the t = 0 tap
        double side;   // tap at t = 1
    };
    const double pi = M_PI;
    const Row rows[] = {
        {FIR_FILTER_LOW_PASS, 0.2f, 0.3f, 0.6f, std::sin(0.6 * pi) / pi},
        {FIR_FILTER_HIGH_PASS, 0.2f, 0.3f, 0.6f, -std::sin(0.4 * pi) / pi},
        {FIR_FILTER_BAND_PASS, 0.1f, 0.3f, 0.4f, (std::sin(0.6 * pi) - std::sin(0.2 * pi)) / pi},
        {FIR_FILTER_BAND_STOP, 0.1f, 0.3f, 0.6f, (std::sin(0.2 * pi) - std::sin(0.6 * pi)) / pi},
    };
    for (const Row& r : rows) {
        FirSettings s{r.type, 5, r.low, r.high, DIGITAL_WINDOW_RECTANGLE};
        const std::vector<float> h = DesignFirCoefficients(s);
        ASSERT_EQ(h.size(), 5u);
        EXPECT_NEAR(h[2], r.centre, 1e-6) << r.type;
        EXPECT_NEAR(h[1], r.side, 1e-6) << r.type;
        EXPECT_EQ(h[1], h[3]) << r.type;
        EXPECT_EQ(h[0], h[4]) << r.type;
    }
    // Even N: no centre tap, symmetric about the middle.
    const std::vector<float> even = DesignFirCoefficients({FIR_FILTER_LOW_PASS, 4, 0.2f, 0.3f, 0});
    EXPECT_NEAR(even[1], std::sin(0.3 * pi) / (pi * 0.5), 1e-6);
    EXPECT_EQ(even[0], even[3]);
    EXPECT_EQ(even[1], even[2]);
}

TEST(Spectral, StreamingFilterEqualsTheCircularDelayLine) {
    for (const Road& road : kRoads) {
        SCOPED_TRACE(road.name);
        for (int16_t taps : {2, 5, 17, 64}) {
            FirSettings s{FIR_FILTER_BAND_PASS, taps, 0.05f, 0.2f, DIGITAL_WINDOW_HAMMING};
            FirFilter filter(DesignFirCoefficients(s));
            ReferenceFir reference(DesignFirCoefficients(s));
            const std::vector<float> x = RandomSamples(5000, taps);
            size_t at = 0;
            for (size_t chunk : {1, 3, 16, 17, 40, 4500, 100}) {
                std::vector<float> out(chunk);
                (filter.*road.filter)({x.data() + at, chunk}, out);
                for (size_t i = 0; i < chunk; ++i)
                    ASSERT_EQ(out[i], reference.Step(x[at + i])) << taps << " at " << at + i;
                at += chunk;
            }
        }
    }
}

// --- the blocks ------------------------------------------------------------------

TEST(FFTBlock, TransformsTheLargestPowerOfTwoWithTheInputsLowerBound) {
    Block b("FFT");
    b.Put("Value", FloatArray(RandomSamples(1000, 3), 3));
    const Variant out = b.Call("Operate");
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(0));
    ASSERT_EQ(out.vt(), VT_ARRAY | VT_R4);
    EXPECT_EQ(out.parray()->Bound(0).lLbound, 3);
    const std::vector<float> all = RandomSamples(1000, 3);
    std::vector<float> expected(all.begin(), all.begin() + 512);
    ReferenceRealFFT(512, false, expected.data());
    EXPECT_TRUE(SameBits(Floats(out), expected));
}

TEST(FFTBlock, HostileInputsGetAStatusAndKeepTheOutput) {
    struct Row {
        Variant value;
        int32_t status;
    };
    const Row rows2[] = {
        {Variant::R8(1), TYPE_E_TYPEMISMATCH},
        {Variant(), TYPE_E_TYPEMISMATCH},
        {Variant::Array(SafeArrayCreateVector(VT_I4, 0, 4)), TYPE_E_TYPEMISMATCH},
        {FloatArray({}), ERROR_INVALID_DATA_HR},
        {FloatArray({5}), ERROR_INVALID_DATA_HR},
        {V("r8[[1, 1, 1, 1], [9, 9, 9, 9]]"), 0},  // two arrays of four: reads the first
    };
    Block b("FFT");
    for (const Row& r : rows2) {
        b.Put("Value", FloatArray({1, 1, 1, 1}));
        b.Call("Operate");
        b.Put("Value", r.value);
        const Variant out = b.Call("Operate");
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(r.status)) << &r - rows2;
        EXPECT_EQ(Floats(out), (std::vector<float>{4, 0, 0, 0})) << &r - rows2;
    }
}

Variant FilterOnce(Block& b, std::vector<float> samples) {
    b.Put("ValueIn", FloatArray(std::move(samples)));
    return b.Call("Operate");
}

TEST(FIRBlock, ImpulseResponseIsTheDesignAndArraysContinueOneSignal) {
    Block b("CFIRFilter");
    const std::vector<float> h = DesignFirCoefficients(FirSettings{});
    EXPECT_EQ(Floats(FilterOnce(b, {1, 0, 0, 0, 0})), h);
    EXPECT_EQ(Floats(FilterOnce(b, {1, 0})), (std::vector<float>{h[0], h[1]}));
    EXPECT_EQ(Floats(FilterOnce(b, {0, 0, 0})), (std::vector<float>{h[2], h[3], h[4]}));
    // Integers and doubles read as floats; the output's lower bound is 0.
    b.Put("NumOfCoeff", Variant::I2(6));  // a redesign clears the delay line
    b.Put("ValueIn", V("i2@7[2, 0]"));
    const Variant out = b.Call("Operate");
    EXPECT_EQ(out.parray()->Bound(0).lLbound, 0);
    const std::vector<float> h6 = DesignFirCoefficients({FIR_FILTER_LOW_PASS, 6, 0.2f, 0.3f, 0});
    EXPECT_EQ(Floats(out), (std::vector<float>{2 * h6[0], 2 * h6[1]}));
}

// A valid setting is stored and designs; an invalid one is not stored and
// leaves no filter, so the next run fails.
TEST(FIRBlock, SettingPutsStoreDesignOrDiscard) {
    const struct {
        const char* puts;
        bool designed;
        const char* after;
    } rows[] = {
        {"NumOfCoeff=i2 65", false, "NumOfCoeff=i2 5"},
        {"NumOfCoeff=i2 1", false, "NumOfCoeff=i2 5"},
        {"NumOfCoeff=i2 64", true, "NumOfCoeff=i2 64"},
        {"HighFrequencyCutoff=r4 0.5", true, "HighFrequencyCutoff=r4 0.5"},
        {"HighFrequencyCutoff=r4 0.51", false, "HighFrequencyCutoff=r4 0.3"},
        {"HighFrequencyCutoff=r4 -0.1", false, "HighFrequencyCutoff=r4 0.3"},
        {"HighFrequencyCutoff=r4 0.1", true, "HighFrequencyCutoff=r4 0.1"},  // low pass: no fL
        {"LowFrequencyCutoff=r4 0.1", true, "LowFrequencyCutoff=r4 0.2"},    // unused: ignored
        {"FilterType=i2 4", false, "FilterType=i2 0"},
        {"FilterType=i2 1", true, "FilterType=i2 1"},
        {"WindowType=i2 7", false, "WindowType=i2 0"},
        {"WindowType=i2 6", true, "WindowType=i2 6"},
        // Band types need the low cutoff below the high one; a band type put
        // while it is not resets it to 0.
        {"FilterType=i2 2; LowFrequencyCutoff=r4 0.35", false, "LowFrequencyCutoff=r4 0.2"},
        {"FilterType=i2 1; LowFrequencyCutoff=r4 0.4; FilterType=i2 3", true,
         "LowFrequencyCutoff=r4 0"},
    };
    for (const auto& r : rows) {
        Block b("CFIRFilter");
        harness::Drive(b, r.puts);
        FilterOnce(b, {1});
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(r.designed ? 0 : TYPE_E_TYPEMISMATCH)) << r.puts;
        harness::ExpectMembers(b, r.after, r.puts);
    }
}

TEST(FIRBlock, HostileSamplesGetAStatusAndLeaveTheLineAlone) {
    Block b("CFIRFilter");
    const std::vector<float> h = DesignFirCoefficients(FirSettings{});
    FilterOnce(b, {1});
    // An array of another kind counts its elements as silent samples.
    b.Put("ValueIn", V("bstr[\"1\", \"1\"]"));
    EXPECT_EQ(Floats(b.Call("Operate")), (std::vector<float>{h[1], h[2]}));
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(0));
    b.Put("ValueIn", Variant::R8(1));
    b.Call("Operate");
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(TYPE_E_TYPEMISMATCH));
    // The refused value did not move the delay line: the impulse goes on.
    EXPECT_EQ(Floats(FilterOnce(b, {0})), (std::vector<float>{h[3]}));
    const std::vector<float> big(10'000'000, 1.0f);
    const std::vector<float> out = Floats(FilterOnce(b, big));
    ASSERT_EQ(out.size(), big.size());
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(0));
}

TEST(FIRBlock, SettingsAndValueOutAddressTheValidityTable) {
    Block b("CFIRFilter");
    // DISPID 6 (ValueIn) is no input; the samples' entry goes by ValueOut's 7.
    for (int32_t dispid : {1, 2, 3, 4, 5, 6, 7}) {
        b.Put("InvalidProperty", Variant::I4(dispid));
        EXPECT_EQ(b.GetIndexed("PropertyValid", Variant::I4(dispid)).boolVal() != 0, dispid == 6)
            << dispid;
    }
}

TEST(FIRBlock, FilterDataHandsBackTheFilteredArray) {
    Block b("CFIRFilter");
    Variant args[] = {Variant::I4(3), FloatArray({1, 0, 0}), Variant()};
    Variant result;
    ASSERT_EQ(b.control->Invoke(b.Id("FilterData"), DISPATCH_METHOD, args, &result), S_OK);
    EXPECT_EQ(result, Variant::Bool(true));
    const std::vector<float> h = DesignFirCoefficients(FirSettings{});
    EXPECT_EQ(Floats(args[2]), (std::vector<float>{h[0], h[1], h[2]}));
    for (int32_t n : {0, -1, 4}) {  // nothing to filter, or more than the array holds
        Variant bad[] = {Variant::I4(n), FloatArray({1, 0, 0}), Variant()};
        b.control->Invoke(b.Id("FilterData"), DISPATCH_METHOD, bad, &result);
        EXPECT_EQ(result, Variant::Bool(false)) << n;
    }
    auto* block = dynamic_cast<CFIRFilterCtrl*>(b.control.Get());
    block->SetNumOfCoeff(0);  // no filter
    float in = 1, out = 0;
    EXPECT_FALSE(block->FilterData(1, &in, &out));
}

TEST(FIRBlock, SettingsPersistUnderTheirNamesAndDesignOnLoad) {
    Block b("CFIRFilter");
    harness::Drive(b, "FilterType=i2 1; NumOfCoeff=i2 9; WindowType=i2 6");
    PropertyBag bag;
    b.control->Save(bag);
    harness::ExpectBag(bag, "FilterType=i2 1; Coeff=i2 9; LowCut=r4 0.2; HighCut=r4 0.3; DWin=i2 6",
                       "saved");
    Block loaded("CFIRFilter");
    loaded.control->Load(bag);
    const std::vector<float> h =
        DesignFirCoefficients({FIR_FILTER_HIGH_PASS, 9, 0.2f, 0.3f, DIGITAL_WINDOW_BLACKMAN});
    EXPECT_EQ(Floats(FilterOnce(loaded, {1, 0})), (std::vector<float>{h[0], h[1]}));
}

}  // namespace
