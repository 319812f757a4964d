#include "blocks/arith/arithmetic.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const Variant kArray = V("r8[0, 0]");  // a kind no rule converts

struct ArithCase {
    ArithOp op;
    Variant x, y;
    int32_t status;
    Variant value;  // what Value holds afterwards; kBefore: the run stores nothing
};

const Variant kBefore = Variant::R8(-123.0);

TEST(Arithmetic, TableOfOutcomes) {
    using enum ArithOp;
    const double L = OverflowLimit;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::bit_cast<double>(0xFFF8000000000000ull);
    const ArithCase cases[] = {
        // Numeric road.
        {Add, Variant::I4(2), Variant::R8(2.5), 0, Variant::R8(4.5)},
        {Add, Variant::Str("2"), Variant::Str("3"), 0, Variant::R8(5)},
        {Add, Variant::Bool(true), Variant::I2(1), 0, Variant::R8(0)},
        {Add, Variant::R8(L), Variant::R8(L), DISP_E_OVERFLOW, kBefore},
        {Add, Variant::R8(-L), Variant::R8(-1e300), DISP_E_OVERFLOW, kBefore},
        {Add, Variant::R8(L), Variant::R8(0), 0, Variant::R8(L)},
        {Subtract, Variant::R8(L), Variant::R8(L), 0, Variant::R8(0)},
        {Subtract, Variant::R8(L), Variant::R8(-L), DISP_E_OVERFLOW, Variant::R8(0)},
        {Subtract, Variant::R8(L), Variant::R8(0), 0, Variant::R8(L)},  // at the limit
        {Subtract, Variant::R8(-L), Variant::R8(0), 0, Variant::R8(-L)},
        {Subtract, Variant::R8(-L), Variant::R8(1e300), DISP_E_OVERFLOW, Variant::R8(0)},
        {Subtract, Variant::R8(5), Variant::I4(7), 0, Variant::R8(-2)},
        {Multiply, Variant::R8(1e300), Variant::R8(0), 0, Variant::R8(0)},
        {Multiply, Variant::R8(L), Variant::R8(0), 0, Variant::R8(0)},
        {Multiply, Variant::R8(1e200), Variant::R8(1e200), DISP_E_OVERFLOW, Variant::R8(0)},
        {Multiply, Variant::I4(-3), Variant::R8(2.5), 0, Variant::R8(-7.5)},
        {Divide, Variant::R8(1), Variant::R8(0), ERROR_DIVIDE_BY_ZERO_HR, Variant::R8(inf)},
        {Divide, Variant::R8(-1), Variant::I4(0), ERROR_DIVIDE_BY_ZERO_HR, Variant::R8(inf)},
        {Divide, Variant::R8(1e300), Variant::R8(1e-300), DISP_E_OVERFLOW, Variant::R8(nan)},
        {Divide, Variant::I4(7), Variant::I4(2), 0, Variant::R8(3.5)},
        {Modulus, Variant::I4(-7), Variant::I4(3), 0, Variant::I4(-1)},
        {Modulus, Variant::I4(7), Variant::I4(-3), 0, Variant::I4(1)},
        {Modulus, Variant::R8(7.5), Variant::I4(2), 0, Variant::I4(0)},  // 8 mod 2
        {Modulus, Variant::R8(6.5), Variant::I4(4), 0, Variant::I4(2)},  // 6 mod 4
        {Modulus, Variant::I4(5), Variant::I4(0), ERROR_DIVIDE_BY_ZERO_HR, kBefore},
        {Modulus, Variant::I4(INT32_MIN), Variant::I4(-1), 0, Variant::I4(0)},
        // Text road.
        {Add, Variant::Str("abc"), Variant::I4(1), 0, Variant::Str("abc1")},
        {Add, Variant::Str("abc "), Variant::Str(" 5"), 0, Variant::Str("abc  5")},
        {Add, Variant::Str("0x10"), Variant::Str("1"), 0, Variant::R8(17)},  // strtod reads hex
        {Subtract, Variant::Str("12abc"), Variant::Str("2"), 0, Variant::R8(10)},
        {Subtract, Variant::Str("abc"), Variant::Str("2"), ERROR_INVALID_DATA_HR, kBefore},
        {Multiply, Variant::Str("3x"), Variant::Str("4y"), 0, Variant::R8(12)},
        {Divide, Variant::Str("9 apples"), Variant::Str("0 pears"), ERROR_DIVIDE_BY_ZERO_HR,
         Variant::R8(inf)},
        {Divide, Variant::Str(""), Variant::I4(1), ERROR_INVALID_DATA_HR, kBefore},
        {Modulus, Variant::Str("7 days"), Variant::Str("4"), 0, Variant::I4(3)},
        {Modulus, Variant::Str("x"), Variant::I4(4), ERROR_INVALID_DATA_HR, kBefore},
        {Modulus, Variant::R8(3e9), Variant::I4(4), 0, kBefore},  // out of long range
        // Kinds that are neither number nor text.
        {Add, kArray, Variant::I4(1), TYPE_E_TYPEMISMATCH, kBefore},
        {Subtract, Variant::I4(1), kArray, TYPE_E_TYPEMISMATCH, kBefore},
        {Modulus, kArray, kArray, TYPE_E_TYPEMISMATCH, kBefore},
        {Divide, Variant::Null(), Variant::I4(1), TYPE_E_TYPEMISMATCH, kBefore},
    };
    for (const ArithCase& c : cases) {
        const ArithmeticResult r = ComputeArithmetic(c.op, c.x, c.y);
        EXPECT_EQ(r.status, c.status) << "case " << &c - cases;
        EXPECT_EQ(r.store ? r.value : kBefore, c.value) << "case " << &c - cases;
    }
}

// The block around the core: Value and Operate's result take what it stores, a
// run that stores nothing keeps Value, and a status still delivers the result.
TEST(Arithmetic, BlockStoresWhatTheCoreGives) {
    Block b("OVDivide");
    harness::Drive(b, "Value=r8 -123; InputX=\"\"; InputY=1");
    EXPECT_EQ(b.Call("Operate"), kBefore);
    EXPECT_EQ(b.Get("Value"), kBefore);
    harness::Drive(b, "InputX=1; InputY=0");
    b.Take();
    const Variant result = b.Call("Operate");
    EXPECT_EQ(result, b.Get("Value"));
    EXPECT_EQ(b.Get("Value"), Variant::R8(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(b.Take(),
              (Trace{"StatusReady", "ErrorOut(self, -2147016896, \"Divide by zero error\")",
                     "ErrorOccurred(-2147016896, \"Divide by zero error\")", "ControlOut"}));
}

}  // namespace
