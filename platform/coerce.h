#pragma once
// Text forms of the automation values in the "C"/English locale: the rules
// VariantChangeType applies when one side of a conversion is text, exposed for
// hosts and file formats that must read and print values the same way.
#include <string>
#include <string_view>

#include "platform/variant.h"

// Parses a number: optional blanks, an optional sign, digits with an optional
// decimal point (commas between digits of the whole part are thousands
// separators and are skipped), an optional exponent (E or e, optional sign,
// digits), optional blanks. DISP_E_TYPEMISMATCH for any other text (empty,
// "12abc", "0x10", "&H10", "1.#INF"), DISP_E_OVERFLOW when the magnitude
// exceeds a double; values below the smallest double give zero.
HRESULT VarR8FromStr(std::string_view text, double* out);

// Prints a double with up to 15 significant digits, a half rounded away from
// zero: "0.1", "2.5", "-3", "0.00001", "0.000000000056789", "5.6789E-12",
// "1E+15", "1.79769313486232E+308" (exponent form from 15 digits before the
// point, and below 0.00000000001). Zero prints
// "0" whatever its sign; infinities print "1.#INF" and "-1.#INF", NaNs
// "1.#QNAN" or "-1.#QNAN" by their sign bit, and the processor's default NaN
// "-1.#IND". None of these forms reads back as a number.
std::string VarBstrFromR8(double value);

// The same for a float, with up to 7 significant digits: 654322.25 prints
// "654322.3", 16777216 "1.677722E+07".
std::string VarBstrFromR4(float value);

// Parses a date, a time, or both, in the forms the English platform reads:
// "1/2/1970", "1-2-70", "1 2 1970", "1970-1-2", "13-1-1970", "2 Jan 1970",
// "2 January, 1970", "Jan 2" (this year), "Jan 35" (January 1935),
// "2013-05-14 02:04:12", "1/2/1970 1:20 PM", "1 am", "2.5" (2:05).
// A date is two or three numbers, or a month name (full or three letters) with one or
// two, separated by blanks, '/' or '-'; three numbers read as month/day/year, else
// year/month/day, else day/month/year; two as month and day of this year, else as year
// and month. A time is up to three numbers joined by ':' or '.', or one number with a
// marker (AM, PM, A or P in any case; ignored for hours above 12), before or after the
// date. One- and two-digit years mean 2000-2029 and 1930-1999.
// DISP_E_TYPEMISMATCH for any other text or a date outside 1/1/100 to 12/31/9999.
HRESULT VarDateFromStr(std::string_view text, DATE* out);

// Whether `value` lies in 1/1/100 to 12/31/9999 (any time of those days).
bool IsDateInRange(DATE value);

// Prints a date: the date alone when the time is midnight, the time alone on
// day 0 (12/30/1899), both otherwise, the time rounded to the second.
// E_INVALIDARG for a value outside 1/1/100 to 12/31/9999 (NaN included).
HRESULT VarBstrFromDate(DATE value, std::string* out);
