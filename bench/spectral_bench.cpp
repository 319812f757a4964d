// The spectral routines against general-purpose references measured in the
// same run: the real transform on 4,096 and 65,536 floats against FFTW's
// single-precision r2c plan ("x_fftw"), and 64-tap FIR filtering of 1,000,000
// samples streamed in arrays of 4,096 against liquid-dsp's firfilt_rrrf
// ("x_liquid"). Without a reference the ratio is left out.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "bench/time_ratio.h"
#include "blocks/signal/spectral.h"

#if TK_HAVE_FFTW
#include <fftw3.h>
#endif
#if TK_HAVE_LIQUID
#include <liquid/liquid.h>
#include <complex>  // liquid's header wants the complex types first
#endif

namespace {

std::vector<float> Noise(size_t n) {
    std::mt19937 gen(42);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& x : v)
        x = dist(gen);
    return v;
}

void BM_RealFFT(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    const std::vector<float> input = Noise(static_cast<size_t>(n));
    std::vector<float> buffer(input.size());
    auto ours = [&] {
        std::memcpy(buffer.data(), input.data(), input.size() * sizeof(float));
        ovmRealFFT(n, false, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    };
    for (auto _ : state)
        ours();
    state.SetItemsProcessed(state.iterations() * n);
#if TK_HAVE_FFTW
    std::vector<float> in(input);
    fftwf_complex* out = fftwf_alloc_complex(static_cast<size_t>(n) / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in.data(), out, FFTW_MEASURE);
    std::copy(input.begin(), input.end(), in.begin());  // planning overwrote it
    auto fftw = [&] {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    };
    // Short rounds, many of them: on a shared machine the fastest of each is
    // the one nobody interrupted.
    const int64_t calls = std::max<int64_t>(1, 131072 / n);
    state.counters["x_fftw"] = TimeRatio(ours, fftw, calls, 61);
    fftwf_destroy_plan(plan);
    fftwf_free(out);
#endif
}
BENCHMARK(BM_RealFFT)->Arg(4096)->Arg(65536)->Unit(benchmark::kMicrosecond);

constexpr size_t kStreamSamples = 1'000'000;
constexpr size_t kChunk = 4096;

void BM_FirStream(benchmark::State& state) {
    const std::vector<float> h =
        DesignFirCoefficients({FIR_FILTER_BAND_PASS, 64, 0.1f, 0.2f, DIGITAL_WINDOW_HAMMING});
    const std::vector<float> x = Noise(kStreamSamples);
    std::vector<float> y(kStreamSamples);
    FirFilter filter(h);
    auto ours = [&] {
        for (size_t at = 0; at < kStreamSamples; at += kChunk) {
            const size_t n = std::min(kChunk, kStreamSamples - at);
            filter.Filter({x.data() + at, n}, {y.data() + at, n});
        }
        benchmark::DoNotOptimize(y.data());
    };
    for (auto _ : state)
        ours();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kStreamSamples));
#if TK_HAVE_LIQUID
    std::vector<float> taps(h);
    firfilt_rrrf q = firfilt_rrrf_create(taps.data(), static_cast<unsigned>(taps.size()));
    std::vector<float> in(x);
    auto liquid = [&] {
        for (size_t at = 0; at < kStreamSamples; at += kChunk) {
            const size_t n = std::min(kChunk, kStreamSamples - at);
            firfilt_rrrf_execute_block(q, in.data() + at, static_cast<unsigned>(n), y.data() + at);
        }
        benchmark::DoNotOptimize(y.data());
    };
    state.counters["x_liquid"] = TimeRatio(ours, liquid, 1, 15);
    firfilt_rrrf_destroy(q);
#endif
}
BENCHMARK(BM_FirStream)->Unit(benchmark::kMillisecond);

}  // namespace
