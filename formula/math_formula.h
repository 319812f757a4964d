#pragma once
// The formula engine: parses a formula text such as "Input1 * sin(Input2) ^ 2 + 1" and
// evaluates it over a table of named variables.
//
// Language, from the lowest precedence to the highest: infix "+" "-" (left to right);
// "*" "/" "%" "mod" (left to right); prefix "+" "-"; "^" (right to left, its right operand
// may carry a sign); intrinsic calls, the constants "e" and "pi", parentheses, numbers
// (digits with at most one point, no sign or exponent) and variable names (a letter or
// "_", then letters, digits and "_"). Names, keywords and constants ignore letter case.
// Blanks are space, tab, carriage return and line feed.
//
// Failures are never thrown: they are recorded in the error state (code, message, and for
// parse errors the offset of the offending byte) and read through the GetError functions.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Every error the engine records. Several can share a code (the two stack errors); each has
// its own message.
enum class FormulaError : uint8_t {
    kNone,
    // Parse errors.
    kUnexpectedCharacter,
    kClosingParenthesisExpected,
    kIncomplete,
    kExponentExpected,
    kMultiplicationTermExpected,
    kDivisorExpected,
    kModulusDivisorExpected,
    kAdditionTermExpected,
    kSubtractionTermExpected,
    kParameterRequired,
    kOpeningParenthesisExpected,
    kEmptyFormula,
    kOutOfMemory,
    kNestedTooDeeply,
    // Evaluation errors.
    kStackOverflow,
    kStackUnderflow,
    kDivideByZero,
    kUndefinedVariable,
    kCount
};

struct FormulaErrorInfo {
    FormulaError error;
    int32_t code;  // 0, a positive code, or a negative HRESULT
    const char* message;
};

constexpr int32_t FormulaCode(uint32_t bits) {
    return static_cast<int32_t>(bits);
}

// One row per FormulaError, in enum order.
inline constexpr FormulaErrorInfo kFormulaErrors[] = {
    {FormulaError::kNone, 0, "No errors."},
    {FormulaError::kUnexpectedCharacter, FormulaCode(0x8D000002),
     "Unexpected character found in math formula."},
    {FormulaError::kClosingParenthesisExpected, FormulaCode(0x8D000003),
     "Closing parenthesis expected in math formula."},
    {FormulaError::kIncomplete, FormulaCode(0x8D000005), "Incomplete math formula."},
    {FormulaError::kExponentExpected, FormulaCode(0x8D000007),
     "Exponent term expected in math formula."},
    {FormulaError::kMultiplicationTermExpected, FormulaCode(0x8D000008),
     "Multiplication term expected in math formula."},
    {FormulaError::kDivisorExpected, FormulaCode(0x8D000009),
     "Divisor term expected in math formula."},
    {FormulaError::kModulusDivisorExpected, FormulaCode(0x8D00000A),
     "Modulus divisor term expected in math formula."},
    {FormulaError::kAdditionTermExpected, FormulaCode(0x8D00000B),
     "Addition term expected in math formula."},
    {FormulaError::kSubtractionTermExpected, FormulaCode(0x8D00000C),
     "Subtraction term expected in math formula."},
    {FormulaError::kParameterRequired, FormulaCode(0x8D00000F),
     "Parameter required for intrinsic function in math formula."},
    {FormulaError::kOpeningParenthesisExpected, FormulaCode(0x8D000010),
     "Opening parenthesis expected in math formula."},
    {FormulaError::kEmptyFormula, FormulaCode(0x8D000011), "Enter a formula to evaluate."},
    {FormulaError::kOutOfMemory, FormulaCode(0x8007000E), "Out of memory."},
    {FormulaError::kNestedTooDeeply, FormulaCode(0x8D000014), "Math formula is nested too deeply."},
    {FormulaError::kStackOverflow, 0x14, "Evaluation stack overflow occurred!!!"},
    {FormulaError::kStackUnderflow, 0x14, "Evaluation stack underflow occurred!!!"},
    {FormulaError::kDivideByZero, FormulaCode(0x8D000012),
     "Divide by zero error occurred during formula evaluation."},
    {FormulaError::kUndefinedVariable, FormulaCode(0x8D000013),
     "Reference to undefined variable name in math formula."},
};

constexpr bool FormulaErrorTableIsComplete() {
    if (std::size(kFormulaErrors) != static_cast<size_t>(FormulaError::kCount)) return false;
    for (size_t i = 0; i < std::size(kFormulaErrors); ++i) {
        const FormulaErrorInfo& row = kFormulaErrors[i];
        if (static_cast<size_t>(row.error) != i || row.message == nullptr) return false;
    }
    return true;
}
static_assert(FormulaErrorTableIsComplete(), "kFormulaErrors needs one row per FormulaError");

constexpr const FormulaErrorInfo& FormulaErrorInfoOf(FormulaError error) {
    return kFormulaErrors[static_cast<size_t>(error)];
}

// The one "not a number" the engine produces: the quiet NaN with the sign bit set.
inline constexpr uint64_t kFormulaNotANumberBits = 0xFFF8000000000000u;
// Positive infinity, the result of a zero divisor.
inline constexpr uint64_t kFormulaInfinityBits = 0x7FF0000000000000u;

// True when `a` and `b` are the same name to the formula language: equal ignoring ASCII
// letter case. Other bytes (UTF-8 included) compare exactly.
bool FormulaNamesEqual(std::string_view a, std::string_view b);

// What one evaluation records as it runs: its first error. Each evaluation has its own,
// passed down to every instruction and intrinsic function, so an evaluation started from
// inside another leaves the outer one's error as it was.
class CEvaluationContext {
  public:
    // Records `error` unless an error is already recorded: the first one wins.
    void Record(FormulaError error) {
        if (m_error == FormulaError::kNone) m_error = error;
    }
    FormulaError Error() const { return m_error; }

  private:
    FormulaError m_error = FormulaError::kNone;
};

struct CFormulaVariable {
    std::string name;  // as given when the variable was created
    double value = 0.0;
};

// The ordered list of variables a formula reads, in order of creation. Positions stay
// valid until Clear, so a compiled formula can refer to a variable by its position.
class CFormulaVariableTable {
  public:
    // Replaces the value of the variable named `name` (any case), keeping its stored name,
    // or appends a new variable; returns its position. Throws std::bad_alloc when a new
    // variable cannot be stored, leaving the table unchanged.
    int32_t Set(std::string_view name, double value);

    // Replaces the value of the variable at `position`, a position Set returned since the
    // last Clear.
    void SetValueAt(int32_t position, double value) { m_variables[position].value = value; }

    size_t Size() const { return m_variables.size(); }

    // The position of the first variable named `name` (any case), or -1.
    int32_t IndexOf(std::string_view name) const;

    // The variable at `index`, a position IndexOf returned since the last Clear.
    const CFormulaVariable& At(int32_t index) const { return m_variables[index]; }

    void Clear() { m_variables.clear(); }

  private:
    std::vector<CFormulaVariable> m_variables;
};

class CFormulaNode;
class CFormulaProgram;

class CMathFormula {
  public:
    // Parentheses, function arguments, prefix signs and exponents may nest this many levels
    // deep: enough for any formula a person writes, and for the 256 levels that fill the
    // evaluation stack. One level more is the parse error kNestedTooDeeply (0x8D000014,
    // "Math formula is nested too deeply.") at the first non-blank byte of the operand
    // nested too deeply. The bound keeps the parser's call stack under about 300 KB in an
    // optimised build, whatever the text.
    static constexpr int32_t kMaxNesting = 500;

    CMathFormula();
    ~CMathFormula();
    CMathFormula(const CMathFormula&) = delete;
    CMathFormula& operator=(const CMathFormula&) = delete;

    // Replaces the formula by `text` up to its first NUL byte, if any (the engine keeps its
    // formula as a NUL-terminated string), and parses it. Resets both errors, then records the
    // first parse error with its position: GetErrorCode is 0 and the message "No errors."
    // exactly when the text is a complete formula. Does not touch the variables.
    void Parse(std::string_view text);

    // The parse error code when the last Parse failed, otherwise the code of the first
    // evaluation error of the last Evaluate; 0 when neither failed.
    int32_t GetErrorCode() const;

    // The message of the error GetErrorCode reports; "No errors." when there is none.
    // The text is static and outlives the formula.
    const char* GetErrorMessage() const;

    // Byte offsets into the formula text of the parse error: start is the offending byte
    // (the end of the text when the text ran out), end is start + 1. Both 0 when the last
    // Parse succeeded. Evaluation errors leave them unchanged.
    int32_t GetErrorStart() const { return m_errorStart; }
    int32_t GetErrorEnd() const { return m_errorEnd; }

    // Sets the variable named `name` (any case) to `value`; a new name appends a variable
    // with a copy of `name`, an existing one keeps the letter case it was created with.
    // When memory for a new variable runs out, the table stays unchanged, and a formula
    // reading the name reports it as undefined. Returns the variable's position, or -1
    // when it could not be stored.
    int32_t SetVariable(std::string_view name, double value);

    // Sets the value of the variable at `position`, a position SetVariable returned since
    // the variables were last cleared. Repeated evaluations over the same names use this
    // to skip the name lookup.
    void SetVariableValue(int32_t position, double value) {
        m_variables.SetValueAt(position, value);
    }

    // The first variable named `name` (any case), or null. The pointer stays valid until
    // a variable is added or the variables are cleared.
    const CFormulaVariable* FindVariable(std::string_view name) const;

    // Deletes every variable.
    void ClearVariables();

    // The value of the parsed formula over the current variables. Returns not a number
    // (kFormulaNotANumberBits) without evaluating when there is no formula or the last
    // Parse failed; the parse error then stays the reported error. Otherwise resets the
    // evaluation error, evaluates to the end and returns the result even when an error was
    // recorded on the way: not a number for an undefined name, infinity for a zero divisor
    // in "/", "%", "mod" or "cot", the surviving value after a stack overflow (more than
    // 256 pending operands). Domain errors of functions and overflows are not errors: they
    // give not a number or an infinity silently.
    //
    // Evaluations of different formulas may run at once; one formula evaluates on one
    // thread at a time.
    double Evaluate();

  private:
    // The parse error when there is one, otherwise the evaluation error.
    FormulaError ReportedError() const;

    std::string m_text;
    // The tree of the last Parse, complete or partial; none before the first.
    std::unique_ptr<CFormulaNode> m_root;
    // The compiled tree; present exactly when the last Parse succeeded.
    std::unique_ptr<CFormulaProgram> m_program;
    CFormulaVariableTable m_variables;
    // Whether m_program's names are resolved against m_variables as it is now.
    bool m_bound = false;
    FormulaError m_parseError = FormulaError::kNone;
    FormulaError m_evaluationError = FormulaError::kNone;
    int32_t m_errorStart = 0;
    int32_t m_errorEnd = 0;
};
