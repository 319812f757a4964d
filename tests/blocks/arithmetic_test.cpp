#include "blocks/arith/arithmetic.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

Variant Array() {
    SafeArrayPtr a = SafeArrayCreateVector(VT_R8, 0, 2);
    return Variant::Array(std::move(a));
}

struct ArithCase {
    const char* block;
    Variant x, y;
    int32_t status;
    Variant value;  // Value after the run, which starts from `before`
};

const Variant kBefore = Variant::R8(-123.0);

TEST(Arithmetic, TableOfOutcomes) {
    const double L = OverflowLimit;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::bit_cast<double>(0xFFF8000000000000ull);
    const ArithCase cases[] = {
        // Numeric road.
        {"OVAdd", Variant::I4(2), Variant::R8(2.5), 0, Variant::R8(4.5)},
        {"OVAdd", Variant::Str("2"), Variant::Str("3"), 0, Variant::R8(5)},
        {"OVAdd", Variant::Bool(true), Variant::I2(1), 0, Variant::R8(0)},
        {"OVAdd", Variant::R8(L), Variant::R8(L), DISP_E_OVERFLOW, kBefore},
        {"OVAdd", Variant::R8(-L), Variant::R8(-1e300), DISP_E_OVERFLOW, kBefore},
        {"OVAdd", Variant::R8(L), Variant::R8(0), 0, Variant::R8(L)},
        {"OVSubtract", Variant::R8(L), Variant::R8(L), 0, Variant::R8(0)},
        {"OVSubtract", Variant::R8(L), Variant::R8(-L), DISP_E_OVERFLOW, Variant::R8(0)},
        {"OVSubtract", Variant::R8(L), Variant::R8(0), 0, Variant::R8(L)},  // at the limit
        {"OVSubtract", Variant::R8(-L), Variant::R8(0), 0, Variant::R8(-L)},
        {"OVSubtract", Variant::R8(-L), Variant::R8(1e300), DISP_E_OVERFLOW, Variant::R8(0)},
        {"OVSubtract", Variant::R8(5), Variant::I4(7), 0, Variant::R8(-2)},
        {"OVMultiply", Variant::R8(1e300), Variant::R8(0), 0, Variant::R8(0)},
        {"OVMultiply", Variant::R8(L), Variant::R8(0), 0, Variant::R8(0)},
        {"OVMultiply", Variant::R8(1e200), Variant::R8(1e200), DISP_E_OVERFLOW, Variant::R8(0)},
        {"OVMultiply", Variant::I4(-3), Variant::R8(2.5), 0, Variant::R8(-7.5)},
        {"OVDivide", Variant::R8(1), Variant::R8(0), ERROR_DIVIDE_BY_ZERO_HR, Variant::R8(inf)},
        {"OVDivide", Variant::R8(-1), Variant::I4(0), ERROR_DIVIDE_BY_ZERO_HR, Variant::R8(inf)},
        {"OVDivide", Variant::R8(1e300), Variant::R8(1e-300), DISP_E_OVERFLOW, Variant::R8(nan)},
        {"OVDivide", Variant::I4(7), Variant::I4(2), 0, Variant::R8(3.5)},
        {"OVModulus", Variant::I4(-7), Variant::I4(3), 0, Variant::I4(-1)},
        {"OVModulus", Variant::I4(7), Variant::I4(-3), 0, Variant::I4(1)},
        {"OVModulus", Variant::R8(7.5), Variant::I4(2), 0, Variant::I4(0)},  // 8 mod 2
        {"OVModulus", Variant::R8(6.5), Variant::I4(4), 0, Variant::I4(2)},  // 6 mod 4
        {"OVModulus", Variant::I4(5), Variant::I4(0), ERROR_DIVIDE_BY_ZERO_HR, kBefore},
        {"OVModulus", Variant::I4(INT32_MIN), Variant::I4(-1), 0, Variant::I4(0)},
        // Text road.
        {"OVAdd", Variant::Str("abc"), Variant::I4(1), 0, Variant::Str("abc1")},
        {"OVAdd", Variant::Str("abc "), Variant::Str(" 5"), 0, Variant::Str("abc  5")},
        {"OVAdd", Variant::Str("0x10"), Variant::Str("1"), 0, Variant::R8(17)},  // strtod reads hex
        {"OVSubtract", Variant::Str("12abc"), Variant::Str("2"), 0, Variant::R8(10)},
        {"OVSubtract", Variant::Str("abc"), Variant::Str("2"), ERROR_INVALID_DATA_HR, kBefore},
        {"OVMultiply", Variant::Str("3x"), Variant::Str("4y"), 0, Variant::R8(12)},
        {"OVDivide", Variant::Str("9 apples"), Variant::Str("0 pears"), ERROR_DIVIDE_BY_ZERO_HR,
         Variant::R8(inf)},
        {"OVDivide", Variant::Str(""), Variant::I4(1), ERROR_INVALID_DATA_HR, kBefore},
        {"OVModulus", Variant::Str("7 days"), Variant::Str("4"), 0, Variant::I4(3)},
        {"OVModulus", Variant::Str("x"), Variant::I4(4), ERROR_INVALID_DATA_HR, kBefore},
        {"OVModulus", Variant::R8(3e9), Variant::I4(4), 0, kBefore},  // out of long range
        // Kinds that are neither number nor text.
        {"OVAdd", Array(), Variant::I4(1), TYPE_E_TYPEMISMATCH, kBefore},
        {"OVSubtract", Variant::I4(1), Array(), TYPE_E_TYPEMISMATCH, kBefore},
        {"OVModulus", Array(), Array(), TYPE_E_TYPEMISMATCH, kBefore},
        {"OVDivide", Variant::Null(), Variant::I4(1), TYPE_E_TYPEMISMATCH, kBefore},
    };
    for (const ArithCase& c : cases) {
        Block b(c.block);
        std::string what = std::string(c.block) + " case " + std::to_string(&c - cases);
        ASSERT_EQ(b.Put("Value", kBefore), S_OK);
        b.Put("InputX", c.x);
        b.Put("InputY", c.y);
        Variant returned = b.Call("Operate");
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << what;
        EXPECT_EQ(b.Get("Value"), c.value) << what;
        EXPECT_EQ(returned, c.value) << what;
    }
}

TEST(Arithmetic, DivideByZeroStillDeliversAndIsReady) {
    Block b("OVDivide");
    b.Put("InputX", Variant::I4(1));
    b.Put("InputY", Variant::I4(0));
    b.Take();
    b.Call("Operate");
    EXPECT_EQ(b.Take(),
              (Trace{"StatusReady", "ErrorOut(self, -2147016896, \"Divide by zero error\")",
                     "ErrorOccurred(-2147016896, \"Divide by zero error\")", "ControlOut"}));
}

}  // namespace
