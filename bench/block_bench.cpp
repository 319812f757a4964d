// Operate on OVAdd through Invoke against the add block's own computation
// (ComputeArithmetic on the same input values), and, for scale, against a bare
// add of two doubles held in values; a whole wired run of OVAdd against the
// same Operate. The counters "vs_core", "vs_plain_add" and "vs_operate" are
// those ratios, timed in alternating rounds of the same run. Block creation is
// timed with a registry file in place, as on an installed machine.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "bench/time_ratio.h"
#include "blocks/arith/arithmetic.h"
#include "platform/events.h"
#include "platform/registry.h"

namespace {

[[gnu::noinline]] Variant PlainAdd(const Variant& x, const Variant& y) {
    return Variant::R8(x.dblVal() + y.dblVal());
}

void BM_PlainAdd(benchmark::State& state) {
    Variant x = Variant::R8(2.5), y = Variant::R8(4.0);
    for (auto _ : state) {
        Variant r = PlainAdd(x, y);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_PlainAdd);

void ArithmeticCoreOnce() {
    static const Variant x = Variant::R8(2.5), y = Variant::R8(4.0);
    ArithmeticResult r = ComputeArithmetic(ArithOp::Add, x, y);
    benchmark::DoNotOptimize(r);
}

void BM_ArithmeticCore(benchmark::State& state) {
    for (auto _ : state)
        ArithmeticCoreOnce();
}
BENCHMARK(BM_ArithmeticCore);

ComPtr<COVAddCtrl> NewAdd() {
    auto add = MakeCom<COVAddCtrl>();
    add->InitNew();
    return add;
}

void PlainAddOnce() {
    static const Variant x = Variant::R8(2.5), y = Variant::R8(4.0);
    Variant r = PlainAdd(x, y);
    benchmark::DoNotOptimize(r);
}

// OVAdd's Operate through Invoke, callable again and again.
class OperateCall {
  public:
    OperateCall() : add_(NewAdd()) {
        add_->SetInputX(Variant::R8(2.5));
        add_->SetInputY(Variant::R8(4.0));
    }
    void operator()() {
        add_->Invoke(4, DISPATCH_METHOD, {}, &out_);
        benchmark::DoNotOptimize(out_);
    }

  private:
    ComPtr<COVAddCtrl> add_;
    Variant out_;
};

void BM_OperateViaInvoke(benchmark::State& state) {
    OperateCall operate;
    for (auto _ : state)
        operate();
    state.counters["vs_core"] = TimeRatio(operate, ArithmeticCoreOnce);
    state.counters["vs_plain_add"] = TimeRatio(operate, PlainAddOnce);
}
BENCHMARK(BM_OperateViaInvoke);

void BM_OperateViaInvokeWithSink(benchmark::State& state) {
    auto add = NewAdd();
    int64_t events = 0;
    add->Advise(
        ComPtr<IDispatch>(MakeCom<EventSink>([&](DISPID, std::span<const Variant>) { ++events; })));
    add->SetInputX(Variant::R8(2.5));
    add->SetInputY(Variant::R8(4.0));
    Variant out;
    for (auto _ : state) {
        add->Invoke(4, DISPATCH_METHOD, {}, &out);
        benchmark::DoNotOptimize(out);
    }
    state.counters["events"] = static_cast<double>(events) / state.iterations();
}
BENCHMARK(BM_OperateViaInvokeWithSink);

// Three InvalidProperty puts, two input puts and the ControlIn put, with the
// full event sequence delivered to one counting sink.
void BM_WiredRun(benchmark::State& state) {
    auto add = NewAdd();
    int64_t events = 0;
    add->Advise(
        ComPtr<IDispatch>(MakeCom<EventSink>([&](DISPID, std::span<const Variant>) { ++events; })));
    Variant arg[1];
    auto put = [&](DISPID id, Variant v) {
        arg[0] = std::move(v);
        add->Invoke(id, DISPATCH_PROPERTYPUT, arg, nullptr);
    };
    double x = 0;
    auto run = [&] {
        put(0x10003, Variant::I4(1));
        put(0x10003, Variant::I4(2));
        put(0x10003, Variant::I4(0x10001));
        put(1, Variant::R8(x));
        put(2, Variant::R8(4.0));
        put(0x10001, Variant::Bool(true));
        x += 1;
    };
    for (auto _ : state)
        run();
    state.counters["events"] = static_cast<double>(events) / state.iterations();
    OperateCall operate;
    state.counters["vs_operate"] = TimeRatio(run, operate, 50000);
}
BENCHMARK(BM_WiredRun);

// A new OVAdd, reset as a new control, with both host folders registered.
void BM_CreateBlock(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("tallykit_bench_" + std::to_string(getpid()));
    setenv("TALLYKIT_REGISTRY", file.c_str(), 1);
    RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Plexa", "PATH", "/opt/plexa");
    RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane Inc.\\Plexa", "PATH", "/opt/plexa");
    for (auto _ : state) {
        auto add = NewAdd();
        benchmark::DoNotOptimize(add.Get());
    }
    unsetenv("TALLYKIT_REGISTRY");
    std::error_code error;
    fs::remove(file, error);
}
BENCHMARK(BM_CreateBlock)->Unit(benchmark::kMicrosecond);

}  // namespace
