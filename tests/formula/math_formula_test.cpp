#include "formula/math_formula.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formula/formula_nodes.h"

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

// ---------------------------------------------------------------------------------------
// Error table

TEST(FormulaErrors, EveryErrorHasItsCodeAndMessage) {
    struct Row {
        FormulaError error;
        uint32_t code;
        const char* message;
    };
    const Row rows[] = {
        {FormulaError::kNone, 0, "No errors."},
        {FormulaError::kUnexpectedCharacter, 0x8D000002,
         "Unexpected character found in math formula."},
        {FormulaError::kClosingParenthesisExpected, 0x8D000003,
         "Closing parenthesis expected in math formula."},
        {FormulaError::kIncomplete, 0x8D000005, "Incomplete math formula."},
        {FormulaError::kExponentExpected, 0x8D000007, "Exponent term expected in math formula."},
        {FormulaError::kMultiplicationTermExpected, 0x8D000008,
         "Multiplication term expected in math formula."},
        {FormulaError::kDivisorExpected, 0x8D000009, "Divisor term expected in math formula."},
        {FormulaError::kModulusDivisorExpected, 0x8D00000A,
         "Modulus divisor term expected in math formula."},
        {FormulaError::kAdditionTermExpected, 0x8D00000B,
         "Addition term expected in math formula."},
        {FormulaError::kSubtractionTermExpected, 0x8D00000C,
         "Subtraction term expected in math formula."},
        {FormulaError::kParameterRequired, 0x8D00000F,
         "Parameter required for intrinsic function in math formula."},
        {FormulaError::kOpeningParenthesisExpected, 0x8D000010,
         "Opening parenthesis expected in math formula."},
        {FormulaError::kEmptyFormula, 0x8D000011, "Enter a formula to evaluate."},
        {FormulaError::kOutOfMemory, 0x8007000E, "Out of memory."},
        {FormulaError::kNestedTooDeeply, 0x8D000014, "Math formula is nested too deeply."},
        {FormulaError::kStackOverflow, 0x14, "Evaluation stack overflow occurred!!!"},
        {FormulaError::kStackUnderflow, 0x14, "Evaluation stack underflow occurred!!!"},
        {FormulaError::kDivideByZero, 0x8D000012,
         "Divide by zero error occurred during formula evaluation."},
        {FormulaError::kUndefinedVariable, 0x8D000013,
         "Reference to undefined variable name in math formula."},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(FormulaError::kCount));
    for (const Row& row : rows) {
        const FormulaErrorInfo& info = FormulaErrorInfoOf(row.error);
        EXPECT_EQ(info.error, row.error);
        EXPECT_EQ(static_cast<uint32_t>(info.code), row.code) << row.message;
        EXPECT_STREQ(info.message, row.message);
    }
}

// ---------------------------------------------------------------------------------------
// Parsing: the outcome and position of every rule's errors

struct ParseCase {
    std::string text;
    FormulaError error;  // kNone: the text parses
    int32_t start;       // offset of the error
};

void ExpectParse(const ParseCase& c) {
    CMathFormula formula;
    formula.Parse(c.text);
    const FormulaErrorInfo& info = FormulaErrorInfoOf(c.error);
    const std::string shown = c.text.size() > 40 ? c.text.substr(0, 40) + "..." : c.text;
    EXPECT_EQ(formula.GetErrorCode(), info.code) << '"' << shown << '"';
    EXPECT_STREQ(formula.GetErrorMessage(), info.message) << '"' << shown << '"';
    const int32_t start = c.error == FormulaError::kNone ? 0 : c.start;
    const int32_t end = c.error == FormulaError::kNone ? 0 : c.start + 1;
    EXPECT_EQ(formula.GetErrorStart(), start) << '"' << shown << '"';
    EXPECT_EQ(formula.GetErrorEnd(), end) << '"' << shown << '"';
}

TEST(FormulaParse, WholeFormula) {
    const ParseCase cases[] = {
        {"", FormulaError::kEmptyFormula, 0},
        {" \t\r\n", FormulaError::kEmptyFormula, 4},
        {" \t1\r\n+ 2\n", FormulaError::kNone, 0},
        {"2 3", FormulaError::kUnexpectedCharacter, 2},
        {"2x", FormulaError::kUnexpectedCharacter, 1},   // no implicit product
        {"1e3", FormulaError::kUnexpectedCharacter, 1},  // no exponent notation
        {"0x10", FormulaError::kUnexpectedCharacter, 1},
        {"2)", FormulaError::kUnexpectedCharacter, 1},
        {"a b", FormulaError::kUnexpectedCharacter, 2},
        {"1\v", FormulaError::kUnexpectedCharacter, 1},  // vertical tab is no blank
        {std::string("1+2\0", 4), FormulaError::kUnexpectedCharacter, 3},
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, InfixOperands) {
    const ParseCase cases[] = {
        // The missing operand's factor reports first, so the operators' own errors never win.
        {"2+", FormulaError::kIncomplete, 2},
        {"2+*3", FormulaError::kIncomplete, 2},
        {"2-  ", FormulaError::kIncomplete, 4},
        {"2*", FormulaError::kIncomplete, 2},
        {"2/ )", FormulaError::kIncomplete, 3},
        {"2%", FormulaError::kIncomplete, 2},
        {"a mod", FormulaError::kIncomplete, 5},
        {"*3", FormulaError::kIncomplete, 0},
        {"a modx", FormulaError::kUnexpectedCharacter, 2},
        {"2 modulo 3", FormulaError::kUnexpectedCharacter, 2},
        {"7 mod 3", FormulaError::kNone, 0},
        {"7MOD3", FormulaError::kNone, 0},
        {"2 mod mod", FormulaError::kNone, 0},  // the second "mod" is a variable name
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, SignsAndPowers) {
    const ParseCase cases[] = {
        {"-", FormulaError::kIncomplete, 1},  {"+-+", FormulaError::kIncomplete, 3},
        {"2^", FormulaError::kIncomplete, 2}, {"2^^3", FormulaError::kIncomplete, 2},
        {"^2", FormulaError::kIncomplete, 0}, {"2^-+-2", FormulaError::kNone, 0},
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, IntrinsicCallsAndConstants) {
    const ParseCase cases[] = {
        {"sin()", FormulaError::kIncomplete, 4},
        {"sin(", FormulaError::kIncomplete, 4},
        {"sin(1", FormulaError::kClosingParenthesisExpected, 5},
        {"sin(1 2)", FormulaError::kClosingParenthesisExpected, 6},
        {"sin 1", FormulaError::kOpeningParenthesisExpected, 4},
        {"sin", FormulaError::kOpeningParenthesisExpected, 3},
        {"sin2", FormulaError::kOpeningParenthesisExpected, 3},  // the word read is "sin"
        {"sin_x", FormulaError::kOpeningParenthesisExpected, 3},
        {"SIN (1)", FormulaError::kNone, 0},
        {"sinx", FormulaError::kNone, 0},  // a variable
        {"e2", FormulaError::kUnexpectedCharacter, 1},
        {"pi_1", FormulaError::kUnexpectedCharacter, 2},
        {"pie", FormulaError::kNone, 0},  // a variable
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, PrimariesAndNumbers) {
    const ParseCase cases[] = {
        {"(1+2", FormulaError::kClosingParenthesisExpected, 4},
        {"((1)", FormulaError::kClosingParenthesisExpected, 4},
        {"(", FormulaError::kIncomplete, 1},
        {"()", FormulaError::kIncomplete, 1},
        {")", FormulaError::kIncomplete, 0},
        {"#", FormulaError::kIncomplete, 0},
        {"1+\xC3\xA9", FormulaError::kIncomplete, 2},  // UTF-8 letters are no letters
        {"x_1 + _a + Input1", FormulaError::kNone, 0},
        {"1.2.3", FormulaError::kUnexpectedCharacter, 3},
        {"..", FormulaError::kNone, 0},
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, NestingIsBounded) {
    const size_t limit = CMathFormula::kMaxNesting;
    const int32_t past = static_cast<int32_t>(limit) + 1;
    const ParseCase cases[] = {
        {Repeat("(", limit) + "1" + std::string(limit, ')'), FormulaError::kNone, 0},
        {Repeat("(", limit + 1) + "1" + std::string(limit + 1, ')'), FormulaError::kNestedTooDeeply,
         past},
        {Repeat("-", limit) + "1", FormulaError::kNone, 0},
        {Repeat("-", limit + 1) + "1", FormulaError::kNestedTooDeeply, past},
        {Repeat("2^", limit) + "2", FormulaError::kNone, 0},
        {Repeat("2^", limit + 1) + "2", FormulaError::kNestedTooDeeply, 2 * past},
        {Repeat("sin(", limit + 1) + "1", FormulaError::kNestedTooDeeply, 4 * past},
        {Repeat("-(", limit), FormulaError::kNestedTooDeeply, past},
        {Repeat("(", 1'000'000), FormulaError::kNestedTooDeeply, past},
        {Repeat("+", 1'000'000) + "1", FormulaError::kNestedTooDeeply, past},
        // Long but flat formulas have no limit.
        {"1" + Repeat("+1", 200'000), FormulaError::kNone, 0},
        {"1" + Repeat("*(1)", 200'000), FormulaError::kNone, 0},
    };
    for (const ParseCase& c : cases)
        ExpectParse(c);
}

TEST(FormulaParse, ParseReplacesEverything) {
    CMathFormula formula;
    EXPECT_EQ(formula.GetErrorCode(), 0);
    EXPECT_STREQ(formula.GetErrorMessage(), "No errors.");
    EXPECT_EQ(Bits(formula.Evaluate()), kFormulaNotANumberBits);  // nothing parsed yet

    formula.Parse("(1+2");
    EXPECT_EQ(formula.GetErrorStart(), 4);
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
    FormulaError error;
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

TEST(FormulaEvaluate, PrecedenceAndAssociativity) {
    const EvalCase cases[] = {
        {"2^3^2", {}, 512, FormulaError::kNone},
        {"-2^2", {}, -4, FormulaError::kNone},
        {"2^-2", {}, 0.25, FormulaError::kNone},
        {"-2^-2", {}, -0.25, FormulaError::kNone},
        {"10/4*2", {}, 5, FormulaError::kNone},
        {"1-2-3", {}, -4, FormulaError::kNone},
        {"2+3*4", {}, 14, FormulaError::kNone},
        {"(2+3)*4", {}, 20, FormulaError::kNone},
        {"2*3^2", {}, 18, FormulaError::kNone},
        {"-7%3", {}, -1, FormulaError::kNone},  // the sign binds before "%"
        {"7 mod 3 + 7%3 + 7MOD3", {}, 3, FormulaError::kNone},
        {"7.5%2", {}, 1.5, FormulaError::kNone},
        {"2 mod mod", {{"mod", 3}}, 2, FormulaError::kNone},
        {"--3", {}, 3, FormulaError::kNone},
        {"+-+3", {}, -3, FormulaError::kNone},
        {"-0", {}, -0.0, FormulaError::kNone},
        {"-(0*-1)", {}, 0.0, FormulaError::kNone},
        {"a-b", {{"b", 1}, {"a", 10}}, 9, FormulaError::kNone},
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

TEST(FormulaEvaluate, NumbersAndConstants) {
    const EvalCase cases[] = {
        {".5", {}, 0.5, FormulaError::kNone},
        {".", {}, 0, FormulaError::kNone},
        {"5.", {}, 5, FormulaError::kNone},
        {"12.50", {}, 12.5, FormulaError::kNone},
        {".5.5", {}, 0.5, FormulaError::kNone},  // one token, read up to its second point
        {"0.1", {}, 0.1, FormulaError::kNone},
        {"123456789012345678901234567890",
         {},
         123456789012345678901234567890.0,
         FormulaError::kNone},
        {std::string(400, '9'), {}, kInf, FormulaError::kNone},
        {"0." + std::string(400, '0') + "1", {}, 0.0, FormulaError::kNone},
        {"e", {}, 2.718281828459, FormulaError::kNone},
        {"PI", {}, 3.14159265359, FormulaError::kNone},
        {"Pi+pi", {}, 2 * 3.14159265359, FormulaError::kNone},
        {"e", {{"E", 5}}, 5, FormulaError::kNone},
        {"pi*2", {{"pI", 3}}, 6, FormulaError::kNone},
        {"exp(1)", {}, std::exp(1.0), FormulaError::kNone},  // not the short constant
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

TEST(FormulaEvaluate, IntrinsicFunctions) {
    const EvalCase cases[] = {
        {"abs(-2.5)", {}, 2.5, FormulaError::kNone},
        {"acos(0.5)+ARCCOS(0.5)", {}, std::acos(0.5) + std::acos(0.5), FormulaError::kNone},
        {"asin(0.5)+arcsin(0.5)", {}, std::asin(0.5) + std::asin(0.5), FormulaError::kNone},
        {"atan(2)+arctan(2)", {}, std::atan(2.0) + std::atan(2.0), FormulaError::kNone},
        {"cos(1)", {}, std::cos(1.0), FormulaError::kNone},
        {"cosh(1)", {}, std::cosh(1.0), FormulaError::kNone},
        {"cot(1)", {}, 1 / std::tan(1.0), FormulaError::kNone},
        {"exp(2)", {}, std::exp(2.0), FormulaError::kNone},
        {"ln(2)", {}, std::log(2.0), FormulaError::kNone},
        {"log(2)", {}, std::log10(2.0), FormulaError::kNone},
        {"sin(1)", {}, std::sin(1.0), FormulaError::kNone},
        {"sinh(1)", {}, std::sinh(1.0), FormulaError::kNone},
        {"tan(1)", {}, std::tan(1.0), FormulaError::kNone},
        {"tanh(1)", {}, std::tanh(1.0), FormulaError::kNone},
        {"SQRT(4)", {}, 2, FormulaError::kNone},
        {"sin(cos(0))", {}, std::sin(1.0), FormulaError::kNone},
        // Domain errors and overflows are silent, and give the engine's one NaN.
        {"sqrt(-1)", {}, kNaN, FormulaError::kNone},
        {"ln(-1)", {}, kNaN, FormulaError::kNone},
        {"log(-1)", {}, kNaN, FormulaError::kNone},
        {"acos(2)", {}, kNaN, FormulaError::kNone},
        {"asin(-2)", {}, kNaN, FormulaError::kNone},
        {"sin(x)", {{"x", kInf}}, kNaN, FormulaError::kNone},
        {"(-8)^(1/3)", {}, kNaN, FormulaError::kNone},
        {"ln(0)", {}, -kInf, FormulaError::kNone},
        {"log(0)", {}, -kInf, FormulaError::kNone},
        {"exp(1000)", {}, kInf, FormulaError::kNone},
        {"0^-1", {}, kInf, FormulaError::kNone},
        {"x%2", {{"x", kInf}}, kNaN, FormulaError::kNone},
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

TEST(FormulaEvaluate, ErrorsAndTheirResults) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const EvalCase cases[] = {
        {"1/0", {}, kInf, FormulaError::kDivideByZero},
        {"-1/0", {}, kInf, FormulaError::kDivideByZero},
        {"0/0", {}, kInf, FormulaError::kDivideByZero},
        {"1/x", {{"x", nan}}, kInf, FormulaError::kDivideByZero},  // NaN divides like zero
        {"1/-0", {}, kInf, FormulaError::kDivideByZero},
        {"5%0", {}, kInf, FormulaError::kDivideByZero},
        {"5 mod 0", {}, kInf, FormulaError::kDivideByZero},
        {"cot(0)", {}, kInf, FormulaError::kDivideByZero},
        {"x/4", {{"x", 1}}, 0.25, FormulaError::kNone},
        {"x+1", {}, kNaN, FormulaError::kUndefinedVariable},
        {"-x", {}, -kNaN, FormulaError::kUndefinedVariable},  // negation flips a NaN's sign
        {"x^0", {}, 1, FormulaError::kUndefinedVariable},
        {"1/0+y", {}, kNaN, FormulaError::kDivideByZero},  // the first error wins
        {"y+1/0", {}, kNaN, FormulaError::kUndefinedVariable},
        {"SPEED+Speed", {{"speed", 2}}, 4, FormulaError::kNone},
        {"x", {{"x", nan}}, nan, FormulaError::kNone},
    };
    for (const EvalCase& c : cases)
        ExpectEvaluate(c);
}

TEST(FormulaEvaluate, StackIsBoundedAt256PendingValues) {
    const EvalCase cases[] = {
        {RightNestedSum(256), {}, 256, FormulaError::kNone},
        // The 257th value is dropped; the last addition then underflows and reads the bottom
        // slot (256 again): the survivor is 512, reported by the first error, the overflow.
        {RightNestedSum(257), {}, 512, FormulaError::kStackOverflow},
        {Repeat("1^", 256) + "1", {}, 1, FormulaError::kStackOverflow},
        {Repeat("1^", 255) + "1", {}, 1, FormulaError::kNone},
        {"y+(" + Repeat("x+(", 299) + "x" + std::string(300, ')'),
         {{"x", 1}},
         kNaN,
         FormulaError::kUndefinedVariable},
        {"1" + Repeat("+1", 99'999), {}, 100'000, FormulaError::kNone},
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
    EXPECT_EQ(formula.FindVariable("spee"), nullptr);
    // Letter case folds in ASCII only; other bytes must match exactly.
    formula.SetVariable("\xC3\xA9t\xC3\xA9", 3);
    EXPECT_EQ(formula.FindVariable("\xC3\xA9T\xC3\xA9")->value, 3);
    EXPECT_EQ(formula.FindVariable("\xC3\x89T\xC3\x89"), nullptr);
    formula.ClearVariables();
    EXPECT_EQ(formula.FindVariable("speed"), nullptr);
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
}

TEST(FormulaVariables, EachFormulaKeepsItsOwnErrors) {
    CMathFormula failing;
    CMathFormula working;
    failing.Parse("1/0");
    working.Parse("1/2");
    failing.Evaluate();
    EXPECT_EQ(working.Evaluate(), 0.5);
    EXPECT_EQ(working.GetErrorCode(), 0);
    EXPECT_EQ(failing.GetErrorCode(), FormulaCode(0x8D000012));
}

TEST(FormulaNodes, IntrinsicNamesAreWholeWords) {
    for (const char* word : {"", "si", "sine", "cotan", "e", "pi", "mod", "pow"}) {
        EXPECT_EQ(FindIntrinsic(word), nullptr) << word;
    }
    // Applied outside an evaluation, "cot" has nowhere to record its error, and must not try.
    const CFunctionNode cot(FindIntrinsic("cot"), std::make_unique<CNumberNode>(0.0, ""));
    EXPECT_EQ(Bits(cot.Apply(0)), kFormulaInfinityBits);
}

// ---------------------------------------------------------------------------------------
// Random formulas against an oracle that builds each text together with its value, using
// the same double operations in the same order.

class FormulaGenerator {
  public:
    explicit FormulaGenerator(uint32_t seed) : m_random(seed) {}

    // A formula of at most `depth` levels of operations, with its value.
    std::pair<std::string, double> Make(int depth) {
        switch (depth == 0 ? Pick(3) : Pick(12)) {
            case 0: {
                const double value = Pick(1000) / 8.0;
                return {Format(value), value};
            }
            case 1:
            case 2: {
                const Variable& variable = kVariables[Pick(std::size(kVariables))];
                return {variable.name, variable.value};
            }
            case 3: {
                auto [text, value] = Make(depth - 1);
                return {"-(" + text + ")", -value};
            }
            case 4: {
                auto [text, value] = Make(depth - 1);
                return {"sin(" + text + ")", std::sin(value)};
            }
            case 5: {
                auto [text, value] = Make(depth - 1);
                return {"abs(" + text + ")^2", Power(std::fabs(value), 2.0)};
            }
            case 6: {
                auto [text, value] = Make(depth - 1);
                const double divisor = kDivisors[Pick(std::size(kDivisors))];
                return {"(" + text + ")/" + Format(divisor), value / divisor};
            }
            default: {
                auto [left, a] = Make(depth - 1);
                auto [right, b] = Make(depth - 1);
                switch (Pick(4)) {
                    case 0:
                        return {"(" + left + ")+(" + right + ")", a + b};
                    case 1:
                        return {"(" + left + ")-(" + right + ")", a - b};
                    case 2:
                        return {"(" + left + ")*(" + right + ")", a * b};
                    default:  // the divisor kept away from zero
                        return {"(" + left + ")/(1+(" + right + ")*(" + right + "))",
                                a / (1 + b * b)};
                }
            }
        }
    }

    struct Variable {
        const char* name;
        double value;
    };
    static constexpr Variable kVariables[] = {{"u", 0.3}, {"v", -1.75}, {"w", 12.0}};
    // Powers of two, which divide by their reciprocal, and others.
    static constexpr double kDivisors[] = {0.125, 0.5, 4, 3, 10, 0.375};

  private:
    int Pick(size_t count) { return static_cast<int>(m_random() % count); }
    // The library's pow, called: compilers turn pow(x, 2.0) into x*x, which differs from
    // the library's result in the last place for some x.
    static double Power(double base, double exponent) {
        double (*volatile pow)(double, double) = [](double b, double e) { return std::pow(b, e); };
        return pow(base, exponent);
    }
    // Exact for the eighths used here.
    static std::string Format(double value) { return std::to_string(value); }

    std::mt19937 m_random;
};

TEST(FormulaEvaluate, RandomFormulasMatchTheirOracle) {
    FormulaGenerator generator(20240611);
    for (int i = 0; i < 3000; ++i) {
        const auto [text, value] = generator.Make(1 + i % 7);
        CMathFormula formula;
        for (const auto& [name, variableValue] : FormulaGenerator::kVariables) {
            formula.SetVariable(name, variableValue);
        }
        formula.Parse(text);
        ASSERT_EQ(formula.GetErrorCode(), 0) << text;
        EXPECT_EQ(Bits(formula.Evaluate()), Bits(value)) << text;
        // An undefined name makes the stack-checked evaluation run: y^0 is 1 even for the NaN
        // of an undefined y, so the value stays known.
        formula.Parse("(" + text + ")+y^0");
        EXPECT_EQ(Bits(formula.Evaluate()), Bits(value + 1)) << text;
        EXPECT_EQ(formula.GetErrorCode(), FormulaCode(0x8D000013)) << text;
    }
}

}  // namespace
