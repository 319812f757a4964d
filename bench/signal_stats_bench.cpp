// The signal blocks against plain references in the same run:
//  - ovmStatistics on 1,000,000 floats against a plain loop with the same
//    accumulation ("vs_plain");
//  - a histogram run of 1,000,000 doubles into 100 bins, alone and followed
//    by a read of the sorted data, in ns per element ("ns_per_value"), and
//    against NumPy's histogram of as many values ("vs_numpy"), timed by
//    bench/histogram_numpy.py when /usr/bin/python3 has NumPy;
//  - OVFuncGen making 1,000,000 sine samples against a plain loop of std::sin
//    into a float vector ("vs_plain").
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/time_ratio.h"
#include "blocks/signal/analysis.h"
#include "blocks/signal/function_generator.h"
#include "blocks/signal/histogram.h"
#include "platform/safearray.h"

namespace {

constexpr size_t kCount = 1'000'000;

std::vector<double> NormalData() {
    std::mt19937_64 gen(42);
    std::normal_distribution<double> dist;
    std::vector<double> data(kCount);
    for (double& x : data)
        x = dist(gen);
    return data;
}

// The same accumulation as ovmStatistics, written out as one would by hand.
[[gnu::noinline]] void PlainMoments(const std::vector<float>& x, float out[4]) {
    const float nf = static_cast<float>(x.size());
    long double sum = 0;
    for (float v : x)
        sum += v;
    const float m = static_cast<float>(sum / nf);
    long double e = 0;
    float ad = 0, q = 0;
    for (float v : x) {
        const long double d = static_cast<long double>(v) - m;
        e += d;
        ad = static_cast<float>(ad + std::fabs(d));
        q = static_cast<float>(q + d * d);
    }
    const long double var = (q - e * e / nf) / (x.size() - 1);
    out[0] = m;
    out[1] = static_cast<float>(var);
    out[2] = static_cast<float>(std::sqrt(var));
    out[3] = ad / nf;
}

void BM_Statistics(benchmark::State& state) {
    std::vector<float> x(kCount);
    const std::vector<double> d = NormalData();
    for (size_t i = 0; i < kCount; ++i)
        x[i] = static_cast<float>(d[i]);
    float r[4];
    auto routine = [&] {
        ovmStatistics(static_cast<int32_t>(x.size()), x.data(), &r[0], &r[1], &r[2], &r[3]);
        benchmark::DoNotOptimize(r);
    };
    auto plain = [&] {
        PlainMoments(x, r);
        benchmark::DoNotOptimize(r);
    };
    for (auto _ : state)
        routine();
    state.counters["vs_plain"] = TimeRatio(routine, plain, 3, 7);
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);

Variant Array(const std::vector<double>& values) {
    SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, static_cast<uint32_t>(values.size()));
    std::copy(values.begin(), values.end(), a->Data<double>().begin());
    return Variant::Array(std::move(a));
}

// NumPy's histogram in ns per element, or 0 when it cannot be timed here.
double NumPyNanosPerValue() {
    static const double ns = [] {
        const std::string script = TK_SOURCE_DIR "/bench/histogram_numpy.py";
        FILE* p = popen(("/usr/bin/python3 " + script + " 2>/dev/null").c_str(), "r");
        if (p == nullptr) return 0.0;
        double value = 0;
        if (std::fscanf(p, "%lf", &value) != 1) value = 0;
        pclose(p);
        return value;
    }();
    return ns;
}

double ThreadNanos() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Best of a few rounds of `run`, in thread CPU ns per value: on a shared
// machine wall time measures the neighbours.
template <class Run>
double NanosPerValue(Run&& run) {
    double best = 1e300;
    for (int round = 0; round < 15; ++round) {
        const double start = ThreadNanos();
        run();
        best = std::min(best, ThreadNanos() - start);
    }
    return best / kCount;
}

// state.range(0): 1 reads DataArray after each run.
void BM_Histogram(benchmark::State& state) {
    const bool readSorted = state.range(0) != 0;
    auto h = MakeCom<COVHistogramCtrl>();
    h->InitNew();
    h->SetNumberOfBins(Variant::I4(100));
    h->SetInputValues(Array(NormalData()));
    auto run = [&] {
        h->Operate();
        if (readSorted) benchmark::DoNotOptimize(h->GetDataArray());
    };
    for (auto _ : state)
        run();
    const double ns = NanosPerValue(run);
    state.counters["ns_per_value"] = ns;
    if (const double numpy = NumPyNanosPerValue(); numpy > 0)
        state.counters["vs_numpy"] = ns / numpy;
}
BENCHMARK(BM_Histogram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

[[gnu::noinline]] void PlainSine(std::vector<float>& out) {
    double t = 0;
    for (float& y : out) {
        y = static_cast<float>(std::sin(kTwoPiSingle * t));
        t += 0.01;
    }
}

void BM_FuncGenSine(benchmark::State& state) {
    auto g = MakeCom<COVFuncGenCtrl>();
    g->InitNew();
    g->SetArraySize(static_cast<int32_t>(kCount));
    std::vector<float> plain(kCount);
    auto generate = [&] { benchmark::DoNotOptimize(g->Operate()); };
    auto reference = [&] {
        PlainSine(plain);
        benchmark::DoNotOptimize(plain.data());
    };
    for (auto _ : state)
        generate();
    state.counters["vs_plain"] = TimeRatio(generate, reference, 3, 7);
}
BENCHMARK(BM_FuncGenSine)->Unit(benchmark::kMillisecond);

}  // namespace
