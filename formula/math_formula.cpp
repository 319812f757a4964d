#include "formula/math_formula.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>
#include <new>

#include "formula/formula_nodes.h"

namespace {

// The constants of the language, deliberately to 13 and 12 significant digits.
constexpr double kE = 2.718281828459;
constexpr double kPi = 3.14159265359;

// Character classes are ASCII only; bytes from 0x80 belong to none.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameStart(char c) {
    return IsLetter(c) || c == '_';
}
bool IsNamePart(char c) {
    return IsNameStart(c) || IsDigit(c);
}

char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a number token: digits with points, read up to its second point (".5.5" is
// one token worth 0.5) and worth 0 without digits (a lone ".").
double DecimalValue(std::string_view token) {
    double value = 0.0;
    const auto result =
        std::from_chars(token.data(), token.data() + token.size(), value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Only a very long token gets here: huge when a non-zero digit precedes the point,
        // otherwise too small for any double.
        const bool huge = token.find_first_of("123456789") < token.find('.');
        return huge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return value;
}

// A node, or null when memory runs out.
template <class Node, class... Args>
std::unique_ptr<CFormulaNode> TryMake(Args&&... args) {
    try {
        return std::make_unique<Node>(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// A recursive-descent parser over one text. Each rule returns its node, or null, and leaves
// the position where it stopped. Rules run on after an error, but only the first error is
// kept.
class Parser {
  public:
    explicit Parser(std::string_view text) : m_text(text) {}

    std::unique_ptr<CFormulaNode> ParseFormula();

    FormulaError Error() const { return m_error; }
    size_t ErrorOffset() const { return m_errorOffset; }

  private:
    using Node = std::unique_ptr<CFormulaNode>;

    bool AtEnd() const { return m_pos == m_text.size(); }
    // The next byte; NUL at the end, which no rule accepts.
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }
    template <class Predicate>
    std::string_view ReadWhile(Predicate accepts) {
        const size_t start = m_pos;
        while (!AtEnd() && accepts(m_text[m_pos]))
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }
    std::string_view ReadWord() { return ReadWhile(IsLetter); }
    std::string_view ReadVariableName();
    double ReadNumber();

    void Fail(FormulaError error, size_t offset) {
        if (m_error != FormulaError::kNone) return;
        m_error = error;
        m_errorOffset = offset;
    }
    // A node; on running out of memory, null and an error at the current position.
    template <class NodeClass, class... Args>
    Node Make(Args&&... args) {
        Node node = TryMake<NodeClass>(std::forward<Args>(args)...);
        if (!node) Fail(FormulaError::kOutOfMemory, m_pos);
        return node;
    }
    // An infix operator's node; `missing` is recorded when the right operand is missing.
    template <class NodeClass>
    Node Combine(Node left, Node right, FormulaError missing) {
        if (!right) Fail(missing, m_pos);
        return Make<NodeClass>(std::move(left), std::move(right));
    }

    Node ParseExpression();
    Node ParseTerm();
    Node ParseUnary();
    Node ParsePower();
    Node ParseFactor();
    Node ParseCall(FormulaOp function);
    Node ParsePrimary();
    Node ParseParenthesized();

    std::string_view m_text;
    size_t m_pos = 0;
    int32_t m_depth = 0;  // unary rules active
    FormulaError m_error = FormulaError::kNone;
    size_t m_errorOffset = 0;
};

std::unique_ptr<CFormulaNode> Parser::ParseFormula() {
    SkipBlanks();
    if (AtEnd()) Fail(FormulaError::kEmptyFormula, m_pos);
    m_pos = 0;
    Node root = ParseExpression();
    if (m_error == FormulaError::kNone) {
        SkipBlanks();
        if (!AtEnd()) Fail(FormulaError::kUnexpectedCharacter, m_pos);
    }
    return root;
}

Parser::Node Parser::ParseExpression() {
    Node left = ParseTerm();
    if (!left) return nullptr;
    for (;;) {
        SkipBlanks();
        const char op = Peek();
        if (op != '+' && op != '-') return left;
        ++m_pos;
        Node right = ParseTerm();
        left = op == '+' ? Combine<CAddNode>(std::move(left), std::move(right),
                                             FormulaError::kAdditionTermExpected)
                         : Combine<CSubtractNode>(std::move(left), std::move(right),
                                                  FormulaError::kSubtractionTermExpected);
    }
}

Parser::Node Parser::ParseTerm() {
    Node left = ParseUnary();
    for (;;) {
        SkipBlanks();
        char op = Peek();
        if (op == '*' || op == '/' || op == '%') {
            ++m_pos;
        } else {
            // "mod" acts as "%"; any other word ends the term before it.
            const size_t start = m_pos;
            if (!FormulaNamesEqual(ReadWord(), "mod")) {
                m_pos = start;
                return left;
            }
            op = '%';
        }
        Node right = ParseUnary();
        switch (op) {
            case '*':
                left = Combine<CMultiplyNode>(std::move(left), std::move(right),
                                              FormulaError::kMultiplicationTermExpected);
                break;
            case '/':
                left = Combine<CDivideNode>(std::move(left), std::move(right),
                                            FormulaError::kDivisorExpected);
                break;
            default:
                left = Combine<CModulusNode>(std::move(left), std::move(right),
                                             FormulaError::kModulusDivisorExpected);
                break;
        }
    }
}

Parser::Node Parser::ParseUnary() {
    SkipBlanks();
    // Every cycle of the grammar (parentheses, arguments, signs, exponents) passes here,
    // so bounding this rule's depth bounds the whole parser's.
    if (m_depth > CMathFormula::kMaxNesting) {
        Fail(FormulaError::kNestedTooDeeply, m_pos);
        return nullptr;
    }
    ++m_depth;
    Node node;
    const char sign = Peek();
    if (sign == '+' || sign == '-') {
        ++m_pos;
        node = ParseUnary();
        if (sign == '-' && node) node = Make<CNegateNode>(std::move(node));
    } else {
        node = ParsePower();
    }
    --m_depth;
    return node;
}

Parser::Node Parser::ParsePower() {
    Node base = ParseFactor();
    SkipBlanks();
    if (Peek() != '^') return base;
    ++m_pos;
    // The exponent is a unary, which makes "^" right-associative and lets it carry a sign.
    Node exponent = ParseUnary();
    return Combine<CPowerNode>(std::move(base), std::move(exponent),
                               FormulaError::kExponentExpected);
}

Parser::Node Parser::ParseFactor() {
    SkipBlanks();
    const size_t start = m_pos;
    const std::string_view word = ReadWord();
    Node node;
    if (const std::optional<FormulaOp> function = FindIntrinsic(word)) {
        node = ParseCall(*function);
    } else if (FormulaNamesEqual(word, "e")) {
        node = Make<CNumberNode>(kE, "e");
    } else if (FormulaNamesEqual(word, "pi")) {
        node = Make<CNumberNode>(kPi, "pi");
    } else {
        // Not a word of the language: read it again as the start of a variable name.
        m_pos = start;
        node = ParsePrimary();
    }
    if (!node) Fail(FormulaError::kIncomplete, start);
    return node;
}

Parser::Node Parser::ParseCall(FormulaOp function) {
    SkipBlanks();
    Node argument;
    if (Peek() == '(') {
        ++m_pos;
        argument = ParseParenthesized();
    } else {
        Fail(FormulaError::kOpeningParenthesisExpected, m_pos);
    }
    if (!argument) {
        Fail(FormulaError::kParameterRequired, m_pos);
        return nullptr;
    }
    return Make<CFunctionNode>(function, std::move(argument));
}

Parser::Node Parser::ParsePrimary() {
    SkipBlanks();
    const char c = Peek();
    if (c == '(') {
        ++m_pos;
        return ParseParenthesized();
    }
    if (IsDigit(c) || c == '.') return Make<CNumberNode>(ReadNumber(), std::string_view());
    const std::string_view name = ReadVariableName();
    if (name.empty()) return nullptr;
    // A variable node that cannot be allocated leaves the factor empty, which reports the
    // formula as incomplete rather than out of memory.
    return TryMake<CVariableNode>(name);
}

// The rest of "( expression )" after the opening parenthesis.
Parser::Node Parser::ParseParenthesized() {
    Node inner = ParseExpression();
    SkipBlanks();
    if (Peek() == ')') {
        ++m_pos;
    } else {
        Fail(FormulaError::kClosingParenthesisExpected, m_pos);
    }
    return inner;
}

std::string_view Parser::ReadVariableName() {
    if (!IsNameStart(Peek())) return {};
    const size_t start = m_pos++;
    ReadWhile(IsNamePart);
    return m_text.substr(start, m_pos - start);
}

// A digit or point, digits, then optionally a point and digits.
double Parser::ReadNumber() {
    const size_t start = m_pos++;
    ReadWhile(IsDigit);
    if (Peek() == '.') {
        ++m_pos;
        ReadWhile(IsDigit);
    }
    return DecimalValue(m_text.substr(start, m_pos - start));
}

int32_t ToOffset(size_t offset) {
    // Offsets are 32-bit; a text beyond that reports its errors at the last one.
    return static_cast<int32_t>(std::min<size_t>(offset, std::numeric_limits<int32_t>::max() - 1));
}

}  // namespace

bool FormulaNamesEqual(std::string_view a, std::string_view b) {
    const auto sameLetter = [](char x, char y) { return ToLower(x) == ToLower(y); };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), sameLetter);
}

int32_t CFormulaVariableTable::Set(std::string_view name, double value) {
    const int32_t index = IndexOf(name);
    if (index >= 0) {
        m_variables[index].value = value;
        return index;
    }
    m_variables.push_back({std::string(name), value});
    return static_cast<int32_t>(m_variables.size() - 1);
}

int32_t CFormulaVariableTable::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < m_variables.size(); ++i) {
        if (FormulaNamesEqual(m_variables[i].name, name)) return static_cast<int32_t>(i);
    }
    return -1;
}

CMathFormula::CMathFormula() = default;
CMathFormula::~CMathFormula() = default;

void CMathFormula::Parse(std::string_view text) {
    m_program.reset();
    m_root.reset();
    m_text.clear();
    m_evaluationError = FormulaError::kNone;
    FormulaError error = FormulaError::kNone;
    size_t offset = 0;
    try {
        m_text.assign(text.substr(0, text.find('\0')));
        Parser parser(m_text);
        m_root = parser.ParseFormula();
        error = parser.Error();
        offset = parser.ErrorOffset();
        if (error == FormulaError::kNone) {
            m_program = std::make_unique<CFormulaProgram>(*m_root);
            m_bound = false;
        }
    } catch (const std::bad_alloc&) {
        // The text could not be copied (offset 0) or the tree not compiled (the end).
        error = FormulaError::kOutOfMemory;
        offset = m_text.size();
    }
    m_parseError = error;
    m_errorStart = error == FormulaError::kNone ? 0 : ToOffset(offset);
    m_errorEnd = error == FormulaError::kNone ? 0 : m_errorStart + 1;
}

FormulaError CMathFormula::ReportedError() const {
    return m_parseError != FormulaError::kNone ? m_parseError : m_evaluationError;
}

int32_t CMathFormula::GetErrorCode() const {
    return FormulaErrorInfoOf(ReportedError()).code;
}

const char* CMathFormula::GetErrorMessage() const {
    return FormulaErrorInfoOf(ReportedError()).message;
}

int32_t CMathFormula::SetVariable(std::string_view name, double value) {
    try {
        const size_t before = m_variables.Size();
        const int32_t position = m_variables.Set(name, value);
        if (m_variables.Size() != before) m_bound = false;
        return position;
    } catch (const std::bad_alloc&) {
        // No failure crosses this call: the name stays undefined, which evaluation reports.
        return -1;
    }
}

const CFormulaVariable* CMathFormula::FindVariable(std::string_view name) const {
    const int32_t index = m_variables.IndexOf(name);
    return index < 0 ? nullptr : &m_variables.At(index);
}

void CMathFormula::ClearVariables() {
    m_variables.Clear();
    m_bound = false;
}

double CMathFormula::Evaluate() {
    if (!m_program) return std::bit_cast<double>(kFormulaNotANumberBits);
    if (!m_bound) {
        m_program->Bind(m_variables);
        m_bound = true;
    }
    CEvaluationContext context;
    const double result = m_program->Run(context);
    m_evaluationError = context.Error();
    return result;
}
