#pragma once
// The six logic blocks: OVAnd, OVOr, OVXor, OVNand, OVNor (inputs InputX and
// InputY) and OVNot (input Input). The kinds of the values that arrive choose
// the operation: a Boolean operand makes it logical, integer operands make it
// bitwise on the width of the wider operand. The members differ only by the
// data in their LogicKind.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "framework/base_math_ctrl.h"
#include "framework/family_block.h"

enum class LogicOp : uint8_t { And, Or, Xor, Nand, Nor, Not };
constexpr size_t kLogicOpCount = 6;

// Applies `op` to `inputs` (two values, one for Not) as the logic blocks do.
// First, in place and visible to the caller afterwards: a text becomes what
// ConvertStringInput makes of it, and a float or double becomes a long when it
// fits (rounded to even; one out of range stays as it is). Then:
// - when an input holds a Boolean, every input is read as a truth value and
//   the result is a Boolean (-1 true, 0 false);
// - otherwise every input must be an integer of the byte class (VT_I1,
//   VT_UI1), word class (VT_I2, VT_UI2, VT_INT, VT_UINT, operated on 16 bits)
//   or long class (VT_I4, VT_UI4); the result takes the kind of the widest
//   (the first input's on a tie), the inputs are converted to it and combined
//   bitwise on its width. Xor, Nand, Nor and Not keep only the lowest bit when
//   every operand is 0 or 1, so that 0 and 1 act as truth values.
// Returns the result, or nullopt when an input has no usable kind or does not
// convert (type mismatch). A VT_INT result holds its 16 bits sign-extended, a
// VT_UINT result zero-extended.
std::optional<Variant> ComputeLogic(LogicOp op, std::span<Variant> inputs);

// What tells one logic block from another.
struct LogicKind {
    LogicOp op;
    std::string_view shortName;  // "OVAnd"
    int32_t helpContext;
    int32_t inputCount;  // 2, or 1 for Not
    bool emptiesValue;   // a run starts by emptying Value, so a failure leaves it empty
    bool initialValue;   // Value after a reset
};

// Indexed by LogicOp.
extern const LogicKind kLogicKinds[kLogicOpCount];

class COVLogicCtrl : public COVBaseMathCtrl {
  public:
    explicit COVLogicCtrl(LogicOp op);

    // The member table of a block with `inputCount` inputs: the inputs from
    // DISPID 1, then Value, Operate and BooleanType.
    static const DispatchTable& LogicMembers(int32_t inputCount);
    // Indexed by LogicOp.
    static const ControlClass kKindClasses[kLogicOpCount];
    const ControlClass& Class() const override {
        return kKindClasses[static_cast<size_t>(kind_.op)];
    }
    const LogicKind& Kind() const { return kind_; }

    Variant GetInputX() const { return m_inputs[0]; }
    void SetInputX(const Variant& value) { PutInput(1, m_inputs[0], value); }
    Variant GetInputY() const { return m_inputs[1]; }
    void SetInputY(const Variant& value) { PutInput(2, m_inputs[1], value); }
    Variant GetValue() const { return Value; }
    void SetValue(const Variant& value);
    Variant Operate();
    bool GetBooleanType() const { return m_bBooleanType != FALSE; }
    void SetBooleanType(bool value);

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;

  private:
    std::span<Variant> Inputs() { return {m_inputs, static_cast<size_t>(kind_.inputCount)}; }

    const LogicKind& kind_;
    Variant m_inputs[2];  // InputX and InputY; Not uses the first as Input
    Variant Value;
    // Only says how the design-time inputs persist (Booleans or longs); a run
    // never reads it.
    BOOL m_bBooleanType = TRUE;
};

using COVAndCtrl = FamilyBlock<COVLogicCtrl, LogicOp::And>;
using COVOrCtrl = FamilyBlock<COVLogicCtrl, LogicOp::Or>;
using COVXorCtrl = FamilyBlock<COVLogicCtrl, LogicOp::Xor>;
using COVNandCtrl = FamilyBlock<COVLogicCtrl, LogicOp::Nand>;
using COVNorCtrl = FamilyBlock<COVLogicCtrl, LogicOp::Nor>;
using COVNotCtrl = FamilyBlock<COVLogicCtrl, LogicOp::Not>;
