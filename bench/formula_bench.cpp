// Evaluation speed of CMathFormula against muparser on the same formulas and variables.
// BM_Evaluate/N and BM_MuParser/N measure formula N; BM_Evaluate/N also reports
// "vs_muparser", its time per evaluation over muparser's, both timed in the same run.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <array>
#include <chrono>
#include <string>

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
double SecondsFor(Engine& engine, benchmark::IterationCount count) {
    const auto start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount i = 0; i < count; ++i)
        benchmark::DoNotOptimize(engine.Evaluate());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_Evaluate(benchmark::State& state) {
    const char* formula = kFormulas[state.range(0)];
    Ours ours(formula);
    if (ours.Failed()) {
        state.SkipWithError("formula does not parse");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ours.Evaluate());

    // The ratio comes from back-to-back timed loops of equal length.
    Reference reference(formula);
    const benchmark::IterationCount count = state.iterations();
    const double oursSeconds = SecondsFor(ours, count);
    const double referenceSeconds = SecondsFor(reference, count);
    state.counters["vs_muparser"] = oursSeconds / referenceSeconds;
    state.SetLabel(formula);
}

void BM_MuParser(benchmark::State& state) {
    const char* formula = kFormulas[state.range(0)];
    Reference reference(formula);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference.Evaluate());
    state.SetLabel(formula);
}

BENCHMARK(BM_Evaluate)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_MuParser)->DenseRange(0, kFormulas.size() - 1);

}  // namespace
