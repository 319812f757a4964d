// Text into every scalar kind and back: conversions may fail only with the
// documented codes, and whatever reads back must read back the same.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/coerce.h"
#include "platform/variant.h"

namespace {

// Significant digits of the number part (before any exponent), or a large
// count for text that is not a plain number.
size_t SignificantDigits(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == 'e' || c == 'E') break;
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    return digits.find_last_not_of('0') - first + 1;
}

Variant ToText(const Variant& v) {
    Variant text;
    Require(SUCCEEDED(VariantChangeType(&text, &v, 0, VT_BSTR)));
    return text;
}

// Binary values are only promised to survive printing when the text carried
// no more digits than the type holds and the value is not subnormal.
bool RoundTripPromised(const Variant& value, size_t digits) {
    if (value.vt() == VT_R8) {
        const double x = value.dblVal();
        return digits <= 15 && (x == 0 || std::fabs(x) >= DBL_MIN);
    }
    if (value.vt() == VT_R4) {
        const float x = value.fltVal();
        return digits <= 6 && (x == 0 || std::fabs(x) >= FLT_MIN);
    }
    return true;
}

constexpr VARTYPE kKinds[] = {VT_I1,  VT_UI1,  VT_I2, VT_UI2, VT_I4, VT_UI4,  VT_I8,   VT_UI8,
                              VT_INT, VT_UINT, VT_R4, VT_R8,  VT_CY, VT_DATE, VT_BOOL, VT_DECIMAL};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Variant source = Variant::Str(text);
    const size_t digits = SignificantDigits(text);
    for (VARTYPE kind : kKinds) {
        Variant value;
        const HRESULT hr = VariantChangeType(&value, &source, 0, kind);
        Require(hr == S_OK || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW);
        if (FAILED(hr)) continue;
        Require(value.vt() == kind);
        const Variant printed = ToText(value);
        Variant again;
        const HRESULT back = VariantChangeType(&again, &printed, 0, kind);
        if (!RoundTripPromised(value, digits)) continue;
        Require(back == S_OK);
        Require(ToText(again).bstrVal() == printed.bstrVal());
        // A decimal may come back at another scale ("1.0" reads back as "1");
        // binary zeros lose their sign in print.
        if (kind == VT_R8) {
            Require(again.dblVal() == value.dblVal());
        } else if (kind == VT_R4) {
            Require(again.fltVal() == value.fltVal());
        } else if (kind != VT_DECIMAL) {
            Require(again == value);
        }
    }
    double x = 0;
    if (SUCCEEDED(VarR8FromStr(text, &x))) Require(!std::isnan(x) && !std::isinf(x));
    return 0;
}
