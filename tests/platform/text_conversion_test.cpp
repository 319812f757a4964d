// Conversions between numbers, Booleans, dates and text as the English platform makes
// them, one row per case, grouped by conversion pair.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/coerce.h"
#include "platform/value_text.h"
#include "platform/variant.h"

namespace {

struct Row {
    Variant source;
    VARTYPE target;
    HRESULT hr;
    Variant expected;  // when hr succeeds
};

void ExpectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(FormatValue(row.source));
        Variant dst = Variant::Str("unchanged");
        EXPECT_EQ(VariantChangeType(&dst, &row.source, 0, row.target), row.hr);
        if (SUCCEEDED(row.hr)) {
            EXPECT_EQ(FormatValue(dst), FormatValue(row.expected));
        }
    }
}

Row Text(double value, const char* text) {
    return {Variant::R8(value), VT_BSTR, S_OK, Variant::Str(text)};
}
Row Text(float value, const char* text) {
    return {Variant::R4(value), VT_BSTR, S_OK, Variant::Str(text)};
}

TEST(NumberToText, PlainDecimalsDownToTheExponentThreshold) {
    ExpectRows({
        Text(5.6789e-05, "0.000056789"),
        Text(5.6789e-11, "0.000000000056789"),
        Text(-5.6789e-12, "-5.6789E-12"),
        Text(1e-5, "0.00001"),
        Text(123456789012345.0, "123456789012345"),
        Text(999999999999999.9, "1E+15"),  // rounding reaches the sixteenth digit
        Text(1e-300, "1E-300"),
        Text(100000000000000.5, "100000000000001"),  // an exact half, away from zero
        Text(0.00005f, "0.00005"),
        Text(654322.25f, "654322.3"),
        Text(5.6789e-12f, "5.6789E-12"),
        Text(9999999.0f, "9999999"),
    });
}

Row Boolean(const char* text, HRESULT hr, bool value = false) {
    return {Variant::Str(text), VT_BOOL, hr, Variant::Bool(value)};
}

TEST(TextToBoolean, TheLiteralSpellingsAreCaseSensitive) {
    ExpectRows({
        Boolean("#TRUE#", S_OK, true),
        Boolean("#FALSE#", S_OK, false),
        Boolean("#False#", DISP_E_TYPEMISMATCH),
        Boolean("On", DISP_E_TYPEMISMATCH),
        Boolean("+1", S_OK, true),
    });
}

Row Decimal(int16_t raw, bool negative, uint64_t magnitude) {
    DECIMAL d;
    d.sign = negative ? DECIMAL_NEG : 0;
    d.Lo64 = magnitude;
    return {Variant::BoolRaw(raw), VT_DECIMAL, S_OK, Variant::Decimal(d)};
}

TEST(BooleanToDecimal, MagnitudeOneWithTheSignKept) {
    ExpectRows({
        Decimal(0, false, 0),
        Decimal(-1, true, 1),
        Decimal(5, false, 1),
    });
}

// A time of day as a fraction of the day.
double Seconds(int seconds) {
    return seconds / 86400.0;
}

Row Date(const char* text, double value) {
    return {Variant::Str(text), VT_DATE, S_OK, Variant::Date(value)};
}
Row NoDate(const char* text) {
    return {Variant::Str(text), VT_DATE, DISP_E_TYPEMISMATCH, {}};
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

TEST(TextToDate, EnglishFormsBeyondMonthDayYear) {
    const double jan2 = SecondOfJanuaryThisYear();
    ExpectRows({
        // Year first, with or without a time; day first when the first number is no month.
        Date("1970-1-13", 25581),
        Date("2013-05-14 02:04:12", 41408 + Seconds(7452)),
        Date("13-1-1970", 25581),
        Date("14 2 3", 41673),
        Date("2 3 32", 11722),
        // Month names and abbreviations.
        Date("2 Jan 1970", 25570),
        Date("2 January, 1970", 25570),
        Date("JAN 2", jan2),
        Date("Jan 35", 12785),
        // Blank-separated dates; two numbers are month and day, else year and month.
        Date("1 2 1970", 25570),
        Date("1 2", jan2),
        Date("2 1", jan2 + 30),
        Date("30 2", 10990),
        // '.' between the parts of a time; a time before or after the date.
        Date("0.1", Seconds(60)),
        Date("2.5", Seconds(7500)),
        Date("1.5.2", Seconds(3902)),
        Date("1 am", Seconds(3600)),
        Date("3 am 1 2", jan2 + 0.125),
        Date("1.2 3 4 5", 38415 + Seconds(3720)),
        Date("1 2 3 4.5", 37623 + Seconds(14700)),
        Date("6/30/2011 01:20:34 PM", 40724 + Seconds(48034)),
        // Still rejected.
        NoDate("0.0"),
        NoDate("24.00"),
        NoDate("0."),
        NoDate("-1.1"),
        NoDate("1 2 am"),
        NoDate("1.5 2"),
        NoDate("2 32 3"),
        NoDate("1.2 3.4"),
        NoDate("1.2 3 4 am"),
        NoDate("1;2;3"),
        NoDate("Jan Feb 2"),
        NoDate("02.01.1970"),
        NoDate("2013-05-14 02:04:12.017000000"),
    });
}

}  // namespace
