// Property put and get of a double through Invoke against the same handlers
// called directly. The Invoke benchmarks report "vs_direct", their time over the
// direct call's, timed in alternating rounds of the same run.
#include <benchmark/benchmark.h>

#include "bench/time_ratio.h"
#include "platform/dispatch.h"

namespace {

class Sample : public DispatchObject {
  public:
    static const DispatchTable& Table() {
        static const DispatchTable table(
            nullptr, {Property<&Sample::GetLevel, &Sample::SetLevel>("Level", 1, "a double"),
                      ReadOnly<&Sample::GetCount>("Count", 2, "a long"),
                      Property<&Sample::GetName, &Sample::SetName>("Name", 3, "a string")});
        return table;
    }
    const DispatchTable& Members() const override { return Table(); }

    // Out of line, as a call through a vtable or export would be.
    [[gnu::noinline]] double GetLevel() const { return level_; }
    [[gnu::noinline]] void SetLevel(double v) { level_ = v; }
    int32_t GetCount() const { return 1; }
    std::string GetName() const { return name_; }
    void SetName(const std::string& v) { name_ = v; }

  private:
    double level_ = 0;
    std::string name_;
};

void BM_DirectPut(benchmark::State& state) {
    auto s = MakeCom<Sample>();
    double v = 0;
    for (auto _ : state) {
        s->SetLevel(v);
        v += 1;
    }
}
BENCHMARK(BM_DirectPut);

void BM_InvokePut(benchmark::State& state) {
    auto s = MakeCom<Sample>();
    Variant args[1];
    double v = 0;
    auto invoke = [&] {
        args[0] = Variant::R8(v);
        s->Invoke(1, DISPATCH_PROPERTYPUT, args, nullptr);
        v += 1;
    };
    for (auto _ : state)
        invoke();
    auto direct = [&] {
        s->SetLevel(v);
        v += 1;
    };
    state.counters["vs_direct"] = TimeRatio(invoke, direct);
}
BENCHMARK(BM_InvokePut);

void BM_DirectGet(benchmark::State& state) {
    auto s = MakeCom<Sample>();
    for (auto _ : state) {
        Variant out = Variant::R8(s->GetLevel());
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_DirectGet);

void BM_InvokeGet(benchmark::State& state) {
    auto s = MakeCom<Sample>();
    Variant out;
    auto invoke = [&] {
        s->Invoke(1, DISPATCH_PROPERTYGET, {}, &out);
        benchmark::DoNotOptimize(out);
    };
    for (auto _ : state)
        invoke();
    auto direct = [&] {
        Variant direct = Variant::R8(s->GetLevel());
        benchmark::DoNotOptimize(direct);
    };
    state.counters["vs_direct"] = TimeRatio(invoke, direct);
}
BENCHMARK(BM_InvokeGet);

}  // namespace
