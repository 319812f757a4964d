#pragma once
// The expression tree of a parsed formula and the flat program it is compiled into.
//
// Walking the tree to evaluate would cost a virtual call and a bounds-checked push per node
// on every evaluation, so the tree of a successful parse is compiled once into a postfix
// program (CFormulaProgram) whose instructions make exactly the pushes and pops the tree
// walk would: the same values and the same errors, in the same order.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formula/math_formula.h"

// Every intrinsic name the parser knows, in table order (for references and tools).
std::vector<std::string_view> IntrinsicNames();

enum class FormulaOp : uint8_t {
    kNumber,     // push value
    kVariable,   // push the value at source
    kUndefined,  // record an undefined name, push not a number
    kNegate,     // pop x, push x with its sign bit inverted
    // The intrinsic functions: pop x, push f(x).
    kAbs,
    kAcos,
    kAsin,
    kAtan,
    kCos,
    kCosh,
    kCot,
    kExp,
    kLn,
    kLog,
    kSin,
    kSinh,
    kTan,
    kTanh,
    kSqrt,
    kAdd,  // pop b, pop a, push a + b; likewise the other binary operations
    kSubtract,
    kMultiply,
    kDivide,
    kModulus,
    kPower,
};

// The intrinsic function named `name` (any case; the aliases "acos" and "arccos", "asin"
// and "arcsin", "atan" and "arctan" give one function each), or none for any other word.
std::optional<FormulaOp> FindIntrinsic(std::string_view name);

// An instruction of the postfix code.
struct FormulaInstruction {
    FormulaOp op = FormulaOp::kNumber;
    double value = 0.0;
    const double* source = nullptr;
};

// A compiled formula. Operations on two NaNs give the left one's NaN (quieted), in both
// forms: the processor would return the first operand's, and the compiler may swap the
// operands of "+" and "*".
//
// The postfix code is the tree in post-order, run on a bounded stack exactly as a walk of
// the tree would. When the formula cannot overflow the stack and every name it reads is
// defined, no stack check can fail and no error but a zero divisor can occur, so Bind also
// builds a register form: every stack position becomes a fixed slot of a frame, and every
// operand that is a number or a variable is read where it lies instead of being pushed.
// The register form computes the same operations in the same order, so it gives the same
// values and errors with a fraction of the instructions. A subtree that reads no variable
// is computed once, when the register form is built, unless it records an error (1/0
// must record its error at every evaluation): the same operations in the same order give
// the same value then as at every evaluation.
class CFormulaProgram {
  public:
    // The evaluation stack holds this many values; a formula that needs more overflows.
    static constexpr int32_t kStackCapacity = 256;

    // Builds the program of the tree at `root`, which must be complete (no missing
    // operand) and must outlive the program (names are not copied). Deep trees are walked
    // without recursion. Throws std::bad_alloc.
    explicit CFormulaProgram(const class CFormulaNode& root);

    // For the nodes' Emit. A named instruction reads the variable of that name when the
    // table has one at Bind, and is `otherwise` when it has not. Both throw std::bad_alloc.
    void Append(const FormulaInstruction& instruction);
    void AppendNamed(std::string_view name, const FormulaInstruction& otherwise);

    // Resolves every name against `variables`. The program reads the values where they lie
    // in the table, so Bind must be repeated after the table gains or loses variables.
    // Never allocates.
    void Bind(const CFormulaVariableTable& variables);

    // Evaluates over the values the variables of the last Bind hold now, and returns the
    // value left on the stack. Errors go to `context`: an undefined name, a zero divisor, and
    // a stack overflow or underflow when more than kStackCapacity values are pending.
    double Run(CEvaluationContext& context) const {
        return m_operand ? *m_operand : RunSteps(context);  // inline: one call fewer
    }

  private:
    struct NamedSlot {
        size_t at;  // index into m_code
        std::string_view name;
        FormulaInstruction otherwise;
    };
    // An instruction of the register form: op(*a, *b), stored at *result, a frame slot. Every
    // operand is read from memory, even the result of the step just before: testing per
    // operand whether it is already in a register costs more than the store and load it
    // saves. A unary step's b is its a.
    struct Step {
        FormulaOp op;
        double* result;
        const double* a;
        const double* b;
        double constant;  // an operand the step carries itself
    };

    void BuildSteps();
    double RunSteps(CEvaluationContext& context) const;
    double RunPostfix(CEvaluationContext& context) const;

    std::vector<FormulaInstruction> m_code;
    std::vector<NamedSlot> m_names;
    int32_t m_height = 0;  // values on the stack after the code so far
    int32_t m_depth = 0;   // the most values the stack holds at once
    // The register form; empty when the postfix code must run, or when the whole formula is
    // one operand: then m_operand points at it.
    std::vector<Step> m_steps;
    const double* m_operand = nullptr;
    std::vector<double> m_frame;
    // The values of the subtrees that read no variable, computed once by Bind.
    std::vector<double> m_folded;
};

// A node of the expression tree. Each node owns its operands and deletes them with itself.
// In the partial tree of a failed parse an operand may be missing (null).
class CFormulaNode {
  public:
    CFormulaNode(const CFormulaNode&) = delete;
    CFormulaNode& operator=(const CFormulaNode&) = delete;

    // Deletes the whole subtree without recursion and without allocating, so a tree of any
    // depth (1+2+...+n nests n deep to the left) is safe to delete.
    virtual ~CFormulaNode();

    // Appends this node's own instruction, not its operands', to `program`.
    virtual void Emit(CFormulaProgram& program) const = 0;

    int OperandCount() const { return m_count; }
    // Operand `index`, 0 <= index < OperandCount(); null when missing.
    const CFormulaNode* Operand(int index) const { return m_operands[index].get(); }

  protected:
    CFormulaNode() = default;
    explicit CFormulaNode(std::unique_ptr<CFormulaNode> operand);
    CFormulaNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right);

  private:
    std::array<std::unique_ptr<CFormulaNode>, 2> m_operands;
    int m_count = 0;
};

// A number, or the constant "e" or "pi": then `name` is "e" or "pi", and a variable of that
// name, when one exists at evaluation, is read instead of `value`.
class CNumberNode final : public CFormulaNode {
  public:
    CNumberNode(double value, std::string_view name) : m_value(value), m_name(name) {}
    void Emit(CFormulaProgram& program) const override;

  private:
    double m_value;
    std::string m_name;
};

// A reference to a variable, by its name as written.
class CVariableNode final : public CFormulaNode {
  public:
    explicit CVariableNode(std::string_view name) : m_name(name) {}
    void Emit(CFormulaProgram& program) const override;

  private:
    std::string m_name;
};

// A call of an intrinsic function.
class CFunctionNode final : public CFormulaNode {
  public:
    // `function` is one of the intrinsic operations (kAbs to kSqrt).
    CFunctionNode(FormulaOp function, std::unique_ptr<CFormulaNode> argument)
        : CFormulaNode(std::move(argument)), m_function(function) {}
    void Emit(CFormulaProgram& program) const override;

    // The intrinsic function itself; a zero divisor of "cot" is recorded in `context`.
    double Apply(double x, CEvaluationContext& context) const;

  private:
    FormulaOp m_function;
};

// Prefix minus.
class CNegateNode final : public CFormulaNode {
  public:
    explicit CNegateNode(std::unique_ptr<CFormulaNode> operand)
        : CFormulaNode(std::move(operand)) {}
    void Emit(CFormulaProgram& program) const override;
};

// An infix operator: the operation combining its left and right operands.
class CBinaryNode : public CFormulaNode {
  public:
    void Emit(CFormulaProgram& program) const final;

  protected:
    CBinaryNode(FormulaOp op, std::unique_ptr<CFormulaNode> left,
                std::unique_ptr<CFormulaNode> right)
        : CFormulaNode(std::move(left), std::move(right)), m_op(op) {}

  private:
    FormulaOp m_op;
};

class CAddNode final : public CBinaryNode {
  public:
    CAddNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kAdd, std::move(left), std::move(right)) {}
};

class CSubtractNode final : public CBinaryNode {
  public:
    CSubtractNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kSubtract, std::move(left), std::move(right)) {}
};

class CMultiplyNode final : public CBinaryNode {
  public:
    CMultiplyNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kMultiply, std::move(left), std::move(right)) {}
};

class CDivideNode final : public CBinaryNode {
  public:
    CDivideNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kDivide, std::move(left), std::move(right)) {}
};

// "%" and "mod".
class CModulusNode final : public CBinaryNode {
  public:
    CModulusNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kModulus, std::move(left), std::move(right)) {}
};

// "^": the left operand is the base, the right one the exponent.
class CPowerNode final : public CBinaryNode {
  public:
    CPowerNode(std::unique_ptr<CFormulaNode> left, std::unique_ptr<CFormulaNode> right)
        : CBinaryNode(FormulaOp::kPower, std::move(left), std::move(right)) {}
};
