// Collecting 1,000,000 doubles one at a time into an array, as the collector
// does (grow by one, then store), against std::vector::push_back. Each array
// benchmark reports "x_vector": its time per fill over the vector's, measured
// in the same run (the vector benchmark runs first). Times are processor time
// of this process, so that other work on a busy machine does not skew them.
#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

#include "platform/safearray.h"

namespace {

constexpr uint32_t kCount = 1000000;

double vectorSecondsPerFill = 0;

// Times each fill by hand so that the mean can be compared across benchmarks.
template <class Fill>
double TimeFills(benchmark::State& state, Fill fill) {
    double total = 0;
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        fill();
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    state.SetItemsProcessed(state.iterations() * kCount);
    return total / static_cast<double>(state.iterations());
}

void ReportAgainstVector(benchmark::State& state, double secondsPerFill) {
    if (vectorSecondsPerFill > 0)
        state.counters["x_vector"] = secondsPerFill / vectorSecondsPerFill;
}

void BM_VectorPushBack(benchmark::State& state) {
    vectorSecondsPerFill = TimeFills(state, [] {
        std::vector<double> v;
        for (uint32_t i = 0; i < kCount; ++i)
            v.push_back(i);
        benchmark::DoNotOptimize(v.data());
    });
}
BENCHMARK(BM_VectorPushBack)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RedimPutElement(benchmark::State& state) {
    ReportAgainstVector(state, TimeFills(state, [] {
                            SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, 0);
                            for (uint32_t i = 0; i < kCount; ++i) {
                                const SAFEARRAYBOUND bound{i + 1, 0};
                                SafeArrayRedim(a.get(), &bound);
                                const int32_t index = static_cast<int32_t>(i);
                                SafeArrayPutElement(a.get(), &index, Variant::R8(i));
                            }
                            benchmark::DoNotOptimize(a->Data<double>().data());
                        }));
}
BENCHMARK(BM_RedimPutElement)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RedimTypedSpan(benchmark::State& state) {
    ReportAgainstVector(state, TimeFills(state, [] {
                            SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, 0);
                            for (uint32_t i = 0; i < kCount; ++i) {
                                const SAFEARRAYBOUND bound{i + 1, 0};
                                SafeArrayRedim(a.get(), &bound);
                                a->Data<double>()[i] = i;
                            }
                            benchmark::DoNotOptimize(a->Data<double>().data());
                        }));
}
BENCHMARK(BM_RedimTypedSpan)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
