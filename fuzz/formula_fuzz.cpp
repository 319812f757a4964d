// Parses and evaluates arbitrary bytes as a formula, and checks what must hold for any text:
// parse error offsets inside the text and repeatable results. The two evaluation forms are
// compared on random formulas by the engine's own tests.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formula/math_formula.h"
#include "fuzz/fuzz_input.h"

namespace {

void Bind(CMathFormula& formula) {
    formula.SetVariable("Input1", 1.5);
    formula.SetVariable("Input2", -0.25);
    formula.SetVariable("x", 3.0);
    formula.SetVariable("E", 0.0);  // shadows the constant e
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CMathFormula formula;
    Bind(formula);
    formula.Parse(text);
    const int32_t code = formula.GetErrorCode();
    if (code != 0) {
        Require(formula.GetErrorStart() >= 0 &&
                static_cast<size_t>(formula.GetErrorStart()) <= size);
        Require(formula.GetErrorEnd() == formula.GetErrorStart() + 1);
        Require(std::bit_cast<uint64_t>(formula.Evaluate()) == kFormulaNotANumberBits);
        Require(formula.GetErrorCode() == code);
        return 0;
    }
    const uint64_t first = std::bit_cast<uint64_t>(formula.Evaluate());
    const int32_t evaluationCode = formula.GetErrorCode();
    Require(std::bit_cast<uint64_t>(formula.Evaluate()) == first);
    Require(formula.GetErrorCode() == evaluationCode);
    return 0;
}
