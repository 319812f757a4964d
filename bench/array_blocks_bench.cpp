// The array blocks against plain code doing the same copies, timed in
// alternating rounds of the same run (counter "x_reference"):
// - OVCollector collecting 1,000,000 doubles one put at a time through Invoke,
//   against a block behind the same dispatch whose put only push_backs;
// - OVConcatArray of two 1,000,000-element arrays and OVSubArray of a
//   500,000-element window through Operate (result copy included), against
//   std::copy into a new std::vector;
// - OVPack of eight 100,000-element rows and OVUnpack of each row back,
//   against the plain strided copy in and out of one buffer.
// Rounds are timed in thread CPU time: each lasts milliseconds to a second,
// long enough that on a shared machine wall-clock rounds are rarely clean.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench/time_ratio.h"
#include "blocks/array/collector.h"
#include "blocks/array/pack.h"
#include "blocks/array/slice.h"

namespace {

template <class T>
ComPtr<T> NewBlock() {
    auto block = MakeCom<T>();
    block->InitNew();
    return block;
}

Variant Ramp(size_t n) {
    SafeArrayPtr array = SafeArrayCreateVector(VT_R8, 0, static_cast<uint32_t>(n));
    std::span<double> data = array->Data<double>();
    for (size_t i = 0; i < n; ++i)
        data[i] = static_cast<double>(i);
    return Variant::Array(std::move(array));
}

// --- collecting -----------------------------------------------------------

constexpr int kPuts = 1000000;

// The reference: New's put appends to a vector, behind the same dispatch.
class PushBackBlock : public COVBaseMathCtrl {
  public:
    static const DispatchTable& PushBackMembers() {
        using C = PushBackBlock;
        static const DispatchTable table(&BaseMembers(),
                                         {Property<&C::GetNew, &C::SetNew>("New", 1, "")});
        return table;
    }
    const DispatchTable& Members() const override { return PushBackMembers(); }
    Variant GetNew() const { return Variant(); }
    void SetNew(const Variant& v) { values_.push_back(v.dblVal()); }

  private:
    std::vector<double> values_;
};

template <class Block>
void PutOneAtATime() {
    auto block = NewBlock<Block>();
    Variant arg[1];
    for (int i = 0; i < kPuts; ++i) {
        arg[0] = Variant::R8(i);
        block->Invoke(1, DISPATCH_PROPERTYPUT, arg, nullptr);
    }
    benchmark::ClobberMemory();
}

void BM_CollectorPuts(benchmark::State& state) {
    for (auto _ : state)
        PutOneAtATime<COVCollectorCtrl>();
    state.SetItemsProcessed(state.iterations() * kPuts);
    state.counters["x_reference"] = TimeRatio<ThreadCpuClock>(PutOneAtATime<COVCollectorCtrl>,
                                                              PutOneAtATime<PushBackBlock>, 1, 5);
}
BENCHMARK(BM_CollectorPuts)->Unit(benchmark::kMillisecond);

// --- joining and cutting ----------------------------------------------------

constexpr size_t kJoinCount = 1000000;
constexpr size_t kWindow = 500000;

void BM_ConcatOperate(benchmark::State& state) {
    auto concat = NewBlock<COVConcatArrayCtrl>();
    concat->SetInputArray1(Ramp(kJoinCount));
    concat->SetInputArray2(Ramp(kJoinCount));
    const std::vector<double> a(kJoinCount, 1.0), b(kJoinCount, 2.0);
    auto operate = [&] { benchmark::DoNotOptimize(concat->Operate()); };
    auto reference = [&] {
        std::vector<double> joined(a.size() + b.size());
        std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), joined.begin()));
        benchmark::DoNotOptimize(joined.data());
    };
    for (auto _ : state)
        operate();
    state.counters["x_reference"] = TimeRatio<ThreadCpuClock>(operate, reference, 1, 9);
}
BENCHMARK(BM_ConcatOperate)->Unit(benchmark::kMillisecond);

void BM_SubArrayOperate(benchmark::State& state) {
    auto sub = NewBlock<COVSubArrayCtrl>();
    sub->SetInputArray(Ramp(kJoinCount));
    sub->SetStartIndex(250000);
    sub->SetEndIndex(250000 + kWindow - 1);
    const std::vector<double> input(kJoinCount, 1.0);
    auto operate = [&] { benchmark::DoNotOptimize(sub->Operate()); };
    auto reference = [&] {
        std::vector<double> window(kWindow);
        std::copy_n(input.begin() + 250000, kWindow, window.begin());
        benchmark::DoNotOptimize(window.data());
    };
    for (auto _ : state)
        operate();
    state.counters["x_reference"] = TimeRatio<ThreadCpuClock>(operate, reference, 1, 9);
}
BENCHMARK(BM_SubArrayOperate)->Unit(benchmark::kMillisecond);

// --- packing ------------------------------------------------------------------

constexpr int kRows = 8;
constexpr size_t kRowLength = 100000;

void BM_PackUnpack(benchmark::State& state) {
    std::vector<Variant> rows;
    for (int r = 0; r < kRows; ++r)
        rows.push_back(Ramp(kRowLength));
    auto pack = NewBlock<COVPackCtrl>();
    auto unpack = NewBlock<COVUnpackCtrl>();
    auto blocks = [&] {
        pack->SetClearArray(Variant());
        for (const Variant& row : rows)
            pack->SetInputArray(row);
        unpack->SetInputArray(pack->Operate());
        for (int r = 0; r < kRows; ++r) {
            unpack->SetArrayNumber(r);
            benchmark::DoNotOptimize(unpack->Operate());
        }
    };
    std::vector<std::vector<double>> plainRows(kRows, std::vector<double>(kRowLength, 1.0));
    auto reference = [&] {
        std::vector<double> packed(kRows * kRowLength);
        for (int r = 0; r < kRows; ++r) {
            for (size_t i = 0; i < kRowLength; ++i)
                packed[r + i * kRows] = plainRows[r][i];
        }
        for (int r = 0; r < kRows; ++r) {
            std::vector<double> row(kRowLength);
            for (size_t i = 0; i < kRowLength; ++i)
                row[i] = packed[r + i * kRows];
            benchmark::DoNotOptimize(row.data());
        }
    };
    for (auto _ : state)
        blocks();
    state.counters["x_reference"] = TimeRatio<ThreadCpuClock>(blocks, reference, 1, 9);
}
BENCHMARK(BM_PackUnpack)->Unit(benchmark::kMillisecond);

}  // namespace
