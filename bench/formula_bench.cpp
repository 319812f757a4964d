// Evaluation speed of CMathFormula and of one compute of the Formula block against
// muparser on the same formulas and variables. BM_Evaluate/N, BM_Compute/N and
// BM_MuParser/N measure formula N; the first two also report "vs_muparser", their time per
// evaluation over muparser's, both timed back to back in the same run.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <array>
#include <string>

#include "bench/time_ratio.h"
#include "blocks/formula/formula_block.h"
#include "formula/math_formula.h"

namespace {

constexpr std::array<const char*, 6> kFormulas = {
    "Input1 * sin(Input2) ^ 2 + 1",
    "Input1+Input2",
    "(Input1+Input2)*(Input3-Input4)/(Input5+1)",
    "sqrt(Input1*Input1+Input2*Input2)",
    "exp(-Input1)*cos(6.2831853*Input2)",
    "((((Input1+1)*2-3)/4+5)*6-7)/8",
};

// Input1 .. Input5.
constexpr std::array<double, 5> kInputs = {1.5, 0.75, -2.25, 3.125, 0.5};

std::string InputName(size_t index) {
    return "Input" + std::to_string(index + 1);
}

class Ours {
  public:
    explicit Ours(const char* formula) {
        for (size_t i = 0; i < kInputs.size(); ++i)
            m_formula.SetVariable(InputName(i), kInputs[i]);
        m_formula.Parse(formula);
    }
    double Evaluate() { return m_formula.Evaluate(); }
    bool Failed() const { return m_formula.GetErrorCode() != 0; }

  private:
    CMathFormula m_formula;
};

// The Formula block as its trigger protocol runs it: bind the eight inputs by name,
// evaluate, announce the result (to no sinks).
class Block {
  public:
    explicit Block(const char* formula) : m_block(MakeCom<Exposed>()) {
        m_block->InitNew();
        m_block->SetInputName<1>("y");  // a custom name beside the defaults
        m_block->SetFormula(formula);
        SetInputs(std::make_index_sequence<kInputs.size()>());
    }
    double Evaluate() {
        m_block->Compute();
        return m_block->GetOutput1();
    }
    bool Failed() {
        m_block->Compute();
        return m_block->GetStatusCode() != 0;
    }

  private:
    struct Exposed : CFormulaCtrl {
        using CFormulaCtrl::Compute;
    };
    template <size_t... N>
    void SetInputs(std::index_sequence<N...>) {
        (m_block->SetInput<N>(kInputs[N]), ...);
    }
    ComPtr<Exposed> m_block;
};

class Reference {
  public:
    explicit Reference(const char* formula) : m_inputs(kInputs) {
        for (size_t i = 0; i < m_inputs.size(); ++i)
            m_parser.DefineVar(InputName(i), &m_inputs[i]);
        m_parser.SetExpr(formula);
        m_parser.Eval();  // muparser compiles on its first evaluation
    }
    double Evaluate() { return m_parser.Eval(); }

  private:
    std::array<double, kInputs.size()> m_inputs;
    mu::Parser m_parser;
};

template <class Engine>
void BM_AgainstReference(benchmark::State& state) {
    const char* formula = kFormulas[state.range(0)];
    Engine ours(formula);
    if (ours.Failed()) {
        state.SkipWithError("formula does not parse");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ours.Evaluate());

    Reference reference(formula);
    state.counters["vs_muparser"] =
        TimeRatio([&] { benchmark::DoNotOptimize(ours.Evaluate()); },
                  [&] { benchmark::DoNotOptimize(reference.Evaluate()); });
    state.SetLabel(formula);
}

void BM_MuParser(benchmark::State& state) {
    const char* formula = kFormulas[state.range(0)];
    Reference reference(formula);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference.Evaluate());
    state.SetLabel(formula);
}

void BM_Evaluate(benchmark::State& state) {
    BM_AgainstReference<Ours>(state);
}

void BM_Compute(benchmark::State& state) {
    BM_AgainstReference<Block>(state);
}

BENCHMARK(BM_Evaluate)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_Compute)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_MuParser)->DenseRange(0, kFormulas.size() - 1);

}  // namespace
