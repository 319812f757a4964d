#include "blocks/arith/arithmetic.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>
#include <string>

#include "platform/property_bag.h"

namespace {

constexpr ArithmeticKind kArithmeticKinds[] = {
    {ArithOp::Add, "OVAdd", 51, VT_R8, 0.0, VT_R8},
    {ArithOp::Subtract, "OVSubtract", 66, VT_R8, 0.0, VT_R8},
    {ArithOp::Multiply, "OVMultiply", 61, VT_R8, 0.0, VT_R8},
    {ArithOp::Divide, "OVDivide", 56, VT_R8, 1.0, VT_R8},
    {ArithOp::Modulus, "OVModulus", 59, VT_I4, 1.0, VT_I4},
};

constexpr bool ArithmeticKindsInOrder() {
    for (size_t i = 0; i < std::size(kArithmeticKinds); ++i) {
        if (static_cast<size_t>(kArithmeticKinds[i].op) != i) return false;
    }
    return true;
}
static_assert(ArithmeticKindsInOrder() && std::size(kArithmeticKinds) == kArithOpCount,
              "kArithmeticKinds is indexed by ArithOp");

// The NaN the divide block delivers on overflow: sign set, quiet.
const double kDivideOverflowNaN = std::bit_cast<double>(0xFFF8000000000000ull);

[[gnu::noinline]] bool ConvertToDouble(const Variant& v, double& out) {
    Variant d;
    if (FAILED(VariantChangeType(&d, &v, 0, VT_R8))) return false;
    out = d.dblVal();
    return true;
}

// Inputs are doubles on nearly every run: read those in place and leave the
// conversion call, and a result's trip through memory, to the rest.
inline bool ToDouble(const Variant& v, double& out) {
    if (v.vt() != VT_R8) return ConvertToDouble(v, out);
    out = v.dblVal();
    return true;
}

std::optional<int32_t> AsLong(const Variant& v) {
    Variant l;
    if (FAILED(VariantChangeType(&l, &v, 0, VT_I4))) return std::nullopt;
    return l.lVal();
}

std::optional<std::string> AsText(const Variant& v) {
    Variant s;
    if (FAILED(VariantChangeType(&s, &v, 0, VT_BSTR))) return std::nullopt;
    return s.bstrVal();
}

// A number at the start of the text (strtod rules), as the text road of the
// subtract, multiply, divide and modulus blocks reads it: trailing characters
// are ignored, but at least one character must be consumed.
std::optional<double> LeadingNumber(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return std::nullopt;
    return value;
}

// The add block wants the whole text to be a number, trailing blanks aside.
std::optional<double> WholeNumber(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return std::nullopt;
    return value;
}

ArithmeticResult Failure(int32_t status) {
    return {status, false, Variant()};
}
ArithmeticResult FailureWith(int32_t status, Variant value) {
    return {status, true, std::move(value)};
}
ArithmeticResult Success(Variant value) {
    return {0, true, std::move(value)};
}

ArithmeticResult Numeric(ArithOp op, double x, double y) {
    const double L = OverflowLimit;
    switch (op) {
        case ArithOp::Add:
            if (y > L - x || y < -L - x) return Failure(DISP_E_OVERFLOW);
            return Success(Variant::R8(x + y));
        case ArithOp::Subtract:
            if (y + L >= x && y - L <= x) return Success(Variant::R8(x - y));
            return FailureWith(DISP_E_OVERFLOW, Variant::R8(0.0));
        case ArithOp::Multiply:
            // y = 0 makes the bound infinite, so the product is 0.
            if (std::fabs(x) <= L / std::fabs(y)) return Success(Variant::R8(x * y));
            return FailureWith(DISP_E_OVERFLOW, Variant::R8(0.0));
        case ArithOp::Divide:
            if (y == 0) {
                return FailureWith(ERROR_DIVIDE_BY_ZERO_HR,
                                   Variant::R8(std::numeric_limits<double>::infinity()));
            }
            if (std::fabs(x) > std::fabs(y) * L) {
                return FailureWith(DISP_E_OVERFLOW, Variant::R8(kDivideOverflowNaN));
            }
            return Success(Variant::R8(x / y));
        case ArithOp::Modulus:
            break;
    }
    return Failure(E_UNEXPECTED);
}

ArithmeticResult Remainder(int32_t x, int32_t y) {
    if (y == 0) return Failure(ERROR_DIVIDE_BY_ZERO_HR);
    // INT32_MIN % -1 traps in hardware; the remainder is 0.
    if (y == -1) return Success(Variant::I4(0));
    return Success(Variant::I4(x % y));
}

ArithmeticResult Modulus(const Variant& x, const Variant& y) {
    auto lx = AsLong(x), ly = AsLong(y);
    if (lx && ly) return Remainder(*lx, *ly);
    auto tx = AsText(x), ty = AsText(y);
    if (!tx || !ty) return Failure(TYPE_E_TYPEMISMATCH);
    auto nx = LeadingNumber(*tx), ny = LeadingNumber(*ty);
    if (!nx || !ny) return Failure(ERROR_INVALID_DATA_HR);
    auto rx = AsLong(Variant::R8(*nx)), ry = AsLong(Variant::R8(*ny));
    // Numbers beyond the long range compute nothing and leave the status at 0.
    if (!rx || !ry) return Failure(0);
    return Remainder(*rx, *ry);
}

}  // namespace

ArithmeticResult ComputeArithmetic(ArithOp op, const Variant& x, const Variant& y) {
    if (op == ArithOp::Modulus) return Modulus(x, y);
    double dx = 0, dy = 0;
    if (ToDouble(x, dx) && ToDouble(y, dy)) return Numeric(op, dx, dy);
    auto tx = AsText(x), ty = AsText(y);
    if (!tx || !ty) return Failure(TYPE_E_TYPEMISMATCH);
    if (op == ArithOp::Add) {
        auto nx = WholeNumber(*tx), ny = WholeNumber(*ty);
        if (nx && ny) return Numeric(op, *nx, *ny);
        return Success(Variant::Str(*tx + *ty));
    }
    auto nx = LeadingNumber(*tx), ny = LeadingNumber(*ty);
    if (!nx || !ny) return Failure(ERROR_INVALID_DATA_HR);
    return Numeric(op, *nx, *ny);
}

// --- the block --------------------------------------------------------------

COVArithmeticCtrl::COVArithmeticCtrl(ArithOp op)
    : COVBaseMathCtrl(3), kind_(kArithmeticKinds[static_cast<size_t>(op)]) {}

const DispatchTable& COVArithmeticCtrl::ArithmeticMembers() {
    using C = COVArithmeticCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputX, &C::SetInputX>("InputX", 1, "First operand")
                .Input(2)
                .Reset<&C::InputX>({VT_I4, 0}),
            Property<&C::GetInputY, &C::SetInputY>("InputY", 2, "Second operand").Input(3),
            // The common DISPID + 1 mapping sends the output beyond the table:
            // it is no input.
            Property<&C::GetValue, &C::SetValue>("Value", 3, "Result of the last computation")
                .Input(4)
                .HiddenPut(),
            Method<&C::Operate>("Operate", 4, "Computes at once and returns Value"),
        });
    return table;
}

namespace {

constexpr ControlClass ArithmeticClass(ArithOp op) {
    return {&COVArithmeticCtrl::ArithmeticMembers, &COVBaseMathCtrl::BaseEvents,
            kArithmeticKinds[static_cast<size_t>(op)].helpContext};
}

}  // namespace

constinit const ControlClass COVArithmeticCtrl::kKindClasses[kArithOpCount] = {
    ArithmeticClass(ArithOp::Add),      ArithmeticClass(ArithOp::Subtract),
    ArithmeticClass(ArithOp::Multiply), ArithmeticClass(ArithOp::Divide),
    ArithmeticClass(ArithOp::Modulus),
};

void COVArithmeticCtrl::SetValue(const Variant& value) {
    PutSetting(Value, value);
}

Variant COVArithmeticCtrl::Operate() {
    Compute();
    return Value;
}

void COVArithmeticCtrl::Compute() {
    ClearStatus();
    ArithmeticResult result = ComputeArithmetic(kind_.op, InputX, InputY);
    m_lStatusCode = result.status;
    if (result.store) Value = std::move(result.value);
    // The divide block still delivers infinity or NaN on those two failures.
    bool ready = m_lStatusCode == 0 ||
                 (kind_.op == ArithOp::Divide &&
                  (m_lStatusCode == ERROR_DIVIDE_BY_ZERO_HR || m_lStatusCode == DISP_E_OVERFLOW));
    FireResults(this, m_lStatusCode == 0, ready);
}

void COVArithmeticCtrl::DoPropExchange(CPropExchange* pPX) {
    COVBaseMathCtrl::DoPropExchange(pPX);
    // The stored kind and InputY's default depend on the block's kind, and the
    // five kinds share one member table, so the inputs are exchanged here.
    // Inputs save as zero when they do not convert, whatever their load default.
    Variant zero, defaultY = Variant::R8(kind_.defaultY);
    VariantChangeType(&zero, &zero, 0, kind_.persistedKind);
    VariantChangeType(&defaultY, &defaultY, 0, kind_.persistedKind);
    ExchangeInput(pPX, "InputX", InputX, kind_.persistedKind, zero);
    ExchangeInput(pPX, "InputY", InputY, kind_.persistedKind, defaultY);
}

void COVArithmeticCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    Value = Variant();
    VariantChangeType(&Value, &Value, 0, kind_.valueKind);
    InputY = Variant::I4(static_cast<int32_t>(kind_.defaultY));
}
