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

// Prints a double in its shortest form with up to 15 significant digits:
// "0.1", "2.5", "-3", "1E+15", "1E-05", "1.79769313486232E+308". Zero prints
// "0" whatever its sign; infinities print "1.#INF" and "-1.#INF", NaNs
// "1.#QNAN" or "-1.#QNAN" by their sign bit, and the processor's default NaN
// "-1.#IND". None of these forms reads back as a number.
std::string VarBstrFromR8(double value);

// The same for a float, with up to 7 significant digits.
std::string VarBstrFromR4(float value);

// Parses a date and time as VarBstrFromDate prints them: "M/D/YYYY",
// "M/D/YYYY h:mm:ss AM", "h:mm:ss PM", with '-' also accepted between the
// parts of a date, seconds optional, the marker optional (AM, PM, A or P in any
// case; ignored for hours above 12) and 24-hour times accepted. One- and
// two-digit years mean 2000-2029 and 1930-1999. DISP_E_TYPEMISMATCH for any
// other text or a date outside 1/1/100 to 12/31/9999.
HRESULT VarDateFromStr(std::string_view text, DATE* out);

// Prints a date: the date alone when the time is midnight, the time alone on
// day 0 (12/30/1899), both otherwise, the time rounded to the second.
// E_INVALIDARG for a value outside 1/1/100 to 12/31/9999 (NaN included).
HRESULT VarBstrFromDate(DATE value, std::string* out);
