#include "blocks/logic/logic.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/block_value.h"

constexpr LogicKind kLogicKinds[kLogicOpCount] = {
    {LogicOp::And, "OVAnd", 1, 2, false, true}, {LogicOp::Or, "OVOr", 8, 2, false, true},
    {LogicOp::Xor, "OVXor", 9, 2, true, false}, {LogicOp::Nand, "OVNand", 5, 2, true, true},
    {LogicOp::Nor, "OVNor", 6, 2, true, false}, {LogicOp::Not, "OVNot", 7, 1, true, false},
};

namespace {

// The operation on operands widened to 32 bits; Not ignores `y`.
struct LogicRule {
    uint32_t (*apply)(uint32_t x, uint32_t y);
    bool zeroOneRule;  // operands of only 0 and 1 give 0 or 1
};

// Indexed by LogicOp.
constexpr LogicRule kRules[kLogicOpCount] = {
    {[](uint32_t x, uint32_t y) { return x & y; }, false},
    {[](uint32_t x, uint32_t y) { return x | y; }, false},
    {[](uint32_t x, uint32_t y) { return x ^ y; }, true},
    {[](uint32_t x, uint32_t y) { return ~(x & y); }, true},
    {[](uint32_t x, uint32_t y) { return ~(x | y); }, true},
    {[](uint32_t x, uint32_t) { return ~x; }, true},
};

// An integer kind the logic blocks operate on: its width class, how an
// operand of the kind widens to 32 bits (byte class zero-extended, word class
// sign-extended from its 16 bits) and how a 32-bit result narrows back.
struct IntegerKind {
    VARTYPE vt;
    int bits;
    uint32_t (*widen)(const Variant& v);
    Variant (*make)(uint32_t r);
};

constexpr IntegerKind kIntegerKinds[] = {
    {VT_I1, 8, [](const Variant& v) -> uint32_t { return static_cast<uint8_t>(v.cVal()); },
     [](uint32_t r) { return Variant::I1(static_cast<int8_t>(r)); }},
    {VT_UI1, 8, [](const Variant& v) -> uint32_t { return v.bVal(); },
     [](uint32_t r) { return Variant::UI1(static_cast<uint8_t>(r)); }},
    {VT_I2, 16, [](const Variant& v) -> uint32_t { return static_cast<int32_t>(v.iVal()); },
     [](uint32_t r) { return Variant::I2(static_cast<int16_t>(r)); }},
    {VT_UI2, 16, [](const Variant& v) -> uint32_t { return static_cast<int16_t>(v.uiVal()); },
     [](uint32_t r) { return Variant::UI2(static_cast<uint16_t>(r)); }},
    {VT_INT, 16, [](const Variant& v) -> uint32_t { return static_cast<int16_t>(v.lVal()); },
     [](uint32_t r) { return Variant::Int(static_cast<int16_t>(r)); }},
    {VT_UINT, 16, [](const Variant& v) -> uint32_t { return static_cast<int16_t>(v.ulVal()); },
     [](uint32_t r) { return Variant::UInt(static_cast<uint16_t>(r)); }},
    {VT_I4, 32, [](const Variant& v) -> uint32_t { return static_cast<uint32_t>(v.lVal()); },
     [](uint32_t r) { return Variant::I4(static_cast<int32_t>(r)); }},
    {VT_UI4, 32, [](const Variant& v) -> uint32_t { return v.ulVal(); },
     [](uint32_t r) { return Variant::UI4(r); }},
};

// Every integer kind up to 32 bits has a width class; the 64-bit ones have none.
static_assert(InStepWithValueKinds(kIntegerKinds, [](const ValueKind& k) {
    return k.integer != IntegerClass::kNone && k.payloadBytes <= 4;
}));

const IntegerKind* FindIntegerKind(VARTYPE vt) {
    for (const IntegerKind& k : kIntegerKinds) {
        if (k.vt == vt) return &k;
    }
    return nullptr;
}

// Every input's value as an operand: a truth value (0 or 1) or an integer of
// the result kind widened to 32 bits. False when one does not convert.
bool Operands(std::span<const Variant> inputs, VARTYPE kind,
              uint32_t (*read)(const Variant& converted), uint32_t out[2]) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        Variant converted;
        if (FAILED(VariantChangeType(&converted, &inputs[i], 0, kind))) return false;
        out[i] = read(converted);
    }
    return true;
}

std::optional<Variant> Logical(const LogicRule& rule, std::span<const Variant> inputs) {
    uint32_t truth[2] = {0, 0};
    auto read = [](const Variant& b) -> uint32_t { return b.boolVal() != 0 ? 1 : 0; };
    if (!Operands(inputs, VT_BOOL, read, truth)) return std::nullopt;
    return Variant::Bool((rule.apply(truth[0], truth[1]) & 1) != 0);
}

std::optional<Variant> Bitwise(const LogicRule& rule, std::span<const Variant> inputs) {
    const IntegerKind* result = nullptr;
    for (const Variant& v : inputs) {
        const IntegerKind* k = FindIntegerKind(v.vt());
        if (k == nullptr) return std::nullopt;
        // A later input's kind wins only when its class is strictly wider.
        if (result == nullptr || k->bits > result->bits) result = k;
    }
    uint32_t operand[2] = {0, 0};
    if (!Operands(inputs, result->vt, result->widen, operand)) return std::nullopt;
    uint32_t r = rule.apply(operand[0], operand[1]);
    const bool zeroOne =
        std::all_of(operand, operand + inputs.size(), [](uint32_t w) { return w <= 1; });
    if (rule.zeroOneRule && zeroOne) r &= 1;
    return result->make(r);
}

}  // namespace

std::optional<Variant> ComputeLogic(LogicOp op, std::span<Variant> inputs) {
    for (Variant& v : inputs) {
        if (v.vt() == VT_BSTR) ConvertStringInput(v);
    }
    for (Variant& v : inputs) {
        // Out of the long range the value stays floating point (and fails below).
        if (v.vt() == VT_R4 || v.vt() == VT_R8) VariantChangeType(&v, &v, 0, VT_I4);
    }
    const LogicRule& rule = kRules[static_cast<size_t>(op)];
    const bool logical = std::any_of(inputs.begin(), inputs.end(),
                                     [](const Variant& v) { return v.vt() == VT_BOOL; });
    return logical ? Logical(rule, inputs) : Bitwise(rule, inputs);
}

// --- the block --------------------------------------------------------------

COVLogicCtrl::COVLogicCtrl(LogicOp op)
    : COVBaseMathCtrl(kLogicKinds[static_cast<size_t>(op)].inputCount + 1),
      kind_(kLogicKinds[static_cast<size_t>(op)]) {}

namespace {

// Persisted and member names of the inputs, by input count.
constexpr const char* kInputNames[2][2] = {{"Input", nullptr}, {"InputX", "InputY"}};
// A new block's inputs: true (raw 1).
constexpr PlainValue kTrue{VT_BOOL, 1};

}  // namespace

const DispatchTable& COVLogicCtrl::LogicMembers(int32_t inputCount) {
    using C = COVLogicCtrl;
    auto build = [](int32_t inputs) {
        const DISPID value = inputs + 1;
        std::vector<MemberDesc> own = {
            Property<&C::GetInputX, &C::SetInputX>(kInputNames[inputs - 1][0], 1,
                                                   inputs == 1 ? "Operand" : "First operand")
                .Input(2)
                .Reset<&C::m_inputs, 0>(kTrue),
        };
        if (inputs == 2) {
            own.push_back(
                Property<&C::GetInputY, &C::SetInputY>(kInputNames[1][1], 2, "Second operand")
                    .Input(3)
                    .Reset<&C::m_inputs, 1>(kTrue));
        }
        own.push_back(
            Property<&C::GetValue, &C::SetValue>("Value", value, "Result of the last computation")
                .HiddenPut());
        own.push_back(
            Method<&C::Operate>("Operate", value + 1, "Computes at once and returns Value"));
        own.push_back(
            Property<&C::GetBooleanType, &C::SetBooleanType>(
                "BooleanType", value + 2, "True when the initial input values are Booleans")
                .Persist<&C::m_bBooleanType>("BooleanType", {VT_BOOL, 1})
                .Reset<&C::m_bBooleanType>({VT_BOOL, 1}));
        return own;
    };
    static const DispatchTable unary(&COVBaseMathCtrl::BaseMembers(), build(1));
    static const DispatchTable binary(&COVBaseMathCtrl::BaseMembers(), build(2));
    return inputCount == 1 ? unary : binary;
}

namespace {

template <LogicOp Op>
const DispatchTable& LogicKindMembers() {
    return COVLogicCtrl::LogicMembers(kLogicKinds[static_cast<size_t>(Op)].inputCount);
}

template <LogicOp Op>
constexpr ControlClass LogicClass() {
    return {&LogicKindMembers<Op>, &COVBaseMathCtrl::BaseEvents,
            kLogicKinds[static_cast<size_t>(Op)].helpContext};
}

}  // namespace

constinit const ControlClass COVLogicCtrl::kKindClasses[kLogicOpCount] = {
    LogicClass<LogicOp::And>(),  LogicClass<LogicOp::Or>(),  LogicClass<LogicOp::Xor>(),
    LogicClass<LogicOp::Nand>(), LogicClass<LogicOp::Nor>(), LogicClass<LogicOp::Not>(),
};

void COVLogicCtrl::SetValue(const Variant& value) {
    PutSetting(Value, value);
}

Variant COVLogicCtrl::Operate() {
    Compute();
    return Value;
}

void COVLogicCtrl::SetBooleanType(bool value) {
    PutBoundSetting(kind_.inputCount + 3, m_bBooleanType, value);
}

void COVLogicCtrl::Compute() {
    ClearStatus();
    if (kind_.emptiesValue) Value.Clear();
    if (std::optional<Variant> result = ComputeLogic(kind_.op, Inputs())) {
        Value = std::move(*result);
    } else {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
    }
    FireResults(this);
}

void COVLogicCtrl::DoPropExchange(CPropExchange* pPX) {
    // BooleanType, exchanged by the base, decides how the inputs persist.
    COVBaseMathCtrl::DoPropExchange(pPX);
    // The reset's true (raw 1) is also what a missing or unconvertible input
    // persists as.
    const VARTYPE kind = m_bBooleanType ? VT_BOOL : VT_I4;
    const Variant fallback = m_bBooleanType ? Variant::BoolRaw(1) : Variant::I4(1);
    const std::span<Variant> inputs = Inputs();
    for (size_t i = 0; i < inputs.size(); ++i) {
        PX_Variant(pPX, kInputNames[kind_.inputCount - 1][i], inputs[i], kind, fallback);
    }
}

void COVLogicCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    // Value's reset depends on the kind, and the kinds share member tables.
    Value = Variant::BoolRaw(kind_.initialValue ? 1 : 0);
}
