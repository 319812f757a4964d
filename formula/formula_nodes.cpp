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

double DivideByZero(CEvaluationContext& context) {
    context.Record(FormulaError::kDivideByZero);
    return Infinity();
}

// The NaN `x` made quiet, as an arithmetic operation returns it.
double Quieted(double x) {
    return std::bit_cast<double>(std::bit_cast<uint64_t>(x) | 0x0008000000000000u);
}

// `result`, but the left operand's NaN when both are NaNs: the processor returns its first
// operand's, and the compiler may swap the operands of "+" and "*".
inline double LeftNaNFirst(double a, double result) {
    return std::isnan(result) && std::isnan(a) ? Quieted(a) : result;
}

// One operation of the instruction set, kNegate to kPower. Inlined into each evaluation
// loop so that the common intrinsics cost no call through a pointer, and shared by both
// forms of a program so that they compute alike.
[[gnu::always_inline]] inline double Operate(FormulaOp op, double a, double b,
                                             CEvaluationContext& context) {
    switch (op) {
        case FormulaOp::kNegate:
            return -a;
        case FormulaOp::kAbs:
            return std::fabs(a);
        case FormulaOp::kAcos:
            return Domain(std::acos(a), a);
        case FormulaOp::kAsin:
            return Domain(std::asin(a), a);
        case FormulaOp::kAtan:
            return std::atan(a);
        case FormulaOp::kCos:
            return Domain(std::cos(a), a);
        case FormulaOp::kCosh:
            return std::cosh(a);
        case FormulaOp::kCot: {
            const double tangent = std::tan(a);
            return IsZeroDivisor(tangent) ? DivideByZero(context) : 1 / tangent;
        }
        case FormulaOp::kExp:
            return std::exp(a);
        case FormulaOp::kLn:
            return Domain(std::log(a), a);
        case FormulaOp::kLog:
            return Domain(std::log10(a), a);
        case FormulaOp::kSin:
            return Domain(std::sin(a), a);
        case FormulaOp::kSinh:
            return std::sinh(a);
        case FormulaOp::kTan:
            return Domain(std::tan(a), a);
        case FormulaOp::kTanh:
            return std::tanh(a);
        case FormulaOp::kSqrt:
            return a < 0 ? NotANumber() : std::sqrt(a);
        case FormulaOp::kAdd:
            return LeftNaNFirst(a, a + b);
        case FormulaOp::kSubtract:
            return a - b;
        case FormulaOp::kMultiply:
            return LeftNaNFirst(a, a * b);
        case FormulaOp::kDivide:
            return IsZeroDivisor(b) ? DivideByZero(context) : a / b;
        case FormulaOp::kModulus:
            return IsZeroDivisor(b) ? DivideByZero(context) : Domain(std::fmod(a, b), a, b);
        default:  // kPower
            return LeftNaNFirst(a, Domain(std::pow(a, b), a, b));
    }
}

struct IntrinsicName {
    std::string_view name;
    FormulaOp function;
};

constexpr IntrinsicName kIntrinsics[] = {
    {"abs", FormulaOp::kAbs},     {"acos", FormulaOp::kAcos}, {"arccos", FormulaOp::kAcos},
    {"arcsin", FormulaOp::kAsin}, {"asin", FormulaOp::kAsin}, {"arctan", FormulaOp::kAtan},
    {"atan", FormulaOp::kAtan},   {"cos", FormulaOp::kCos},   {"cosh", FormulaOp::kCosh},
    {"cot", FormulaOp::kCot},     {"exp", FormulaOp::kExp},   {"ln", FormulaOp::kLn},
    {"log", FormulaOp::kLog},     {"sin", FormulaOp::kSin},   {"sinh", FormulaOp::kSinh},
    {"tan", FormulaOp::kTan},     {"tanh", FormulaOp::kTanh}, {"sqrt", FormulaOp::kSqrt},
};

bool IsBinary(FormulaOp op) {
    return op >= FormulaOp::kAdd && op <= FormulaOp::kPower;
}

// Values on the stack after an instruction minus values before it.
int32_t StackEffect(FormulaOp op) {
    switch (op) {
        case FormulaOp::kNumber:
        case FormulaOp::kVariable:
        case FormulaOp::kUndefined:
            return 1;
        default:
            return IsBinary(op) ? -1 : 0;
    }
}

// The evaluation stack: a push beyond the capacity is dropped and a pop from the empty
// stack returns the bottom slot, each recording its error.
class CEvalStack {
  public:
    // The bottom slot starts as not a number, so an underflow never reads an unset value.
    explicit CEvalStack(CEvaluationContext& context) : m_context(context) {
        m_values[0] = NotANumber();
    }

    void Push(double value) {
        if (m_count < CFormulaProgram::kStackCapacity) {
            m_values[m_count++] = value;
        } else {
            m_context.Record(FormulaError::kStackOverflow);
        }
    }
    double Pop() {
        if (m_count > 0) return m_values[--m_count];
        m_context.Record(FormulaError::kStackUnderflow);
        return m_values[0];
    }

  private:
    CEvaluationContext& m_context;
    int32_t m_count = 0;
    double m_values[CFormulaProgram::kStackCapacity];
};

}  // namespace

std::vector<std::string_view> IntrinsicNames() {
    std::vector<std::string_view> names;
    for (const IntrinsicName& intrinsic : kIntrinsics)
        names.push_back(intrinsic.name);
    return names;
}

std::optional<FormulaOp> FindIntrinsic(std::string_view name) {
    for (const IntrinsicName& intrinsic : kIntrinsics) {
        if (FormulaNamesEqual(intrinsic.name, name)) return intrinsic.function;
    }
    return std::nullopt;
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
        m_folded.reserve(m_code.size());
        m_frame.resize(m_depth + 1);  // the last slot takes the results no step reads
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
    m_operand = nullptr;
    if (defined && m_depth <= kStackCapacity) BuildSteps();
}

void CFormulaProgram::BuildSteps() {
    m_folded.clear();
    // What the stack would hold: for each value, the step that computes it, or where a
    // number, a variable or a folded value lies.
    struct Operand {
        const double* at;
        const Step* producer;
        bool constant;
    };
    std::array<Operand, kStackCapacity> stack;
    size_t height = 0;
    // The operand at stack position `index` as a step reads it: where a number, a variable
    // or a folded value lies, or the frame slot of that stack position, which the producing
    // step then fills.
    const auto source = [this, &stack](size_t index) -> const double* {
        const Operand& operand = stack[index];
        if (operand.producer == nullptr) return operand.at;
        Step& producer = m_steps[operand.producer - m_steps.data()];
        producer.result = &m_frame[index];
        return producer.result;
    };
    // Computes an operation whose operands are all constant now, when it records no error.
    const auto fold = [this](FormulaOp op, const Operand& a, const Operand* b) {
        CEvaluationContext context;
        const double value = Operate(op, *a.at, b ? *b->at : 0.0, context);
        if (context.Error() != FormulaError::kNone) return false;
        m_folded.push_back(value);
        return true;
    };
    for (const FormulaInstruction& instruction : m_code) {
        const FormulaOp op = instruction.op;
        if (op == FormulaOp::kNumber || op == FormulaOp::kVariable) {
            const bool constant = op == FormulaOp::kNumber;
            stack[height++] = {constant ? &instruction.value : instruction.source, nullptr,
                               constant};
            continue;
        }
        const bool binary = IsBinary(op);
        if (binary) --height;
        Operand& left = stack[height - 1];
        const Operand* right = binary ? &stack[height] : nullptr;
        if (left.constant && (!right || right->constant) && fold(op, left, right)) {
            left = {&m_folded.back(), nullptr, true};
            continue;
        }
        const double* a = source(height - 1);
        const double* b = binary ? source(height) : a;
        m_steps.push_back({op, &m_frame.back(), a, b, 0});
        Step& step = m_steps.back();
        // Dividing by a power of two is multiplying by its exact reciprocal: the same result
        // bit for bit, without the slow division.
        int exponent = 0;
        if (op == FormulaOp::kDivide && right->constant &&
            std::fabs(std::frexp(*b, &exponent)) == 0.5 && std::isnormal(1 / *b)) {
            step.op = FormulaOp::kMultiply;
            step.constant = 1 / *b;
            step.b = &step.constant;
        }
        left = {nullptr, &step, false};
    }
    // A formula that is a single number or variable, or that folded into one, is read
    // where it lies.
    if (m_steps.empty()) m_operand = stack[0].at;
}

double CFormulaProgram::RunSteps(CEvaluationContext& context) const {
    if (m_steps.empty()) return RunPostfix(context);
    double last = 0.0;  // the result of the step before
    for (const Step& step : m_steps) {
        last = Operate(step.op, *step.a, *step.b, context);
        *step.result = last;
    }
    return last;
}

double CFormulaProgram::RunPostfix(CEvaluationContext& context) const {
    CEvalStack stack(context);
    for (const FormulaInstruction& instruction : m_code) {
        switch (instruction.op) {
            case FormulaOp::kNumber:
                stack.Push(instruction.value);
                break;
            case FormulaOp::kVariable:
                stack.Push(*instruction.source);
                break;
            case FormulaOp::kUndefined:
                context.Record(FormulaError::kUndefinedVariable);
                stack.Push(NotANumber());
                break;
            default: {
                const double b = IsBinary(instruction.op) ? stack.Pop() : 0.0;
                const double a = stack.Pop();
                stack.Push(Operate(instruction.op, a, b, context));
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
    program.Append({.op = m_function});
}

double CFunctionNode::Apply(double x, CEvaluationContext& context) const {
    return Operate(m_function, x, 0.0, context);
}

void CNegateNode::Emit(CFormulaProgram& program) const {
    program.Append({.op = FormulaOp::kNegate});
}

void CBinaryNode::Emit(CFormulaProgram& program) const {
    program.Append({.op = m_op});
}
