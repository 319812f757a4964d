#include "platform/variant.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <ctime>
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

struct CoercionRow {
    Variant source;
    VARTYPE target;
    HRESULT hr;
    Variant expected;  // only read on success
    uint16_t flags = 0;
};

// A time of day as a fraction of the day.
double Seconds(int seconds) {
    return seconds / 86400.0;
}

// January 2 of the current year, which dates without a year fall in.
double SecondOfJanuaryThisYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DATE day = 0;
    EXPECT_EQ(VarDateFromStr("1/2/" + std::to_string(local.tm_year + 1900), &day), S_OK);
    return day;
}

Variant Str(const char* text) {
    return Variant::Str(text);
}

// One fact per row.
std::vector<CoercionRow> CoercionRows() {
    const double jan2 = SecondOfJanuaryThisYear();
    return {
        // Booleans count by their stored bits; currency and decimals by their scale.
        {Variant::Bool(true), VT_R8, S_OK, Variant::R8(-1)},
        {Variant::BoolRaw(1), VT_R8, S_OK, Variant::R8(1)},
        {V("cy 1.5"), VT_R8, S_OK, Variant::R8(1.5)},
        {V("decimal 1.5"), VT_R8, S_OK, Variant::R8(1.5)},
        // Text to number: blanks, sign, point, exponent, thousands separators.
        {Str(""), VT_R8, kMismatch, {}},
        {Str("\t-7\n"), VT_R8, S_OK, Variant::R8(-7)},
        {Str("+.5"), VT_R8, S_OK, Variant::R8(0.5)},
        {Str("1,5"), VT_R8, S_OK, Variant::R8(15)},
        {Str(",5"), VT_R8, kMismatch, {}},
        {Str("&H10"), VT_R8, kMismatch, {}},
        {Str("1.#INF"), VT_R8, kMismatch, {}},
        {Str("1e400"), VT_R8, kOverflow, {}},
        {Str("1e-400"), VT_R8, S_OK, Variant::R8(0)},
        {Str("1e39"), VT_R4, kOverflow, {}},
        {Str("0.1"), VT_R4, S_OK, Variant::R4(0.1f)},
        // Double to integer: halves to even, limits and one past them.
        {Variant::R8(1.5), VT_I4, S_OK, Variant::I4(2)},
        {Variant::R8(-2.5), VT_I4, S_OK, Variant::I4(-2)},
        {Variant::R8(2147483647.49), VT_I4, S_OK, Variant::I4(INT32_MAX)},
        {Variant::R8(2147483647.5), VT_I4, kOverflow, {}},
        {Variant::R8(kNaN), VT_I4, kOverflow, {}},
        {Variant::R8(127.5), VT_I1, kOverflow, {}},
        {Variant::R8(-0.5), VT_UI1, S_OK, Variant::UI1(0)},
        {Variant::I4(32768), VT_I2, kOverflow, {}},
        {Variant::I8(-1), VT_UI4, kOverflow, {}},
        {Variant::R8(9223372036854775808.0), VT_I8, kOverflow, {}},
        {Variant::UI8(UINT64_MAX), VT_I8, S_OK, Variant::I8(-1)},
        {Str("9223372036854775807"), VT_I8, S_OK, Variant::I8(INT64_MAX)},
        {Str("9223372036854775808"), VT_I8, kOverflow, {}},
        {Str("18446744073709551616"), VT_UI8, kOverflow, {}},
        {Str("2147483647.5"), VT_I4, kOverflow, {}},
        {Str("0.00000001e8"), VT_I4, S_OK, Variant::I4(1)},
        {V("cy 2.5"), VT_I4, S_OK, Variant::I4(2)},
        // The platform moves Booleans and same-width integers by their bits.
        {Variant::I1(-1), VT_UI1, S_OK, Variant::UI1(255)},
        {Variant::UInt(UINT32_MAX), VT_I4, S_OK, Variant::I4(-1)},
        {Variant::BoolRaw(256), VT_UI1, S_OK, Variant::UI1(0)},
        // Floats.
        {Variant::R8(1e39), VT_R4, kOverflow, {}},
        {Variant::R8(FLT_MAX), VT_R4, S_OK, Variant::R4(FLT_MAX)},
        {Variant::R8(kInf), VT_R4, S_OK, Variant::R4(std::numeric_limits<float>::infinity())},
        {Variant::R8(kNaN), VT_R4, S_OK, Variant::R4(std::numeric_limits<float>::quiet_NaN())},
        // Booleans.
        {Variant::Bool(true), VT_BSTR, S_OK, Str("-1")},
        {Variant::BoolRaw(1), VT_BSTR, S_OK, Str("1")},
        {Variant::BoolRaw(1), VT_BSTR, S_OK, Str("True"), VARIANT_ALPHABOOL},
        {Str("TRUE"), VT_BOOL, S_OK, Variant::Bool(true)},
        {Str("0.1"), VT_BOOL, S_OK, Variant::Bool(true)},
        {Str("yes"), VT_BOOL, kMismatch, {}},
        {Variant::R8(kNaN), VT_BOOL, S_OK, Variant::Bool(true)},
        {Variant::R8(-0.0), VT_BOOL, S_OK, Variant::Bool(false)},
        {Str("#TRUE#"), VT_BOOL, S_OK, Variant::Bool(true)},
        {Str("#FALSE#"), VT_BOOL, S_OK, Variant::Bool(false)},
        {Str("#False#"), VT_BOOL, kMismatch, {}},  // the literal spellings are case-sensitive
        {Str("On"), VT_BOOL, kMismatch, {}},
        {Str("+1"), VT_BOOL, S_OK, Variant::Bool(true)},
        {Variant::BoolRaw(0), VT_DECIMAL, S_OK, V("decimal 0")},
        {Variant::BoolRaw(-1), VT_DECIMAL, S_OK, V("decimal -1")},
        {Variant::BoolRaw(5), VT_DECIMAL, S_OK, V("decimal 1")},
        // Numbers to text.
        {Variant::R8(0.1 + 0.2), VT_BSTR, S_OK, Str("0.3")},
        {Variant::R8(1e15), VT_BSTR, S_OK, Str("1E+15")},
        {Variant::R8(DBL_MAX), VT_BSTR, S_OK, Str("1.79769313486232E+308")},
        {Variant::R8(-0.0), VT_BSTR, S_OK, Str("0")},
        {Variant::R8(kInf), VT_BSTR, S_OK, Str("1.#INF")},
        {Variant::R8(kNaN), VT_BSTR, S_OK, Str("1.#QNAN")},
        {Variant::R8(std::bit_cast<double>(0xFFF8000000000000ull)), VT_BSTR, S_OK, Str("-1.#IND")},
        {Variant::R4(0.1f), VT_BSTR, S_OK, Str("0.1")},
        {Variant::R4(16777216.0f), VT_BSTR, S_OK, Str("1.677722E+07")},
        {Variant::I8(INT64_MIN), VT_BSTR, S_OK, Str("-9223372036854775808")},
        {V("cy 922337203685477.5807"), VT_BSTR, S_OK, Str("922337203685477.5807")},
        {V("cy 0.0009"), VT_BSTR, S_OK, Str("0.0009")},
        {V("decimal 0.0000000001"), VT_BSTR, S_OK, Str("0.0000000001")},
        {V("decimal -7.9228162514264337593543950335"), VT_BSTR, S_OK,
         Str("-7.9228162514264337593543950335")},
        {Variant::Decimal(DECIMAL{0, 29, 0, 0, 1}), VT_BSTR, E_INVALIDARG, {}},
        {Variant::Decimal(DECIMAL{0, 0, 0x40, 0, 1}), VT_R8, E_INVALIDARG, {}},
        // Plain decimals down to the exponent threshold.
        {Variant::R8(5.6789e-05), VT_BSTR, S_OK, Str("0.000056789")},
        {Variant::R8(5.6789e-11), VT_BSTR, S_OK, Str("0.000000000056789")},
        {Variant::R8(-5.6789e-12), VT_BSTR, S_OK, Str("-5.6789E-12")},
        {Variant::R8(1e-5), VT_BSTR, S_OK, Str("0.00001")},
        {Variant::R8(123456789012345.0), VT_BSTR, S_OK, Str("123456789012345")},
        {Variant::R8(999999999999999.9), VT_BSTR, S_OK, Str("1E+15")},  // rounds to 16 digits
        {Variant::R8(1e-300), VT_BSTR, S_OK, Str("1E-300")},
        {Variant::R8(100000000000000.5), VT_BSTR, S_OK, Str("100000000000001")},  // half: up
        {Variant::R4(0.00005f), VT_BSTR, S_OK, Str("0.00005")},
        {Variant::R4(654322.25f), VT_BSTR, S_OK, Str("654322.3")},
        {Variant::R4(5.6789e-12f), VT_BSTR, S_OK, Str("5.6789E-12")},
        {Variant::R4(9999999.0f), VT_BSTR, S_OK, Str("9999999")},
        // Currency: four places, halves to even.
        {Variant::R8(0.00015), VT_CY, S_OK, V("cy 0.0002")},
        {Variant::R8(0.00025), VT_CY, S_OK, V("cy 0.0002")},
        {Variant::R8(1e15), VT_CY, kOverflow, {}},
        {Str("922337203685477.5807"), VT_CY, S_OK, V("cy 922337203685477.5807")},
        {Str("922337203685477.5808"), VT_CY, kOverflow, {}},
        // Decimal: 96 bits, scale up to 28.
        {Str("18446744073709551616"), VT_DECIMAL, S_OK, V("decimal 18446744073709551616")},
        {Str("79228162514264337593543950335"), VT_DECIMAL, S_OK,
         V("decimal 79228162514264337593543950335")},
        {Str("79228162514264337593543950336"), VT_DECIMAL, kOverflow, {}},
        {Str("1.00000000000000000000000000005"), VT_DECIMAL, S_OK,
         V("decimal 1.0000000000000000000000000000")},
        {Variant::R8(-0.6), VT_DECIMAL, S_OK, V("decimal -0.6")},
        {Variant::R8(1e300), VT_DECIMAL, kOverflow, {}},
        {V("cy 1"), VT_DECIMAL, S_OK, V("decimal 1.0000")},
        // Dates: 1/1/100 to 12/31/9999; text as the English platform prints it.
        {Variant::I4(2958465), VT_DATE, S_OK, Variant::Date(2958465)},
        {Variant::I4(2958466), VT_DATE, kOverflow, {}},
        {Variant::I4(-657435), VT_DATE, kOverflow, {}},
        {Variant::R8(kNaN), VT_DATE, kOverflow, {}},
        {Variant::Date(0), VT_BSTR, S_OK, Str("12:00:00 AM")},
        {Variant::Date(3.34), VT_BSTR, S_OK, Str("1/2/1900 8:09:36 AM")},
        {Variant::Date(-1.5), VT_BSTR, S_OK, Str("12/29/1899 12:00:00 PM")},
        {Variant::Date(-657434), VT_BSTR, S_OK, Str("1/1/100")},
        {Variant::Date(1.9999999), VT_BSTR, S_OK, Str("1/1/1900")},
        {Variant::Date(2958465.9999999), VT_BSTR, S_OK, Str("12/31/9999 11:59:59 PM")},
        {Variant::Date(1e7), VT_BSTR, E_INVALIDARG, {}},
        {Str("1-2-70"), VT_DATE, S_OK, Variant::Date(25570)},
        {Str("1/2/29"), VT_DATE, S_OK, Variant::Date(47120)},
        {Str("12/29/1899 12:00:00 PM"), VT_DATE, S_OK, Variant::Date(-1.5)},
        {Str("00:00 p"), VT_DATE, S_OK, Variant::Date(0.5)},
        {Str("13:00 AM"), VT_DATE, S_OK, Variant::Date(13.0 / 24)},
        {Str("2/30/2000"), VT_DATE, kMismatch, {}},
        {Str("24:00"), VT_DATE, kMismatch, {}},
        {Str("1"), VT_DATE, kMismatch, {}},
        // Year first, with or without a time; day first when the first number is no month.
        {Str("1970-1-13"), VT_DATE, S_OK, Variant::Date(25581)},
        {Str("2013-05-14 02:04:12"), VT_DATE, S_OK, Variant::Date(41408 + Seconds(7452))},
        {Str("13-1-1970"), VT_DATE, S_OK, Variant::Date(25581)},
        {Str("14 2 3"), VT_DATE, S_OK, Variant::Date(41673)},
        {Str("2 3 32"), VT_DATE, S_OK, Variant::Date(11722)},
        // Month names and abbreviations.
        {Str("2 Jan 1970"), VT_DATE, S_OK, Variant::Date(25570)},
        {Str("2 January, 1970"), VT_DATE, S_OK, Variant::Date(25570)},
        {Str("JAN 2"), VT_DATE, S_OK, Variant::Date(jan2)},
        {Str("Jan 35"), VT_DATE, S_OK, Variant::Date(12785)},
        // Blank-separated dates; two numbers are month and day, else year and month.
        {Str("1 2 1970"), VT_DATE, S_OK, Variant::Date(25570)},
        {Str("1 2"), VT_DATE, S_OK, Variant::Date(jan2)},
        {Str("2 1"), VT_DATE, S_OK, Variant::Date(jan2 + 30)},
        {Str("30 2"), VT_DATE, S_OK, Variant::Date(10990)},
        // '.' between the parts of a time; a time before or after the date.
        {Str("0.1"), VT_DATE, S_OK, Variant::Date(Seconds(60))},
        {Str("2.5"), VT_DATE, S_OK, Variant::Date(Seconds(7500))},
        {Str("1.5.2"), VT_DATE, S_OK, Variant::Date(Seconds(3902))},
        {Str("1 am"), VT_DATE, S_OK, Variant::Date(Seconds(3600))},
        {Str("3 am 1 2"), VT_DATE, S_OK, Variant::Date(jan2 + 0.125)},
        {Str("1.2 3 4 5"), VT_DATE, S_OK, Variant::Date(38415 + Seconds(3720))},
        {Str("1 2 3 4.5"), VT_DATE, S_OK, Variant::Date(37623 + Seconds(14700))},
        {Str("6/30/2011 01:20:34 PM"), VT_DATE, S_OK, Variant::Date(40724 + Seconds(48034))},
        // Still refused.
        {Str("0.0"), VT_DATE, kMismatch, {}},
        {Str("24.00"), VT_DATE, kMismatch, {}},
        {Str("0."), VT_DATE, kMismatch, {}},
        {Str("-1.1"), VT_DATE, kMismatch, {}},
        {Str("1 2 am"), VT_DATE, kMismatch, {}},
        {Str("1.5 2"), VT_DATE, kMismatch, {}},
        {Str("2 32 3"), VT_DATE, kMismatch, {}},
        {Str("1.2 3.4"), VT_DATE, kMismatch, {}},
        {Str("1.2 3 4 am"), VT_DATE, kMismatch, {}},
        {Str("1;2;3"), VT_DATE, kMismatch, {}},
        {Str("Jan Feb 2"), VT_DATE, kMismatch, {}},
        {Str("02.01.1970"), VT_DATE, kMismatch, {}},
        {Str("2013-05-14 02:04:12.017000000"), VT_DATE, kMismatch, {}},
        // Empty, null, errors, objects, arrays and bad kinds.
        {Variant(), VT_I4, S_OK, Variant::I4(0)},
        {Variant(), VT_ERROR, kMismatch, {}},
        {Str("x"), VT_EMPTY, S_OK, Variant()},
        {Variant::R8(2), VT_NULL, S_OK, Variant::Null()},
        {Variant::Null(), VT_EMPTY, kMismatch, {}},
        {Variant::Error(5), VT_I4, kMismatch, {}},
        {Variant::Dispatch(nullptr), VT_BSTR, kMismatch, {}},
        {Variant::I4(1), VT_VARIANT, kMismatch, {}},
        {Variant::I4(1), VT_ARRAY | VT_I4, kMismatch, {}},
        // Arrays convert only to their own kind, an array of values included.
        {V("r8@3[1.5, 2.5]"), VT_ARRAY | VT_R8, S_OK, V("r8@3[1.5, 2.5]")},
        {V("r8@3[1.5, 2.5]"), VT_ARRAY | VT_I4, kMismatch, {}},
        {V("r8@3[1.5, 2.5]"), VT_EMPTY, kMismatch, {}},
        {V("variant[empty, empty]"), VT_ARRAY | VT_VARIANT, S_OK, V("variant[empty, empty]")},
        {Variant::I4(1), 13, DISP_E_BADVARTYPE, {}},
        {Variant::I4(1), VT_ARRAY | VT_I8, DISP_E_BADVARTYPE, {}},
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

TEST(Variant, CopiesAreDeepMovesAndClearsLeaveEmptyValues) {
    Variant source = V("r8[1, 2, 3]");
    Variant copy = source;
    Variant viaCall;
    ASSERT_EQ(VariantCopy(&viaCall, &source), S_OK);
    const int32_t index = 1;
    ASSERT_EQ(SafeArrayPutElement(source.parray(), &index, Variant::R8(99)), S_OK);
    EXPECT_EQ(copy, V("r8[1, 2, 3]"));
    EXPECT_EQ(viaCall, copy);

    SafeArray* array = source.parray();
    Variant moved = std::move(source);
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(moved.parray(), array);
    EXPECT_EQ(moved.TakeArray().get(), array);
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(copy, Variant());
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
    EXPECT_NE(V("decimal 1.0"), V("decimal 1"));
    EXPECT_NE(V("r8[1, 2]"), V("r8@1[1, 2]"));
    EXPECT_NE(V("r8[1, 2]"), V("r8[1, 3]"));
}

}  // namespace
