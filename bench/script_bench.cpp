// A diagram of five connected arithmetic blocks, add -> mul -> sub -> div ->
// add2, each value delivered on StatusReady and each block triggered by its
// upstream ControlOut, run 100,000 times: by a script (`connect` wires and a
// `for` loop, through the script host) against the same diagram driven by
// hand-written dispatch calls (Invoke by DISPID, EventSink handlers doing the
// same invalidate / deliver / trigger steps) in the same run.
// BM_ScriptDiagram reports "vs_direct", the ratio of the two times, timed in
// alternating rounds.
#include <benchmark/benchmark.h>

#include <array>
#include <sstream>

#include "bench/time_ratio.h"
#include "framework/base_math_ctrl.h"
#include "host/script_host.h"
#include "module/class_table.h"
#include "platform/events.h"

namespace {

constexpr int kRuns = 100000;
constexpr std::array<const char*, 5> kClasses = {"OVAdd", "OVMultiply", "OVSubtract", "OVDivide",
                                                 "OVAdd"};

constexpr const char* kDiagramScript = R"(
new b0 OVAdd
new b1 OVMultiply
new b2 OVSubtract
new b3 OVDivide
new b4 OVAdd
set b0.InputY = 1
set b1.InputY = 2
set b2.InputY = 3
set b3.InputY = 4
set b4.InputY = 5
connect b0.Value -> b1.InputX
connect b1.Value -> b2.InputX
connect b2.Value -> b3.InputX
connect b3.Value -> b4.InputX
)";
constexpr const char* kRunLine = "for i in 1..100000 do set b0.InputX = $i";
// ((100000 + 1) * 2 - 3) / 4 + 5
constexpr const char* kCheckLine = "expect b4.Value == r8 50004.75";

class ScriptDiagram {
  public:
    ScriptDiagram() : host_(out_, err_) { host_.RunScript(kDiagramScript, "bench"); }
    void Run() { host_.RunLine(kRunLine); }
    bool Check() {
        host_.RunLine(kCheckLine);
        return host_.ExitStatus() == 0;
    }

  private:
    std::ostringstream out_, err_;
    ScriptHost host_;
};

class DirectDiagram {
  public:
    DirectDiagram() {
        for (size_t i = 0; i < kClasses.size(); ++i) {
            blocks_[i] = FindClass(kClasses[i])->create();
            blocks_[i]->InitNew();
        }
        blocks_[0]->GetIDsOfNames("InputX", &inputX_);
        blocks_[0]->GetIDsOfNames("InputY", &inputY_);
        blocks_[0]->GetIDsOfNames("Value", &value_);
        for (size_t i = 0; i < blocks_.size(); ++i) {
            Put(*blocks_[i], inputY_, Variant::I4(static_cast<int32_t>(i) + 1));
            // The script host listens to every block it created; so does this.
            blocks_[i]->Advise(ComPtr<IDispatch>(MakeCom<EventSink>(
                [this, i](DISPID event, std::span<const Variant>) { OnEvent(i, event); })));
        }
        Put(*blocks_[0], DISPID_PLEXAINFO, Variant::I4(6), Variant::Bool(true));
        for (size_t i = 1; i < blocks_.size(); ++i)
            Invalidate(i);
    }
    void Run() {
        for (int i = 1; i <= kRuns; ++i)
            Put(*blocks_[0], inputX_, Variant::I4(i));
    }
    bool Check() {
        Variant value;
        blocks_.back()->Invoke(value_, DISPATCH_PROPERTYGET, {}, &value);
        return value == Variant::R8(50004.75);
    }

  private:
    template <class... Values>
    static void Put(COleControl& block, DISPID dispid, Values... values) {
        Variant args[] = {std::move(values)...};
        block.Invoke(dispid, DISPATCH_PROPERTYPUT, args, nullptr);
    }
    void Invalidate(size_t i) {
        Put(*blocks_[i], DISPID_INVALIDPROPERTY, Variant::I4(inputX_));
        Put(*blocks_[i], DISPID_INVALIDPROPERTY, Variant::I4(DISPID_CONTROLIN));
    }
    // Block i's value goes on into block i + 1, which its ControlOut triggers;
    // after its run block i waits for a fresh input again.
    void OnEvent(size_t i, DISPID event) {
        const bool last = i + 1 == blocks_.size();
        if (event == EVENTID_STATUSREADY && !last) {
            Variant value;
            blocks_[i]->Invoke(value_, DISPATCH_PROPERTYGET, {}, &value);
            Put(*blocks_[i + 1], inputX_, std::move(value));
        } else if (event == EVENTID_CONTROLOUT) {
            if (!last) Put(*blocks_[i + 1], DISPID_CONTROLIN, Variant::Bool(true));
            if (i > 0) Invalidate(i);
        }
    }

    std::array<ComPtr<COleControl>, kClasses.size()> blocks_;
    DISPID inputX_ = DISPID_UNKNOWN, inputY_ = DISPID_UNKNOWN, value_ = DISPID_UNKNOWN;
};

template <class Diagram>
void RunDiagram(benchmark::State& state, Diagram& diagram) {
    for (auto _ : state)
        diagram.Run();
    if (!diagram.Check()) state.SkipWithError("the diagram computed a wrong value");
    state.SetItemsProcessed(state.iterations() * kRuns);
}

void BM_DirectDiagram(benchmark::State& state) {
    DirectDiagram direct;
    RunDiagram(state, direct);
}
BENCHMARK(BM_DirectDiagram)->Unit(benchmark::kMillisecond);

void BM_ScriptDiagram(benchmark::State& state) {
    ScriptDiagram script;
    RunDiagram(state, script);
    DirectDiagram direct;
    state.counters["vs_direct"] = TimeRatio([&] { script.Run(); }, [&] { direct.Run(); }, 1, 5);
    if (!direct.Check() || !script.Check()) state.SkipWithError("a diagram computed a wrong value");
}
BENCHMARK(BM_ScriptDiagram)->Unit(benchmark::kMillisecond);

}  // namespace
