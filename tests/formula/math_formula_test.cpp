#include "formula/math_formula.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Variables = std::vector<std::pair<std::string, double>>;

uint64_t Bits(double value) {
    return std::bit_cast<uint64_t>(value);
}

std::string Repeat(std::string_view piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

// "1+(1+(...(1+1)...))" with `operands` ones: every "+" waits for its right operand.
std::string RightNestedSum(size_t operands) {
    return Repeat("1+(", operands - 1) + "1" + std::string(operands - 1, ')');
}

TEST(FormulaErrors, EveryErrorHasItsCodeAndMessage) {
    // In FormulaError order.
    const std::pair<uint32_t, const char*> rows[] = {
        {0, "No errors."},
        {0x8D000002, "Unexpected character found in math formula."},
        {0x8D000003, "Closing parenthesis expected in math formula."},
        {0x8D000005, "Incomplete math formula."},
        {0x8D000007, "Exponent term expected in math formula."},
        {0x8D000008, "Multiplication term expected in math formula."},
        {0x8D000009, "Divisor term expected in math formula."},
        {0x8D00000A, "Modulus divisor term expected in math formula."},
        {0x8D00000B, "Addition term expected in math formula."},
        {0x8D00000C, "Subtraction term expected in math formula."},
        {0x8D00000F, "Parameter required for intrinsic function in math formula."},
        {0x8D000010, "Opening parenthesis expected in math formula."},
        {0x8D000011, "Enter a formula to evaluate."},
        {0x8007000E, "Out of memory."},
        {0x8D000014, "Math formula is nested too deeply."},
        {0x14, "Evaluation stack overflow occurred!!!"},
        {0x14, "Evaluation stack underflow occurred!!!"},
        {0x8D000012, "Divide by zero error occurred during formula evaluation."},
        {0x8D000013, "Reference to undefined variable name in math formula."},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(FormulaError::kCount));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const FormulaErrorInfo& info = FormulaErrorInfoOf(static_cast<FormulaError>(i));
        EXPECT_EQ(static_cast<uint32_t>(info.code), rows[i].first) << rows[i].second;
        EXPECT_STREQ(info.message, rows[i].second);
    }
}

// The outcome of parsing `text`, and the offset of its error.
void ExpectParse(const std::string& text, FormulaError error, int32_t start) {
    CMathFormula formula;
    formula.Parse(text);
    const FormulaErrorInfo& info = FormulaErrorInfoOf(error);
    const std::string shown = '"' + (text.size() > 40 ? text.substr(0, 40) + "..." : text) + '"';
    EXPECT_EQ(formula.GetErrorCode(), info.code) << shown;
    EXPECT_STREQ(formula.GetErrorMessage(), info.message) << shown;
    EXPECT_EQ(formula.GetErrorStart(), start) << shown;
    EXPECT_EQ(formula.GetErrorEnd(), error == FormulaError::kNone ? 0 : start + 1) << shown;
}

TEST(FormulaParse, ErrorsAndTheirPositions) {
    const struct {
        std::string text;
        FormulaError error;  // kNone: the text parses
        int32_t start;
    } cases[] = {
        {"", FormulaError::kEmptyFormula, 0},
        {" \t\r\n", FormulaError::kEmptyFormula, 4},
        {" \t1\r\n+ 2\n", FormulaError::kNone, 0},
        {"2 3", FormulaError::kUnexpectedCharacter, 2},
        {"1e3", FormulaError::kUnexpectedCharacter, 1},  // no exponent notation
        {"2)", FormulaError::kUnexpectedCharacter, 1},
        {"1\v", FormulaError::kUnexpectedCharacter, 1},      // vertical tab is no blank
        {std::string("1+2\0)", 5), FormulaError::kNone, 0},  // the text ends at a NUL
        // The missing operand's factor reports first, so the operators' own errors never win.
        {"2+*3", FormulaError::kIncomplete, 2},
        {"2-  ", FormulaError::kIncomplete, 4},
        {"2/ )", FormulaError::kIncomplete, 3},
        {"a mod", FormulaError::kIncomplete, 5},
        {"*3", FormulaError::kIncomplete, 0},
        {"a modx", FormulaError::kUnexpectedCharacter, 2},
        {"7MOD3", FormulaError::kNone, 0},
        {"+-+", FormulaError::kIncomplete, 3},
        {"2^^3", FormulaError::kIncomplete, 2},
        {"^2", FormulaError::kIncomplete, 0},
        {"2^-+-2", FormulaError::kNone, 0},
        // Intrinsic calls and constants.
        {"sin()", FormulaError::kIncomplete, 4},
        {"sin(1 2)", FormulaError::kClosingParenthesisExpected, 6},
        {"sin 1", FormulaError::kOpeningParenthesisExpected, 4},
        {"sin2", FormulaError::kOpeningParenthesisExpected, 3},  // the word read is "sin"
        {"SIN (1)", FormulaError::kNone, 0},
        {"sinx", FormulaError::kNone, 0},  // a variable
        {"e2", FormulaError::kUnexpectedCharacter, 1},
        {"pie", FormulaError::kNone, 0},  // a variable
        // Primaries and numbers.
        {"((1)", FormulaError::kClosingParenthesisExpected, 4},
        {"(", FormulaError::kIncomplete, 1},
        {")", FormulaError::kIncomplete, 0},
        {"#", FormulaError::kIncomplete, 0},
        {"1+\xC3\xA9", FormulaError::kIncomplete, 2},  // UTF-8 letters are no letters
        {"x_1 + _a + Input1", FormulaError::kNone, 0},
        {"1.2.3", FormulaError::kUnexpectedCharacter, 3},
        {"..", FormulaError::kNone, 0},
    };
    for (const auto& c : cases)
        ExpectParse(c.text, c.error, c.start);
}

TEST(FormulaParse, NestingIsBounded) {
    const size_t limit = CMathFormula::kMaxNesting;
    const int32_t past = static_cast<int32_t>(limit) + 1;
    const FormulaError deep = FormulaError::kNestedTooDeeply;
    ExpectParse(Repeat("(", limit) + "1" + std::string(limit, ')'), FormulaError::kNone, 0);
    ExpectParse(Repeat("(", limit + 1) + "1" + std::string(limit + 1, ')'), deep, past);
    ExpectParse(Repeat("-", limit + 1) + "1", deep, past);
    ExpectParse(Repeat("2^", limit + 1) + "2", deep, 2 * past);
    ExpectParse(Repeat("sin(", limit + 1) + "1", deep, 4 * past);
    ExpectParse(Repeat("-(", limit), deep, past);
    ExpectParse(Repeat("(", 1'000'000), deep, past);
    ExpectParse(Repeat("+", 1'000'000) + "1", deep, past);
    // Long but flat formulas have no limit.
    ExpectParse("1" + Repeat("+1", 200'000), FormulaError::kNone, 0);
    ExpectParse("1" + Repeat("*(1)", 200'000), FormulaError::kNone, 0);
}

TEST(FormulaParse, ParseReplacesEverything) {
    CMathFormula formula;
    EXPECT_EQ(formula.GetErrorCode(), 0);
    EXPECT_EQ(Bits(formula.Evaluate()), kFormulaNotANumberBits);  // nothing parsed yet

    formula.Parse("(1+2");
    EXPECT_EQ(Bits(formula.Evaluate()), kFormulaNotANumberBits);
    EXPECT_EQ(formula.GetErrorCode(), FormulaCode(0x8D000003));  // evaluation changed nothing
    EXPECT_EQ(formula.GetErrorStart(), 4);

    formula.Parse("1/0");
    formula.Evaluate();
    EXPECT_EQ(formula.GetErrorCode(), FormulaCode(0x8D000012));
    formula.Parse("1+2");  // resets the evaluation error too
    EXPECT_EQ(formula.GetErrorCode(), 0);
    EXPECT_STREQ(formula.GetErrorMessage(), "No errors.");
    EXPECT_EQ(formula.Evaluate(), 3);
}

// ---------------------------------------------------------------------------------------
// Evaluation: value (bit for bit) and error

struct EvalCase {
    std::string text;
    Variables variables;
    double value;
    FormulaError error = FormulaError::kNone;
};

const double kNaN = std::bit_cast<double>(kFormulaNotANumberBits);
const double kInf = std::bit_cast<double>(kFormulaInfinityBits);

void ExpectEvaluate(const EvalCase& c) {
    CMathFormula formula;
    for (const auto& [name, value] : c.variables)
        formula.SetVariable(name, value);
    formula.Parse(c.text);
    ASSERT_EQ(formula.GetErrorCode(), 0) << c.text << ": " << formula.GetErrorMessage();
    const double value = formula.Evaluate();
    const FormulaErrorInfo& info = FormulaErrorInfoOf(c.error);
    EXPECT_EQ(Bits(value), Bits(c.value)) << c.text << " = " << value << ", not " << c.value;
    EXPECT_EQ(formula.GetErrorCode(), info.code) << c.text;
    EXPECT_STREQ(formula.GetErrorMessage(), info.message) << c.text;
    EXPECT_EQ(formula.GetErrorStart(), 0) << c.text;
}

TEST(FormulaEvaluate, ValuesAndErrors) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const EvalCase cases[] = {
        // Operators and their precedence.
        {"2^3^2", {}, 512},
        {"-2^2", {}, -4},
        {"-2^-2", {}, -0.25},
        {"10/4*2", {}, 5},
        {"1-2-3", {}, -4},
        {"2+3*4", {}, 14},
        {"2*3^2", {}, 18},
        {"-7%3", {}, -1},  // the sign binds before "%"
        {"7 mod 3 + 7%3 + 7MOD3", {}, 3},
        {"7.5%2", {}, 1.5},
        {"2 mod mod", {{"mod", 3}}, 2},  // the second "mod" is a variable name
        {"+-+3", {}, -3},
        {"-0", {}, -0.0},
        {"-(0*-1)", {}, 0.0},
        {"a-b", {{"b", 1}, {"a", 10}}, 9},
        // Numbers and constants.
        {".", {}, 0},
        {"5.", {}, 5},
        {".5.5", {}, 0.5},  // one token, read up to its second point
        {"0.1", {}, 0.1},
        {"123456789012345678901234567890", {}, 123456789012345678901234567890.0},
        {std::string(400, '9'), {}, kInf},
        {"0." + std::string(400, '0') + "1", {}, 0.0},
        {"e", {}, 2.718281828459},
        {"Pi+pi", {}, 2 * 3.14159265359},
        {"pi*2", {{"pI", 3}}, 6},
        {"exp(1)", {}, std::exp(1.0)},  // not the short constant
        // Intrinsic functions, each name at least once.
        {"abs(-2.5)", {}, 2.5},
        {"acos(0.5)+ARCCOS(0.5)", {}, std::acos(0.5) + std::acos(0.5)},
        {"asin(0.5)+arcsin(0.5)", {}, std::asin(0.5) + std::asin(0.5)},
        {"atan(2)+arctan(2)", {}, std::atan(2.0) + std::atan(2.0)},
        {"cos(1)+cosh(1)+cot(1)", {}, std::cos(1.0) + std::cosh(1.0) + 1 / std::tan(1.0)},
        {"exp(2)+ln(2)+log(2)", {}, std::exp(2.0) + std::log(2.0) + std::log10(2.0)},
        {"sin(1)+sinh(1)+tan(1)+tanh(1)",
         {},
         std::sin(1.0) + std::sinh(1.0) + std::tan(1.0) + std::tanh(1.0)},
        {"SQRT(4)", {}, 2},
        // Domain errors and overflows are silent, and give the engine's one NaN.
        {"sqrt(-1)", {}, kNaN},
        {"log(-1)", {}, kNaN},
        {"acos(2)", {}, kNaN},
        {"asin(-2)", {}, kNaN},
        {"sin(x)", {{"x", kInf}}, kNaN},
        {"(-8)^(1/3)", {}, kNaN},
        {"x%2", {{"x", kInf}}, kNaN},
        {"ln(0)", {}, -kInf},
        {"exp(1000)", {}, kInf},
        {"0^-1", {}, kInf},
        // Errors and their results.
        {"-1/0", {}, kInf, FormulaError::kDivideByZero},
        {"0/0", {}, kInf, FormulaError::kDivideByZero},
        {"1/x", {{"x", nan}}, kInf, FormulaError::kDivideByZero},  // NaN divides like zero
        {"1/-0", {}, kInf, FormulaError::kDivideByZero},
        {"5 mod 0", {}, kInf, FormulaError::kDivideByZero},
        {"cot(0)", {}, kInf, FormulaError::kDivideByZero},
        {"x+1", {}, kNaN, FormulaError::kUndefinedVariable},
        {"-x", {}, -kNaN, FormulaError::kUndefinedVariable},  // negation flips a NaN's sign
        {"x^0", {}, 1, FormulaError::kUndefinedVariable},
        {"1/0+y", {}, kNaN, FormulaError::kDivideByZero},  // the first error wins
        {"y+1/0", {}, kNaN, FormulaError::kUndefinedVariable},
        {"x", {{"x", nan}}, nan},  // a variable's NaN passes through as it is
        // Two NaNs combine to the left one's.
        {"sqrt(x)*-sqrt(x)", {{"x", -1}}, kNaN},
        {"-sqrt(x)+sqrt(x)", {{"x", -1}}, -kNaN},
        {"(-sqrt(x))^sqrt(x)", {{"x", -1}}, -kNaN},
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

TEST(FormulaEvaluate, StackIsBoundedAt256PendingValues) {
    const EvalCase cases[] = {
        {RightNestedSum(256), {}, 256},
        // The 257th value is dropped; the last addition then underflows and reads the bottom
        // slot (256 again): the survivor is 512, reported by the first error, the overflow.
        {RightNestedSum(257), {}, 512, FormulaError::kStackOverflow},
        {Repeat("1^", 256) + "1", {}, 1, FormulaError::kStackOverflow},
        {Repeat("1^", 255) + "1", {}, 1},
        {"y+(" + Repeat("x+(", 299) + "x" + std::string(300, ')'),
         {{"x", 1}},
         kNaN,
         FormulaError::kUndefinedVariable},
        {"1" + Repeat("+1", 99'999), {}, 100'000},
        {"1/0+" + RightNestedSum(256), {}, kInf, FormulaError::kDivideByZero},
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

// ---------------------------------------------------------------------------------------
// Variables and repeated evaluation

TEST(FormulaVariables, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    CMathFormula formula;
    formula.SetVariable("Speed", 1);
    formula.SetVariable("SPEED", 2);
    const CFormulaVariable* speed = formula.FindVariable("speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->name, "Speed");
    EXPECT_EQ(speed->value, 2);
    // Letter case folds in ASCII only; other bytes must match exactly.
    formula.SetVariable("\xC3\xA9t\xC3\xA9", 3);
    EXPECT_EQ(formula.FindVariable("\xC3\xA9T\xC3\xA9")->value, 3);
    EXPECT_EQ(formula.FindVariable("\xC3\x89T\xC3\x89"), nullptr);
}

TEST(FormulaVariables, EvaluationFollowsEveryChangeOfTheTable) {
    CMathFormula formula;
    formula.Parse("a - b * 10");
    EXPECT_EQ(Bits(formula.Evaluate()), kFormulaNotANumberBits);
    EXPECT_EQ(formula.GetErrorCode(), FormulaCode(0x8D000013));

    formula.SetVariable("a", 5);
    formula.SetVariable("b", 1);
    EXPECT_EQ(formula.Evaluate(), -5);
    EXPECT_EQ(formula.GetErrorCode(), 0);  // the earlier failure is forgotten
    EXPECT_STREQ(formula.GetErrorMessage(), "No errors.");

    formula.SetVariable("B", 2);  // a new value only
    EXPECT_EQ(formula.Evaluate(), -15);

    // The same names in another order, and with other variables before them.
    formula.ClearVariables();
    formula.SetVariable("x", 100);
    formula.SetVariable("b", 3);
    formula.SetVariable("a", 40);
    EXPECT_EQ(formula.Evaluate(), 10);

    formula.ClearVariables();
    formula.SetVariable("a", 1);
    EXPECT_EQ(Bits(formula.Evaluate()), kFormulaNotANumberBits);
    EXPECT_EQ(formula.GetErrorCode(), FormulaCode(0x8D000013));

    // Variables may come before the parse and survive it.
    formula.SetVariable("b", 0.5);
    formula.Parse("a + b");
    EXPECT_EQ(formula.Evaluate(), 1.5);
    // A variable named like a constant takes its place, even when set after the parse.
    formula.Parse("a + 2*pi");
    formula.SetVariable("PI", 3);
    EXPECT_EQ(formula.Evaluate(), 7);
}

// ---------------------------------------------------------------------------------------
// Random formulas against an oracle that builds each text together with its value, using
// the same double operations in the same order.

const Variables kRandomVariables = {{"u", 0.3}, {"v", -1.75}, {"w", 12.0}};

// The library's pow, called: compilers turn pow(x, 2.0) into x*x, which differs from the
// library's result in the last place for some x.
double (*volatile const kLibraryPow)(double, double) = [](double b, double e) {
    return std::pow(b, e);
};

// A formula of at most `depth` levels of operations, with its value.
std::pair<std::string, double> RandomFormula(std::mt19937& random, int depth) {
    auto pick = [&random](size_t count) { return random() % count; };
    const size_t shape = depth == 0 ? pick(3) : pick(12);
    if (shape == 0) {
        const double value = static_cast<double>(pick(1000)) / 8.0;
        return {std::to_string(value), value};  // exact for eighths
    }
    if (shape <= 2) return kRandomVariables[pick(kRandomVariables.size())];
    const auto [x, a] = RandomFormula(random, depth - 1);
    switch (shape) {
        case 3:
            return {"-(" + x + ")", -a};
        case 4:
            return {"sin(" + x + ")", std::sin(a)};
        case 5:
            return {"abs(" + x + ")^2", kLibraryPow(std::fabs(a), 2.0)};
        case 6: {
            // Powers of two, which divide by their reciprocal, and others.
            const double divisors[] = {0.125, 0.5, 4, 3, 10, 0.375};
            const double d = divisors[pick(std::size(divisors))];
            return {"(" + x + ")/" + std::to_string(d), a / d};
        }
    }
    const auto [y, b] = RandomFormula(random, depth - 1);
    switch (pick(4)) {
        case 0:
            return {"(" + x + ")+(" + y + ")", a + b};
        case 1:
            return {"(" + x + ")-(" + y + ")", a - b};
        case 2:
            return {"(" + x + ")*(" + y + ")", a * b};
    }
    // The divisor kept away from zero.
    return {"(" + x + ")/(1+(" + y + ")*(" + y + "))", a / (1 + b * b)};
}

// Formulas rich in NaNs of both signs, infinities, zero divisors and constant subtrees.
std::string RandomAwkwardFormula(std::mt19937& random, int depth) {
    auto pick = [&random](size_t count) { return random() % count; };
    if (depth == 0 || pick(4) == 0) {
        const char* leaves[] = {"u", "v", "w", "pi", "0", "2.5", "(-1)"};
        return leaves[pick(std::size(leaves))];
    }
    const std::string x = "(" + RandomAwkwardFormula(random, depth - 1) + ")";
    switch (pick(6)) {
        case 0: {
            const char* functions[] = {"sqrt", "ln", "asin", "cot", "exp", "tan", "abs"};
            return functions[pick(std::size(functions))] + x;
        }
        case 1:
            return "-" + x;
    }
    const char operators[] = {'+', '-', '*', '/', '%', '^'};
    return x + operators[pick(std::size(operators))] + "(" +
           RandomAwkwardFormula(random, depth - 1) + ")";
}

// Evaluates `text` over the random variables, then again with an undefined name added, which
// forces the stack-checked evaluation: y^0 is 1 whatever its NaN, and x+1 keeps the NaN of x,
// so both forms must agree bit for bit. Returns the first value.
double EvaluateInBothForms(const std::string& text) {
    CMathFormula formula;
    for (const auto& [name, value] : kRandomVariables)
        formula.SetVariable(name, value);
    formula.Parse(text);
    EXPECT_EQ(formula.GetErrorCode(), 0) << text;
    const double value = formula.Evaluate();
    const int32_t code = formula.GetErrorCode();
    formula.Parse("(" + text + ")+y^0");
    EXPECT_EQ(Bits(formula.Evaluate()), Bits(value + 1)) << text;
    EXPECT_EQ(formula.GetErrorCode(), code != 0 ? code : FormulaCode(0x8D000013)) << text;
    return value;
}

TEST(FormulaEvaluate, RandomFormulasMatchTheirOracleInBothForms) {
    std::mt19937 random(20240611), awkward(7);
    for (int i = 0; i < 3000; ++i) {
        const auto [text, value] = RandomFormula(random, 1 + i % 7);
        EXPECT_EQ(Bits(EvaluateInBothForms(text)), Bits(value)) << text;
        EvaluateInBothForms(RandomAwkwardFormula(awkward, 1 + i % 6));
    }
}

}  // namespace
