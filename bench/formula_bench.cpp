// Evaluation speed of CMathFormula and of one compute of the Formula block against
// muparser on the same formulas and variables. BM_Evaluate/N, BM_Compute/N and
// BM_MuParser/N measure formula N; the first two also report their time per evaluation over
// muparser's, timed back to back in the same run: "vs_muparser" with muparser's optimiser
// on, "vs_unoptimised" with it off. The optimiser folds chains such as ((x+1)*2-3)/4 into
// other operations, which rounds differently and which the formula language does not
// allow; the unoptimised muparser computes what the formula says.
//
// BM_Random/N evaluates random formulas of depth 6 over x and y (fixed seed), where
// constant subtrees are common; BM_RandomMean reports the geometric mean of the ratios
// over all of them.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

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

// Input1 .. Input5; the random formulas read the first two as x and y.
constexpr std::array<double, 5> kInputs = {1.5, 0.75, -2.25, 3.125, 0.5};

std::string InputName(size_t index) {
    return "Input" + std::to_string(index + 1);
}

class Ours {
  public:
    explicit Ours(const char* formula) {
        for (size_t i = 0; i < kInputs.size(); ++i)
            m_formula.SetVariable(InputName(i), kInputs[i]);
        m_formula.SetVariable("x", kInputs[0]);
        m_formula.SetVariable("y", kInputs[1]);
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
    Reference(const char* formula, bool optimise) : m_inputs(kInputs) {
        for (size_t i = 0; i < m_inputs.size(); ++i)
            m_parser.DefineVar(InputName(i), &m_inputs[i]);
        m_parser.DefineVar("x", &m_inputs[0]);
        m_parser.DefineVar("y", &m_inputs[1]);
        m_parser.DefineConst("pi", 3.14159265359);  // the language's own constant
        m_parser.EnableOptimizer(optimise);
        m_parser.SetExpr(formula);
        m_parser.Eval();  // muparser compiles on its first evaluation
    }
    double Evaluate() { return m_parser.Eval(); }

  private:
    std::array<double, kInputs.size()> m_inputs;
    mu::Parser m_parser;
};

// A formula both engines read, `depth` operations deep, every operation in parentheses so
// that the two languages' precedences never matter. Leaves are x, y, pi and numbers.
std::string RandomFormula(std::mt19937& random, int depth) {
    const auto pick = [&random](uint32_t count) { return random() % count; };
    if (depth == 0) {
        switch (pick(4)) {
            case 0:
                return "x";
            case 1:
                return "y";
            case 2:
                return "pi";
        }
        char number[32];
        std::snprintf(number, sizeof number, "%.3f", pick(10'000'000) / 1000.0);
        return number;
    }
    const auto operand = [&] { return RandomFormula(random, depth - 1); };
    switch (pick(8)) {
        case 0:
        case 1: {
            static constexpr const char* kFunctions[] = {"sin", "cos",  "exp",  "ln",   "sqrt",
                                                         "abs", "tanh", "atan", "sinh", "tan"};
            return std::string(kFunctions[pick(std::size(kFunctions))]) + "(" + operand() + ")";
        }
        case 2:
            return "-(" + operand() + ")";
        case 3:
            return "(" + operand() + ")^" + std::to_string(1 + pick(3));
    }
    // The other operand is shallower, or a leaf, most of the time: formulas stay the size a
    // person writes.
    const int otherDepth = static_cast<int>(pick(static_cast<uint32_t>(depth)));
    std::string left = operand();
    std::string right = RandomFormula(random, otherDepth);
    if (pick(2) == 0) std::swap(left, right);
    static constexpr char kOperators[] = {'+', '-', '*', '/'};
    return "(" + left + kOperators[pick(std::size(kOperators))] + right + ")";
}

const std::vector<std::string>& RandomFormulas() {
    static const std::vector<std::string> formulas = [] {
        std::mt19937 random(6);
        std::vector<std::string> made;
        for (int i = 0; i < 10; ++i)
            made.push_back(RandomFormula(random, 6));
        return made;
    }();
    return formulas;
}

// The engine's time over muparser's on `formula`, with muparser's optimiser on or off.
// Many short rounds: on a crowded machine a short round is more often left alone.
template <class Engine>
double Ratio(Engine& ours, const char* formula, bool optimise, int rounds = 61) {
    Reference reference(formula, optimise);
    return TimeRatio([&] { benchmark::DoNotOptimize(ours.Evaluate()); },
                     [&] { benchmark::DoNotOptimize(reference.Evaluate()); }, 10000, rounds);
}

template <class Engine>
void Measure(benchmark::State& state, const char* formula) {
    Engine ours(formula);
    if (ours.Failed()) {
        state.SkipWithError("formula does not parse");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(ours.Evaluate());
    state.counters["vs_muparser"] = Ratio(ours, formula, true);
    state.counters["vs_unoptimised"] = Ratio(ours, formula, false);
    state.SetLabel(formula);
}

void BM_MuParser(benchmark::State& state) {
    const char* formula = kFormulas[state.range(0)];
    Reference reference(formula, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference.Evaluate());
    state.SetLabel(formula);
}

void BM_Evaluate(benchmark::State& state) {
    Measure<Ours>(state, kFormulas[state.range(0)]);
}

void BM_Compute(benchmark::State& state) {
    Measure<Block>(state, kFormulas[state.range(0)]);
}

void BM_Random(benchmark::State& state) {
    Measure<Ours>(state, RandomFormulas()[state.range(0)].c_str());
}

void BM_RandomMean(benchmark::State& state) {
    for (auto _ : state) {
        double logOptimised = 0;
        double logUnoptimised = 0;
        for (const std::string& formula : RandomFormulas()) {
            Ours ours(formula.c_str());
            logOptimised += std::log(Ratio(ours, formula.c_str(), true));
            logUnoptimised += std::log(Ratio(ours, formula.c_str(), false));
        }
        const double count = static_cast<double>(RandomFormulas().size());
        state.counters["vs_muparser"] = std::exp(logOptimised / count);
        state.counters["vs_unoptimised"] = std::exp(logUnoptimised / count);
    }
    state.SetLabel("geometric mean over the random formulas");
}

BENCHMARK(BM_Evaluate)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_Compute)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_MuParser)->DenseRange(0, kFormulas.size() - 1);
BENCHMARK(BM_Random)->DenseRange(0, 9);
BENCHMARK(BM_RandomMean)->Iterations(1);

}  // namespace
