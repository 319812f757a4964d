#include "platform/variant.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/coerce.h"
#include "platform/events.h"
#include "platform/safearray.h"
#include "tests/support/value_literal.h"

namespace {

constexpr HRESULT kMismatch = DISP_E_TYPEMISMATCH;
constexpr HRESULT kOverflow = DISP_E_OVERFLOW;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Variant Cy(int64_t scaled) {
    return Variant::Cy(CY{scaled});
}

Variant Dec(uint8_t scale, bool negative, uint32_t hi, uint64_t lo) {
    DECIMAL d;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    d.Hi32 = hi;
    d.Lo64 = lo;
    return Variant::Decimal(d);
}

struct CoercionRow {
    Variant source;
    uint16_t flags;
    VARTYPE target;
    HRESULT hr;
    Variant expected;  // only read on success
};

// One fact per row.
std::vector<CoercionRow> CoercionRows() {
    return {
        // Booleans count by their stored bits; currency and decimals by their scale.
        {Variant::Bool(true), 0, VT_R8, S_OK, Variant::R8(-1)},
        {Variant::BoolRaw(1), 0, VT_R8, S_OK, Variant::R8(1)},
        {Cy(15000), 0, VT_R8, S_OK, Variant::R8(1.5)},
        {Dec(1, false, 0, 15), 0, VT_R8, S_OK, Variant::R8(1.5)},
        // Text to number: blanks, sign, point, exponent, thousands separators.
        {Variant::Str(""), 0, VT_R8, kMismatch, {}},
        {Variant::Str("\t-7\n"), 0, VT_R8, S_OK, Variant::R8(-7)},
        {Variant::Str("+.5"), 0, VT_R8, S_OK, Variant::R8(0.5)},
        {Variant::Str("1,5"), 0, VT_R8, S_OK, Variant::R8(15)},
        {Variant::Str(",5"), 0, VT_R8, kMismatch, {}},
        {Variant::Str("&H10"), 0, VT_R8, kMismatch, {}},
        {Variant::Str("1.#INF"), 0, VT_R8, kMismatch, {}},
        {Variant::Str("1e400"), 0, VT_R8, kOverflow, {}},
        {Variant::Str("1e-400"), 0, VT_R8, S_OK, Variant::R8(0)},
        {Variant::Str("1e39"), 0, VT_R4, kOverflow, {}},
        {Variant::Str("0.1"), 0, VT_R4, S_OK, Variant::R4(0.1f)},
        // Double to integer: halves to even, limits and one past them.
        {Variant::R8(1.5), 0, VT_I4, S_OK, Variant::I4(2)},
        {Variant::R8(-2.5), 0, VT_I4, S_OK, Variant::I4(-2)},
        {Variant::R8(2147483647.49), 0, VT_I4, S_OK, Variant::I4(INT32_MAX)},
        {Variant::R8(2147483647.5), 0, VT_I4, kOverflow, {}},
        {Variant::R8(kNaN), 0, VT_I4, kOverflow, {}},
        {Variant::R8(127.5), 0, VT_I1, kOverflow, {}},
        {Variant::R8(-0.5), 0, VT_UI1, S_OK, Variant::UI1(0)},
        {Variant::I4(32768), 0, VT_I2, kOverflow, {}},
        {Variant::I8(-1), 0, VT_UI4, kOverflow, {}},
        {Variant::R8(9223372036854775808.0), 0, VT_I8, kOverflow, {}},
        {Variant::UI8(UINT64_MAX), 0, VT_I8, S_OK, Variant::I8(-1)},
        {Variant::Str("9223372036854775807"), 0, VT_I8, S_OK, Variant::I8(INT64_MAX)},
        {Variant::Str("9223372036854775808"), 0, VT_I8, kOverflow, {}},
        {Variant::Str("18446744073709551616"), 0, VT_UI8, kOverflow, {}},
        {Variant::Str("2147483647.5"), 0, VT_I4, kOverflow, {}},
        {Variant::Str("0.00000001e8"), 0, VT_I4, S_OK, Variant::I4(1)},
        {Cy(25000), 0, VT_I4, S_OK, Variant::I4(2)},
        // The platform moves Booleans and same-width integers by their bits.
        {Variant::I1(-1), 0, VT_UI1, S_OK, Variant::UI1(255)},
        {Variant::UInt(UINT32_MAX), 0, VT_I4, S_OK, Variant::I4(-1)},
        {Variant::BoolRaw(256), 0, VT_UI1, S_OK, Variant::UI1(0)},
        // Floats.
        {Variant::R8(1e39), 0, VT_R4, kOverflow, {}},
        {Variant::R8(FLT_MAX), 0, VT_R4, S_OK, Variant::R4(FLT_MAX)},
        {Variant::R8(kInf), 0, VT_R4, S_OK, Variant::R4(std::numeric_limits<float>::infinity())},
        {Variant::R8(kNaN), 0, VT_R4, S_OK, Variant::R4(std::numeric_limits<float>::quiet_NaN())},
        // Booleans.
        {Variant::Bool(true), 0, VT_BSTR, S_OK, Variant::Str("-1")},
        {Variant::BoolRaw(1), 0, VT_BSTR, S_OK, Variant::Str("1")},
        {Variant::BoolRaw(1), VARIANT_ALPHABOOL, VT_BSTR, S_OK, Variant::Str("True")},
        {Variant::Str("TRUE"), 0, VT_BOOL, S_OK, Variant::Bool(true)},
        {Variant::Str("0.1"), 0, VT_BOOL, S_OK, Variant::Bool(true)},
        {Variant::Str("yes"), 0, VT_BOOL, kMismatch, {}},
        {Variant::R8(kNaN), 0, VT_BOOL, S_OK, Variant::Bool(true)},
        {Variant::R8(-0.0), 0, VT_BOOL, S_OK, Variant::Bool(false)},
        // Numbers to text.
        {Variant::R8(0.1 + 0.2), 0, VT_BSTR, S_OK, Variant::Str("0.3")},
        {Variant::R8(1e15), 0, VT_BSTR, S_OK, Variant::Str("1E+15")},
        {Variant::R8(DBL_MAX), 0, VT_BSTR, S_OK, Variant::Str("1.79769313486232E+308")},
        {Variant::R8(-0.0), 0, VT_BSTR, S_OK, Variant::Str("0")},
        {Variant::R8(kInf), 0, VT_BSTR, S_OK, Variant::Str("1.#INF")},
        {Variant::R8(kNaN), 0, VT_BSTR, S_OK, Variant::Str("1.#QNAN")},
        {Variant::R8(std::bit_cast<double>(0xFFF8000000000000ull)), 0, VT_BSTR, S_OK,
         Variant::Str("-1.#IND")},
        {Variant::R4(0.1f), 0, VT_BSTR, S_OK, Variant::Str("0.1")},
        {Variant::R4(16777216.0f), 0, VT_BSTR, S_OK, Variant::Str("1.677722E+07")},
        {Variant::I8(INT64_MIN), 0, VT_BSTR, S_OK, Variant::Str("-9223372036854775808")},
        {Cy(INT64_MAX), 0, VT_BSTR, S_OK, Variant::Str("922337203685477.5807")},
        {Cy(9), 0, VT_BSTR, S_OK, Variant::Str("0.0009")},
        {Dec(10, false, 0, 1), 0, VT_BSTR, S_OK, Variant::Str("0.0000000001")},
        {Dec(28, true, UINT32_MAX, UINT64_MAX), 0, VT_BSTR, S_OK,
         Variant::Str("-7.9228162514264337593543950335")},
        {Dec(29, false, 0, 1), 0, VT_BSTR, E_INVALIDARG, {}},
        {Variant::Decimal(DECIMAL{0, 0, 0x40, 0, 1}), 0, VT_R8, E_INVALIDARG, {}},
        // Currency: four places, halves to even.
        {Variant::R8(0.00015), 0, VT_CY, S_OK, Cy(2)},
        {Variant::R8(0.00025), 0, VT_CY, S_OK, Cy(2)},
        {Variant::R8(1e15), 0, VT_CY, kOverflow, {}},
        {Variant::Str("922337203685477.5807"), 0, VT_CY, S_OK, Cy(INT64_MAX)},
        {Variant::Str("922337203685477.5808"), 0, VT_CY, kOverflow, {}},
        // Decimal: 96 bits, scale up to 28.
        {Variant::Str("18446744073709551616"), 0, VT_DECIMAL, S_OK, Dec(0, false, 1, 0)},
        {Variant::Str("79228162514264337593543950335"), 0, VT_DECIMAL, S_OK,
         Dec(0, false, UINT32_MAX, UINT64_MAX)},
        {Variant::Str("79228162514264337593543950336"), 0, VT_DECIMAL, kOverflow, {}},
        {Variant::Str("1.00000000000000000000000000005"), 0, VT_DECIMAL, S_OK,
         Dec(28, false, 542101086, 4477988020393345024u)},
        {Variant::R8(-0.6), 0, VT_DECIMAL, S_OK, Dec(1, true, 0, 6)},
        {Variant::R8(1e300), 0, VT_DECIMAL, kOverflow, {}},
        {Cy(10000), 0, VT_DECIMAL, S_OK, Dec(4, false, 0, 10000)},
        // Dates: 1/1/100 to 12/31/9999; text as the English platform prints it.
        {Variant::I4(2958465), 0, VT_DATE, S_OK, Variant::Date(2958465)},
        {Variant::I4(2958466), 0, VT_DATE, kOverflow, {}},
        {Variant::I4(-657435), 0, VT_DATE, kOverflow, {}},
        {Variant::R8(kNaN), 0, VT_DATE, kOverflow, {}},
        {Variant::Date(0), 0, VT_BSTR, S_OK, Variant::Str("12:00:00 AM")},
        {Variant::Date(3.34), 0, VT_BSTR, S_OK, Variant::Str("1/2/1900 8:09:36 AM")},
        {Variant::Date(-1.5), 0, VT_BSTR, S_OK, Variant::Str("12/29/1899 12:00:00 PM")},
        {Variant::Date(-657434), 0, VT_BSTR, S_OK, Variant::Str("1/1/100")},
        {Variant::Date(1.9999999), 0, VT_BSTR, S_OK, Variant::Str("1/1/1900")},
        {Variant::Date(2958465.9999999), 0, VT_BSTR, S_OK, Variant::Str("12/31/9999 11:59:59 PM")},
        {Variant::Date(1e7), 0, VT_BSTR, E_INVALIDARG, {}},
        {Variant::Str("1-2-70"), 0, VT_DATE, S_OK, Variant::Date(25570)},
        {Variant::Str("1/2/29"), 0, VT_DATE, S_OK, Variant::Date(47120)},
        {Variant::Str("12/29/1899 12:00:00 PM"), 0, VT_DATE, S_OK, Variant::Date(-1.5)},
        {Variant::Str("00:00 p"), 0, VT_DATE, S_OK, Variant::Date(0.5)},
        {Variant::Str("13:00 AM"), 0, VT_DATE, S_OK, Variant::Date(13.0 / 24)},
        {Variant::Str("2/30/2000"), 0, VT_DATE, kMismatch, {}},
        {Variant::Str("24:00"), 0, VT_DATE, kMismatch, {}},
        {Variant::Str("1"), 0, VT_DATE, kMismatch, {}},
        // Empty, null, errors, objects, arrays and bad kinds.
        {Variant(), 0, VT_I4, S_OK, Variant::I4(0)},
        {Variant(), 0, VT_ERROR, kMismatch, {}},
        {Variant::Str("x"), 0, VT_EMPTY, S_OK, Variant()},
        {Variant::R8(2), 0, VT_NULL, S_OK, Variant::Null()},
        {Variant::Null(), 0, VT_EMPTY, kMismatch, {}},
        {Variant::Error(5), 0, VT_I4, kMismatch, {}},
        {Variant::Dispatch(nullptr), 0, VT_BSTR, kMismatch, {}},
        {Variant::I4(1), 0, VT_VARIANT, kMismatch, {}},
        {Variant::I4(1), 0, VT_ARRAY | VT_I4, kMismatch, {}},
        {Variant::I4(1), 0, 13, DISP_E_BADVARTYPE, {}},
        {Variant::I4(1), 0, VT_ARRAY | VT_I8, DISP_E_BADVARTYPE, {}},
    };
}

TEST(VariantChangeType, MatrixOfFacts) {
    const std::vector<CoercionRow> rows = CoercionRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const CoercionRow& row = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i << ": " << testing::PrintToString(row.source)
                                        << " to " << row.target);
        const Variant sentinel = Variant::Str("unchanged");
        Variant dst = sentinel;
        EXPECT_EQ(VariantChangeType(&dst, &row.source, row.flags, row.target), row.hr);
        EXPECT_EQ(dst, SUCCEEDED(row.hr) ? row.expected : sentinel);
    }
}

// A few values of every kind, edges included.
std::vector<Variant> SampleValues() {
    std::vector<Variant> samples = {
        Variant(),
        Variant::Null(),
        Variant::I1(INT8_MIN),
        Variant::I2(INT16_MIN),
        Variant::I4(INT32_MIN),
        Variant::I8(INT64_MIN),
        Variant::UI8(UINT64_MAX),
        Variant::Int(-1),
        Variant::R4(-FLT_MAX),
        Variant::R4(std::numeric_limits<float>::denorm_min()),
        Variant::R8(-DBL_MAX),
        Variant::R8(kNaN),
        Variant::R8(-0.5),
        Variant::Cy(CY{INT64_MIN}),
        Variant::Date(-657434.999),
        Variant::Date(2958465.9999999),
        Variant::Bool(true),
        Variant::BoolRaw(1),
        Variant::Error(E_FAIL),
        Dec(28, true, UINT32_MAX, UINT64_MAX),
        Dec(0, false, UINT32_MAX, UINT64_MAX),
        Dec(30, false, 0, 1),
        Variant::Str("-1.5e3"),
        Variant::Str("1/1/100 11:59:59 PM"),
        Variant::Str("true"),
        Variant::Str("zzz"),
        Variant::Dispatch(nullptr),
    };
    samples.push_back(V("r8[1.5, 2.5]"));
    return samples;
}

std::vector<VARTYPE> TargetKinds() {
    std::vector<VARTYPE> kinds;
    for (VARTYPE vt = 0; vt <= VT_TYPEMASK; ++vt) {
        if (!VarTypeName(vt).empty()) kinds.push_back(vt);
    }
    kinds.push_back(VT_ARRAY | VT_R8);
    kinds.push_back(VT_ARRAY | VT_BSTR);
    return kinds;
}

// Every kind into every kind: a documented outcome, the target kind on success,
// the destination untouched on failure, and the same answer in place.
TEST(VariantChangeType, EveryKindIntoEveryKind) {
    for (const Variant& source : SampleValues()) {
        for (VARTYPE vt : TargetKinds()) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(source) << " to " << vt);
            const Variant sentinel = Variant::I2(42);
            Variant dst = sentinel;
            const HRESULT hr = VariantChangeType(&dst, &source, 0, vt);
            EXPECT_TRUE(hr == S_OK || hr == kMismatch || hr == kOverflow || hr == E_INVALIDARG)
                << std::hex << hr;
            EXPECT_EQ(dst.vt(), SUCCEEDED(hr) ? vt : sentinel.vt());
            if (FAILED(hr)) {
                EXPECT_EQ(dst, sentinel);
            }

            Variant inPlace = source;
            EXPECT_EQ(VariantChangeType(&inPlace, &inPlace, 0, vt), hr);
            EXPECT_EQ(inPlace, SUCCEEDED(hr) ? dst : source);
        }
    }
}

TEST(VariantChangeType, ArraysConvertOnlyToTheirOwnKind) {
    const Variant array = V("r8@3[1.5, 2.5]");
    Variant dst;
    EXPECT_EQ(VariantChangeType(&dst, &array, 0, VT_ARRAY | VT_R8), S_OK);
    EXPECT_EQ(dst, array);
    EXPECT_NE(dst.parray(), array.parray());
    EXPECT_EQ(VariantChangeType(&dst, &array, 0, VT_ARRAY | VT_I4), kMismatch);
    EXPECT_EQ(VariantChangeType(&dst, &array, 0, VT_EMPTY), kMismatch);
    // An array of values is no storable kind, yet converts to itself.
    const Variant values = Variant::Array(SafeArrayCreateVector(VT_VARIANT, 0, 2));
    EXPECT_EQ(VariantChangeType(&dst, &values, 0, VT_ARRAY | VT_VARIANT), S_OK);
    EXPECT_EQ(dst, values);
}

TEST(Variant, CopiesAreIndependentOfTheirSource) {
    Variant source = V("r8[1, 2, 3]");
    Variant copy = source;
    Variant viaCall;
    ASSERT_EQ(VariantCopy(&viaCall, &source), S_OK);
    const int32_t index = 1;
    ASSERT_EQ(SafeArrayPutElement(source.parray(), &index, Variant::R8(99)), S_OK);
    EXPECT_EQ(copy, V("r8[1, 2, 3]"));
    EXPECT_EQ(viaCall, V("r8[1, 2, 3]"));
    EXPECT_NE(copy, source);
}

TEST(Variant, MovingAndClearingLeaveEmptyValues) {
    Variant source = V("r8[1]");
    SafeArray* array = source.parray();
    Variant moved = std::move(source);
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(moved.parray(), array);
    SafeArrayPtr taken = moved.TakeArray();
    EXPECT_EQ(taken.get(), array);
    EXPECT_TRUE(moved.IsEmpty());
    Variant text = Variant::Str("x");
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(text, Variant());
    EXPECT_EQ(Variant::Array(nullptr), Variant());
}

// Every pairing of plain and owning kinds, by copy and by move: the target
// ends equal to the source, a copied source is untouched, and an object's
// references come back to one when all values are gone.
TEST(Variant, AssignmentBetweenOwningKindsKeepsEachValueWhole) {
    auto object = MakeCom<EventSink>([](DISPID, std::span<const Variant>) {});
    {
        const std::vector<Variant> values = {Variant::R8(1.5), Variant::Str("text"), V("r8[1, 2]"),
                                             Variant::Dispatch(ComPtr<IDispatch>(object)),
                                             Variant::Decimal(DECIMAL{0, 2, 0, 1, 5})};
        for (const Variant& from : values) {
            for (const Variant& to : values) {
                Variant copied = to;
                copied = from;
                EXPECT_EQ(copied, from);
                Variant source = from;
                Variant moved = to;
                moved = std::move(source);
                EXPECT_EQ(moved, from);
                EXPECT_TRUE(source.IsEmpty());
            }
        }
    }
    EXPECT_EQ(object->AddRef(), 2u);
    object->Release();
}

TEST(Variant, EqualityComparesKindAndBits) {
    EXPECT_EQ(Variant::R8(kNaN), Variant::R8(kNaN));
    EXPECT_NE(Variant::R8(0.0), Variant::R8(-0.0));
    EXPECT_NE(Variant::I4(1), Variant::Int(1));
    EXPECT_NE(Variant::Bool(true), Variant::BoolRaw(1));
    EXPECT_NE(Dec(1, false, 0, 10), Dec(0, false, 0, 1));
    EXPECT_NE(V("r8[1, 2]"), V("r8@1[1, 2]"));
    EXPECT_NE(V("r8[1, 2]"), V("r8[1, 3]"));
}

}  // namespace
