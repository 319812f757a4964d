#include "formula/formula_nodes.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

double NotANumber() {
    return std::bit_cast<double>(kFormulaNotANumberBits);
}
double Infinity() {
    return std::bit_cast<double>(kFormulaInfinityBits);
}

// Libraries disagree on the NaN of a domain error (glibc's acos(2) has the sign bit clear,
// its sqrt(-1) has it set); formulas always give the one engine NaN. A NaN operand passes
// through as it is.
double Domain(double result, double x) {
    return std::isnan(result) && !std::isnan(x) ? NotANumber() : result;
}
double Domain(double result, double a, double b) {
    return std::isnan(result) && !std::isnan(a) && !std::isnan(b) ? NotANumber() : result;
}

// A NaN divisor counts as zero: the test is "neither negative nor positive".
bool IsZeroDivisor(double b) {
    return !(b < 0 || b > 0);
}

double DivideByZero() {
    RecordEvaluationError(FormulaError::kDivideByZero);
    return Infinity();
}

double Abs(double x) {
    return std::fabs(x);
}
double Acos(double x) {
    return Domain(std::acos(x), x);
}
double Asin(double x) {
    return Domain(std::asin(x), x);
}
double Atan(double x) {
    return std::atan(x);
}
double Cos(double x) {
    return Domain(std::cos(x), x);
}
double Cosh(double x) {
    return std::cosh(x);
}
double Cot(double x) {
    const double tangent = std::tan(x);
    return IsZeroDivisor(tangent) ? DivideByZero() : 1 / tangent;
}
double Exp(double x) {
    return std::exp(x);
}
double Ln(double x) {
    return Domain(std::log(x), x);
}
double Log(double x) {
    return Domain(std::log10(x), x);
}
double Sin(double x) {
    return Domain(std::sin(x), x);
}
double Sinh(double x) {
    return std::sinh(x);
}
double Tan(double x) {
    return Domain(std::tan(x), x);
}
double Tanh(double x) {
    return std::tanh(x);
}
double Sqrt(double x) {
    return Domain(std::sqrt(x), x);
}

struct IntrinsicName {
    std::string_view name;
    IntrinsicFunction function;
};

constexpr IntrinsicName kIntrinsics[] = {
    {"abs", Abs},     {"acos", Acos}, {"arccos", Acos}, {"arcsin", Asin}, {"asin", Asin},
    {"arctan", Atan}, {"atan", Atan}, {"cos", Cos},     {"cosh", Cosh},   {"cot", Cot},
    {"exp", Exp},     {"ln", Ln},     {"log", Log},     {"sin", Sin},     {"sinh", Sinh},
    {"tan", Tan},     {"tanh", Tanh}, {"sqrt", Sqrt},
};

double Divide(double a, double b) {
    return IsZeroDivisor(b) ? DivideByZero() : a / b;
}
double Modulus(double a, double b) {
    return IsZeroDivisor(b) ? DivideByZero() : Domain(std::fmod(a, b), a, b);
}
double Power(double a, double b) {
    return Domain(std::pow(a, b), a, b);
}

// Values on the stack after an instruction minus values before it.
int32_t StackEffect(FormulaOp op) {
    switch (op) {
        case FormulaOp::kNumber:
        case FormulaOp::kVariable:
        case FormulaOp::kUndefined:
            return 1;
        case FormulaOp::kNegate:
        case FormulaOp::kApply:
            return 0;
        default:
            return -1;
    }
}

// The evaluation stack: a push beyond the capacity is dropped and a pop from the empty
// stack returns the bottom slot, each recording its error.
class CEvalStack {
  public:
    // The bottom slot starts as not a number, so an underflow never reads an unset value.
    CEvalStack() { m_values[0] = NotANumber(); }

    void Push(double value) {
        if (m_count < CFormulaProgram::kStackCapacity) {
            m_values[m_count++] = value;
        } else {
            RecordEvaluationError(FormulaError::kStackOverflow);
        }
    }
    double Pop() {
        if (m_count > 0) return m_values[--m_count];
        RecordEvaluationError(FormulaError::kStackUnderflow);
        return m_values[0];
    }

  private:
    int32_t m_count = 0;
    double m_values[CFormulaProgram::kStackCapacity];
};

double Arithmetic(FormulaOp op, double a, double b) {
    switch (op) {
        case FormulaOp::kAdd:
            return a + b;
        case FormulaOp::kSubtract:
            return a - b;
        case FormulaOp::kMultiply:
            return a * b;
        case FormulaOp::kDivide:
            return Divide(a, b);
        case FormulaOp::kModulus:
            return Modulus(a, b);
        default:
            return Power(a, b);
    }
}

}  // namespace

std::vector<std::string_view> IntrinsicNames() {
    std::vector<std::string_view> names;
    for (const IntrinsicName& intrinsic : kIntrinsics)
        names.push_back(intrinsic.name);
    return names;
}

IntrinsicFunction FindIntrinsic(std::string_view name) {
    for (const IntrinsicName& intrinsic : kIntrinsics) {
        if (FormulaNamesEqual(intrinsic.name, name)) return intrinsic.function;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Program

CFormulaProgram::CFormulaProgram(const CFormulaNode& root) {
    // Post-order walk with an explicit stack: a left-to-right chain such as 1+2+...+n is a
    // tree n deep, deeper than recursion could follow.
    struct Visit {
        const CFormulaNode* node;
        bool operandsDone;
    };
    std::vector<Visit> pending{{&root, false}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        if (visit.operandsDone) {
            visit.node->Emit(*this);
            continue;
        }
        pending.push_back({visit.node, true});
        for (int i = visit.node->OperandCount(); i-- > 0;) {
            pending.push_back({visit.node->Operand(i), false});
        }
    }
    // Bind builds the register form in this storage and must not allocate.
    if (m_depth <= kStackCapacity) {
        m_steps.reserve(m_code.size());
        m_frame.resize(m_depth);
    }
}

void CFormulaProgram::Append(const FormulaInstruction& instruction) {
    m_code.push_back(instruction);
    m_height += StackEffect(instruction.op);
    m_depth = std::max(m_depth, m_height);
}

void CFormulaProgram::AppendNamed(std::string_view name, const FormulaInstruction& otherwise) {
    m_names.push_back({m_code.size(), name, otherwise});
    Append(otherwise);
}

void CFormulaProgram::Bind(const CFormulaVariableTable& variables) {
    bool defined = true;
    for (const NamedSlot& named : m_names) {
        const int32_t slot = variables.IndexOf(named.name);
        if (slot >= 0) {
            m_code[named.at] = {.op = FormulaOp::kVariable, .source = &variables.At(slot).value};
        } else {
            m_code[named.at] = named.otherwise;
            defined = defined && named.otherwise.op != FormulaOp::kUndefined;
        }
    }
    m_steps.clear();
    if (defined && m_depth <= kStackCapacity) BuildSteps();
}

void CFormulaProgram::BuildSteps() {
    // What the stack would hold: for each value, the step that computes it, or where a
    // number or variable lies.
    struct Operand {
        const double* at;
        const Step* producer;
        bool constant;
    };
    std::array<Operand, kStackCapacity> stack;
    size_t height = 0;
    // The operand at stack position `index` as a step reads it: null for the result of the
    // step just before, which the loop keeps in a register; otherwise storage, which the
    // producing step then fills (a computed value keeps its stack position's frame slot).
    const auto source = [this, &stack](size_t index) -> const double* {
        const Operand& operand = stack[index];
        if (operand.producer == nullptr) return operand.at;
        if (operand.producer == &m_steps.back()) return nullptr;
        Step& producer = m_steps[operand.producer - m_steps.data()];
        producer.result = &m_frame[index];
        return producer.result;
    };
    for (const FormulaInstruction& instruction : m_code) {
        switch (instruction.op) {
            case FormulaOp::kNumber:
                stack[height++] = {&instruction.value, nullptr, true};
                break;
            case FormulaOp::kVariable:
                stack[height++] = {instruction.source, nullptr, false};
                break;
            case FormulaOp::kNegate:
            case FormulaOp::kApply: {
                const double* a = source(height - 1);
                m_steps.push_back({instruction.op, nullptr, a, nullptr, instruction.function, 0});
                stack[height - 1] = {nullptr, &m_steps.back(), false};
                break;
            }
            default: {
                const bool constantDivisor = stack[--height].constant;
                const double* b = source(height);
                const double* a = source(height - 1);
                m_steps.push_back({instruction.op, nullptr, a, b, nullptr, 0});
                Step& step = m_steps.back();
                // Dividing by a power of two is multiplying by its exact reciprocal: the
                // same result bit for bit, without the slow division.
                int exponent = 0;
                if (step.op == FormulaOp::kDivide && constantDivisor &&
                    std::fabs(std::frexp(*b, &exponent)) == 0.5 && std::isnormal(1 / *b)) {
                    step.op = FormulaOp::kMultiply;
                    step.constant = 1 / *b;
                    step.b = &step.constant;
                }
                stack[height - 1] = {nullptr, &step, false};
                break;
            }
        }
    }
    if (m_steps.empty()) {
        // A formula that is a single number or variable.
        m_steps.push_back({FormulaOp::kCopy, nullptr, stack[0].at, nullptr, nullptr, 0});
    }
}

double CFormulaProgram::Run() const {
    if (m_steps.empty()) return RunPostfix();
    double last = 0.0;  // the result of the step before
    for (const Step& step : m_steps) {
        const double a = step.a ? *step.a : last;
        const double b = step.b ? *step.b : last;
        switch (step.op) {
            case FormulaOp::kCopy:
                last = a;
                break;
            case FormulaOp::kNegate:
                last = -a;
                break;
            case FormulaOp::kApply:
                last = step.function(a);
                break;
            // Each operation spelled out: the hot loop must not call through Arithmetic.
            case FormulaOp::kAdd:
                last = a + b;
                break;
            case FormulaOp::kSubtract:
                last = a - b;
                break;
            case FormulaOp::kMultiply:
                last = a * b;
                break;
            case FormulaOp::kDivide:
                last = Divide(a, b);
                break;
            case FormulaOp::kModulus:
                last = Modulus(a, b);
                break;
            default:
                last = Power(a, b);
                break;
        }
        if (step.result) *step.result = last;
    }
    return last;
}

double CFormulaProgram::RunPostfix() const {
    CEvalStack stack;
    for (const FormulaInstruction& instruction : m_code) {
        switch (instruction.op) {
            case FormulaOp::kNumber:
                stack.Push(instruction.value);
                break;
            case FormulaOp::kVariable:
                stack.Push(*instruction.source);
                break;
            case FormulaOp::kUndefined:
                RecordEvaluationError(FormulaError::kUndefinedVariable);
                stack.Push(NotANumber());
                break;
            case FormulaOp::kNegate:
                stack.Push(-stack.Pop());
                break;
            case FormulaOp::kApply:
                stack.Push(instruction.function(stack.Pop()));
                break;
            default: {
                const double b = stack.Pop();
                const double a = stack.Pop();
                stack.Push(Arithmetic(instruction.op, a, b));
                break;
            }
        }
    }
    return stack.Pop();
}

// ---------------------------------------------------------------------------------------
// Nodes

CFormulaNode::CFormulaNode(std::unique_ptr<CFormulaNode> operand)
    : m_operands{std::move(operand), nullptr}, m_count(1) {}

CFormulaNode::CFormulaNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
    : m_operands{std::move(left), std::move(right)}, m_count(2) {}

CFormulaNode::~CFormulaNode() {
    // Each subtree is taken apart by rotations: a node with a first operand becomes that
    // operand's second one, and a node without is deleted once its second operand is taken
    // out. Every node is thus deleted with no operands left, so deletion never recurses.
    for (std::unique_ptr<CFormulaNode>& operand : m_operands) {
        std::unique_ptr<CFormulaNode> node = std::move(operand);
        while (node) {
            if (node->m_operands[0]) {
                std::unique_ptr<CFormulaNode> first = std::move(node->m_operands[0]);
                node->m_operands[0] = std::move(first->m_operands[1]);
                first->m_operands[1] = std::move(node);
                node = std::move(first);
            } else {
                node = std::move(node->m_operands[1]);
            }
        }
    }
}

void CNumberNode::Emit(CFormulaProgram& program) const {
    const FormulaInstruction number{.op = FormulaOp::kNumber, .value = m_value};
    if (m_name.empty()) {
        program.Append(number);
    } else {
        program.AppendNamed(m_name, number);
    }
}

void CVariableNode::Emit(CFormulaProgram& program) const {
    program.AppendNamed(m_name, {.op = FormulaOp::kUndefined});
}

void CFunctionNode::Emit(CFormulaProgram& program) const {
    program.Append({.op = FormulaOp::kApply, .function = m_function});
}

void CNegateNode::Emit(CFormulaProgram& program) const {
    program.Append({.op = FormulaOp::kNegate});
}

void CBinaryNode::Emit(CFormulaProgram& program) const {
    program.Append({.op = m_op});
}
