// A wired chain of three arithmetic blocks, add -> mul -> sub, each in wired
// mode and each value carried by a StatusReady handler, run 100,000 times:
// by a script (`repeat` over `on` handlers, through the script host) against
// the same chain driven straight through the dispatch interface (Invoke by
// DISPID, EventSink handlers) in the same run. BM_ScriptChain reports
// "vs_direct", the ratio of the two times, timed in alternating rounds.
#include <benchmark/benchmark.h>

#include <sstream>

#include "bench/time_ratio.h"
#include "host/script_host.h"
#include "module/class_table.h"
#include "platform/events.h"

namespace {

constexpr int kRuns = 100000;

constexpr const char* kChainScript = R"(
new add OVAdd
new mul OVMultiply
new sub OVSubtract
set add.InputY = 1
set mul.InputY = 2
set sub.InputY = 3
invalidate add.InputX
invalidate mul.InputX
invalidate sub.InputX
on add.StatusReady do set mul.InputX = add.Value
on mul.StatusReady do set sub.InputX = mul.Value
)";
constexpr const char* kRunLine = "repeat 100000 do set add.InputX = 5";
constexpr const char* kCheckLine = "expect sub.Value == r8 9";  // (5 + 1) * 2 - 3

class ScriptChain {
  public:
    ScriptChain() : host_(out_, err_) { host_.RunScript(kChainScript, "bench"); }
    void Run() { host_.RunLine(kRunLine); }
    bool Check() {
        host_.RunLine(kCheckLine);
        return host_.ExitStatus() == 0;
    }

  private:
    std::ostringstream out_, err_;
    ScriptHost host_;
};

class DirectChain {
  public:
    DirectChain() {
        add_ = Create("OVAdd");
        mul_ = Create("OVMultiply");
        sub_ = Create("OVSubtract");
        add_->GetIDsOfNames("InputX", &inputX_);
        add_->GetIDsOfNames("InputY", &inputY_);
        add_->GetIDsOfNames("Value", &value_);
        add_->GetIDsOfNames("InvalidProperty", &invalid_);
        statusReady_ = add_->GetEventInfo()->Find("StatusReady")->dispid;
        Put(*add_, inputY_, Variant::I4(1));
        Put(*mul_, inputY_, Variant::I4(2));
        Put(*sub_, inputY_, Variant::I4(3));
        for (COleControl* block : {add_.Get(), mul_.Get(), sub_.Get()}) {
            Put(*block, invalid_, Variant::I4(inputX_));
        }
        Wire(*add_, *mul_);
        Wire(*mul_, *sub_);
        // The script host listens to every object it created; so does this.
        sub_->Advise(
            ComPtr<IDispatch>(MakeCom<EventSink>([](DISPID, std::span<const Variant>) {})));
    }
    void Run() {
        for (int i = 0; i < kRuns; ++i)
            Put(*add_, inputX_, Variant::I4(5));
    }
    bool Check() {
        Variant value;
        sub_->Invoke(value_, DISPATCH_PROPERTYGET, {}, &value);
        return value == Variant::R8(9);
    }

  private:
    static ComPtr<COleControl> Create(std::string_view name) {
        ComPtr<COleControl> block = FindClass(name)->create();
        block->InitNew();
        return block;
    }
    static void Put(COleControl& block, DISPID dispid, Variant value) {
        Variant args[] = {std::move(value)};
        block.Invoke(dispid, DISPATCH_PROPERTYPUT, args, nullptr);
    }
    // from's StatusReady carries from.Value into to.InputX.
    void Wire(COleControl& from, COleControl& to) {
        from.Advise(ComPtr<IDispatch>(
            MakeCom<EventSink>([this, &from, &to](DISPID event, std::span<const Variant>) {
                if (event != statusReady_) return;
                Variant value;
                from.Invoke(value_, DISPATCH_PROPERTYGET, {}, &value);
                Put(to, inputX_, std::move(value));
            })));
    }

    ComPtr<COleControl> add_, mul_, sub_;
    DISPID inputX_ = DISPID_UNKNOWN, inputY_ = DISPID_UNKNOWN, value_ = DISPID_UNKNOWN;
    DISPID invalid_ = DISPID_UNKNOWN, statusReady_ = DISPID_UNKNOWN;
};

template <class Chain>
void RunChain(benchmark::State& state, Chain& chain) {
    for (auto _ : state)
        chain.Run();
    if (!chain.Check()) state.SkipWithError("the chain computed a wrong value");
    state.SetItemsProcessed(state.iterations() * kRuns);
}

void BM_DirectChain(benchmark::State& state) {
    DirectChain direct;
    RunChain(state, direct);
}
BENCHMARK(BM_DirectChain)->Unit(benchmark::kMillisecond);

void BM_ScriptChain(benchmark::State& state) {
    ScriptChain script;
    RunChain(state, script);
    DirectChain direct;
    state.counters["vs_direct"] = TimeRatio([&] { script.Run(); }, [&] { direct.Run(); }, 1, 5);
    if (!direct.Check() || !script.Check()) state.SkipWithError("a chain computed a wrong value");
}
BENCHMARK(BM_ScriptChain)->Unit(benchmark::kMillisecond);

}  // namespace
