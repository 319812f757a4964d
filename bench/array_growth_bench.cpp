// Collecting 1,000,000 doubles one at a time into an array, as the collector
// does (grow by one, then store), against std::vector::push_back. Each array
// benchmark reports "x_vector": its time per fill over the vector's, timed in
// alternating rounds of the same run.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/time_ratio.h"
#include "platform/safearray.h"

namespace {

constexpr uint32_t kCount = 1000000;

void VectorFill() {
    std::vector<double> v;
    for (uint32_t i = 0; i < kCount; ++i)
        v.push_back(i);
    benchmark::DoNotOptimize(v.data());
}

void RedimPutElementFill() {
    SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, 0);
    for (uint32_t i = 0; i < kCount; ++i) {
        const SAFEARRAYBOUND bound{i + 1, 0};
        SafeArrayRedim(a.get(), &bound);
        const int32_t index = static_cast<int32_t>(i);
        SafeArrayPutElement(a.get(), &index, Variant::R8(i));
    }
    benchmark::DoNotOptimize(a->Data<double>().data());
}

void RedimTypedSpanFill() {
    SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, 0);
    for (uint32_t i = 0; i < kCount; ++i) {
        const SAFEARRAYBOUND bound{i + 1, 0};
        SafeArrayRedim(a.get(), &bound);
        a->Data<double>()[i] = i;
    }
    benchmark::DoNotOptimize(a->Data<double>().data());
}

template <void (*Fill)()>
void BM_Fill(benchmark::State& state) {
    for (auto _ : state)
        Fill();
    state.SetItemsProcessed(state.iterations() * kCount);
    if (Fill != &VectorFill) state.counters["x_vector"] = TimeRatio(Fill, VectorFill, 1, 5);
}
BENCHMARK(BM_Fill<VectorFill>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill<RedimPutElementFill>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fill<RedimTypedSpanFill>)->Unit(benchmark::kMillisecond);

}  // namespace
