// VariantChangeType: the value kinds meet in a few exact forms (a 128-bit
// integer, a binary double, a decimal digit string), each target kind has one
// range-checked primitive that reads those forms, and one table picks the
// primitive for the target.
#include "platform/coerce.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/safearray.h"
#include "platform/text.h"

namespace {

using Int = __int128;
using UInt = unsigned __int128;

constexpr UInt kUIntMax = ~static_cast<UInt>(0);

// ---------------------------------------------------------------------------
// Decimal digit strings: value = ±digits × 10^exponent. Leading zeros are never
// kept; an empty digit string is zero.

struct Exact {
    bool negative = false;
    std::string digits;
    int64_t exponent = 0;
};

// Exponents beyond this cannot change the outcome (every kind has overflowed
// or rounded to zero long before) and capping keeps the arithmetic in range.
constexpr int64_t kExponentCap = 100000;

std::string DigitsOf(UInt m) {
    std::string reversed;
    for (; m != 0; m /= 10)
        reversed.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
    return std::string(reversed.rbegin(), reversed.rend());
}

Exact ExactFromInteger(Int v) {
    return {v < 0, DigitsOf(v < 0 ? -static_cast<UInt>(v) : static_cast<UInt>(v)), 0};
}

Exact ExactFromScaled(bool negative, UInt mantissa, int scale) {
    return {negative, DigitsOf(mantissa), -scale};
}

bool ParseExact(std::string_view text, Exact* out) {
    std::string_view s = Trim(text);
    size_t i = 0;
    Exact x;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) x.negative = s[i++] == '-';
    std::string whole, fraction;
    while (i < s.size()) {
        if (IsDigit(s[i])) {
            whole.push_back(s[i++]);
        } else if (s[i] == ',' && !whole.empty() && i + 1 < s.size() && IsDigit(s[i + 1])) {
            ++i;  // the English thousands separator, accepted anywhere between digits
        } else {
            break;
        }
    }
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i)
            fraction.push_back(s[i]);
    }
    if (whole.empty() && fraction.empty()) return false;
    int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
        if (i >= s.size() || !IsDigit(s[i])) return false;
        for (; i < s.size() && IsDigit(s[i]); ++i) {
            exponent = std::min(exponent * 10 + (s[i] - '0'), kExponentCap);
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (i != s.size()) return false;
    // Zeros after the last fraction digit carry no value; dropping them keeps
    // decimals at the smallest scale ("2.50" is 2.5).
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string digits = whole + fraction;
    size_t lead = digits.find_first_not_of('0');
    if (lead != std::string::npos) {
        x.digits = digits.substr(lead);
        x.exponent = exponent - static_cast<int64_t>(fraction.size());
    }
    *out = std::move(x);
    return true;
}

bool MulAdd(UInt* v, int digit) {
    if (*v > (kUIntMax - static_cast<UInt>(digit)) / 10) return false;
    *v = *v * 10 + static_cast<UInt>(digit);
    return true;
}

// |x| × 10^scale rounded half to even; false when it does not fit 128 bits.
bool RoundExact(const Exact& x, int scale, UInt* out) {
    const int64_t n = static_cast<int64_t>(x.digits.size());
    const int64_t keep = n + x.exponent + scale;  // digits left of the rounding point
    if (n == 0) {
        *out = 0;
        return true;
    }
    if (keep > 39) return false;
    UInt value = 0;
    for (int64_t i = 0; i < keep; ++i) {
        if (!MulAdd(&value, i < n ? x.digits[i] - '0' : 0)) return false;
    }
    if (keep < n) {
        // Digits exist beyond the point; with no leading zeros, a point before
        // the first digit leaves a first dropped digit of 0 and a nonzero rest.
        const int first = keep >= 0 ? x.digits[keep] - '0' : 0;
        const size_t restFrom = keep >= 0 ? static_cast<size_t>(keep) + 1 : 0;
        const bool rest = x.digits.find_first_not_of('0', restFrom) != std::string::npos;
        if (first > 5 || (first == 5 && (rest || (value & 1) != 0))) {
            if (value == kUIntMax) return false;
            ++value;
        }
    }
    *out = value;
    return true;
}

std::string FormatExact(const Exact& x) {
    if (x.digits.empty()) return "0";
    std::string text;
    if (x.exponent >= 0) {
        text = x.digits + std::string(static_cast<size_t>(x.exponent), '0');
    } else {
        const size_t places = static_cast<size_t>(-x.exponent);
        if (x.digits.size() > places) {
            const size_t point = x.digits.size() - places;
            text = x.digits.substr(0, point) + "." + x.digits.substr(point);
        } else {
            text = "0." + std::string(places - x.digits.size(), '0') + x.digits;
        }
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return x.negative ? "-" + text : text;
}

// The binary value nearest to x; DISP_E_OVERFLOW beyond the type's range.
template <class T>
HRESULT ExactToBinary(const Exact& x, T* out) {
    const T zero = x.negative ? -T(0) : T(0);
    if (x.digits.empty()) {
        *out = zero;
        return S_OK;
    }
    std::string text = (x.negative ? "-" : "") + x.digits + "e" + std::to_string(x.exponent);
    T value{};
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool huge = static_cast<int64_t>(x.digits.size()) + x.exponent > 0;
        if (huge) return DISP_E_OVERFLOW;
        value = zero;
    }
    *out = value;
    return S_OK;
}

// ---------------------------------------------------------------------------
// Binary floating point.

constexpr uint64_t kDefaultNaNBits = 0xFFF8000000000000ull;

// Below this decimal exponent of the first digit a number prints in exponent form: the
// platform writes 5.6789E-11 as "0.000000000056789" but 5.6789E-12 as "5.6789E-12".
constexpr int kLeastPlainExponent = -11;

// The digits of |x| cut to `precision` significant digits, a half rounded away from zero
// as the platform does (to_chars would round it to even), without trailing zeros; and the
// decimal exponent of the first digit.
struct SignificantDigits {
    std::string digits;
    int exponent = 0;
};

SignificantDigits RoundSignificant(double magnitude, int precision) {
    // Thirty digits settle the rounding unless the digits after the cut read as a half;
    // only then is the exact expansion (at most 767 significant digits) needed.
    char buffer[1024];
    SignificantDigits out;
    const auto expand = [&](int digits) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                          std::chars_format::scientific, digits - 1);
        const std::string_view text(buffer, result.ptr);
        const size_t e = text.find('e');
        out.digits = std::string(1, text[0]) + std::string(text.substr(2, e - 2));
        std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                        out.exponent);
    };
    expand(30);
    const auto tail = [&] { return std::string_view(out.digits).substr(precision); };
    const bool nearHalf =
        (tail()[0] == '5' && tail().find_first_not_of('0', 1) == std::string::npos) ||
        (tail()[0] == '4' && tail().find_first_not_of('9', 1) == std::string::npos);
    if (nearHalf) expand(768);
    const bool up = tail()[0] >= '5';
    out.digits.resize(precision);
    if (up) {
        size_t i = out.digits.size();
        while (i > 0 && out.digits[i - 1] == '9')
            out.digits[--i] = '0';
        if (i == 0) {
            out.digits.insert(out.digits.begin(), '1');
            out.digits.pop_back();
            ++out.exponent;
        } else {
            ++out.digits[i - 1];
        }
    }
    out.digits.erase(std::max<size_t>(1, out.digits.find_last_not_of('0') + 1));
    return out;
}

std::string FormatBinary(double x, int precision) {
    if (std::isnan(x)) {
        if (std::bit_cast<uint64_t>(x) == kDefaultNaNBits) return "-1.#IND";
        return std::signbit(x) ? "-1.#QNAN" : "1.#QNAN";
    }
    if (std::isinf(x)) return x > 0 ? "1.#INF" : "-1.#INF";
    if (x == 0) return "0";
    const auto [digits, exponent] = RoundSignificant(std::fabs(x), precision);
    std::string text = x < 0 ? "-" : "";
    if (exponent < kLeastPlainExponent || exponent >= precision) {
        text += digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        const std::string power = std::to_string(std::abs(exponent));
        text += (exponent < 0 ? "E-" : "E+") + std::string(power.size() < 2 ? 1 : 0, '0') + power;
    } else if (exponent < 0) {
        text += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        text += digits.substr(0, whole) + std::string(whole - std::min(whole, digits.size()), '0');
        if (digits.size() > whole) text += "." + digits.substr(whole);
    }
    return text;
}

// Rounds half to even; false for NaN, infinities and values far beyond any
// integer kind.
bool RoundBinary(double x, Int* out) {
    if (!(x > -1e38 && x < 1e38)) return false;
    double whole = std::floor(x);
    const double fraction = x - whole;  // exact: both lie in the same binade or below
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
    *out = static_cast<Int>(whole);
    return true;
}

// ---------------------------------------------------------------------------
// Source values as one of three exact forms.

struct Number {
    enum class Form { kInteger, kBinary, kDecimal };
    Form form = Form::kInteger;
    Int integer = 0;
    double binary = 0;
    int precision = 15;  // significant digits the binary value prints with
    Exact decimal = {};
};

// How an integer kind's payload is read and made; its width and sign are
// facts of the kind.
struct IntegerKind {
    VARTYPE vt;
    Int (*read)(const Variant&);
    Variant (*make)(Int);  // keeps the low bytes: range checks happen before
};

constexpr IntegerKind kIntegerKinds[] = {
    {VT_I1, [](const Variant& v) -> Int { return v.cVal(); },
     [](Int x) { return Variant::I1(static_cast<int8_t>(x)); }},
    {VT_UI1, [](const Variant& v) -> Int { return v.bVal(); },
     [](Int x) { return Variant::UI1(static_cast<uint8_t>(x)); }},
    {VT_I2, [](const Variant& v) -> Int { return v.iVal(); },
     [](Int x) { return Variant::I2(static_cast<int16_t>(x)); }},
    {VT_UI2, [](const Variant& v) -> Int { return v.uiVal(); },
     [](Int x) { return Variant::UI2(static_cast<uint16_t>(x)); }},
    {VT_I4, [](const Variant& v) -> Int { return v.lVal(); },
     [](Int x) { return Variant::I4(static_cast<int32_t>(x)); }},
    {VT_UI4, [](const Variant& v) -> Int { return v.ulVal(); },
     [](Int x) { return Variant::UI4(static_cast<uint32_t>(x)); }},
    {VT_INT, [](const Variant& v) -> Int { return v.lVal(); },
     [](Int x) { return Variant::Int(static_cast<int32_t>(x)); }},
    {VT_UINT, [](const Variant& v) -> Int { return v.ulVal(); },
     [](Int x) { return Variant::UInt(static_cast<uint32_t>(x)); }},
    {VT_I8, [](const Variant& v) -> Int { return v.llVal(); },
     [](Int x) { return Variant::I8(static_cast<int64_t>(x)); }},
    {VT_UI8, [](const Variant& v) -> Int { return v.ullVal(); },
     [](Int x) { return Variant::UI8(static_cast<uint64_t>(x)); }},
};

static_assert(InStepWithValueKinds(kIntegerKinds, [](const ValueKind& k) {
    return k.integer != IntegerClass::kNone;
}));

const IntegerKind* FindIntegerKind(VARTYPE vt) {
    for (const IntegerKind& kind : kIntegerKinds) {
        if (kind.vt == vt) return &kind;
    }
    return nullptr;
}

HRESULT Found(Number* out, Number n) {
    *out = std::move(n);
    return S_OK;
}

struct SourceKind {
    VARTYPE vt;
    HRESULT (*read)(const Variant&, Number*);
};

using Form = Number::Form;

const SourceKind kSourceKinds[] = {
    {VT_EMPTY, [](const Variant&, Number* n) { return Found(n, {}); }},
    // The stored 16 bits count, not their truth: a Boolean holding 1 reads 1.
    {VT_BOOL, [](const Variant& v, Number* n) { return Found(n, {.integer = v.boolVal()}); }},
    {VT_R4,
     [](const Variant& v, Number* n) {
         return Found(n, {.form = Form::kBinary, .binary = v.fltVal(), .precision = 7});
     }},
    {VT_R8,
     [](const Variant& v, Number* n) {
         return Found(n, {.form = Form::kBinary, .binary = v.dblVal(), .precision = 15});
     }},
    {VT_DATE,
     [](const Variant& v, Number* n) {
         return Found(n, {.form = Form::kBinary, .binary = v.date(), .precision = 15});
     }},
    {VT_CY,
     [](const Variant& v, Number* n) {
         const int64_t cy = v.cyVal().int64;
         const UInt magnitude = cy < 0 ? -static_cast<UInt>(cy) : static_cast<UInt>(cy);
         return Found(n,
                      {.form = Form::kDecimal, .decimal = ExactFromScaled(cy < 0, magnitude, 4)});
     }},
    {VT_DECIMAL,
     [](const Variant& v, Number* n) {
         const DECIMAL& d = v.decVal();
         if (d.scale > 28 || (d.sign & ~DECIMAL_NEG) != 0) return E_INVALIDARG;
         const UInt mantissa = (static_cast<UInt>(d.Hi32) << 64) | d.Lo64;
         return Found(n, {.form = Form::kDecimal,
                          .decimal = ExactFromScaled(d.sign != 0, mantissa, d.scale)});
     }},
    {VT_BSTR,
     [](const Variant& v, Number* n) {
         Exact x;
         if (!ParseExact(v.bstrVal(), &x)) return DISP_E_TYPEMISMATCH;
         return Found(n, {.form = Form::kDecimal, .decimal = std::move(x)});
     }},
};

HRESULT NumberOf(const Variant& v, Number* n) {
    if (const IntegerKind* kind = FindIntegerKind(v.vt()))
        return Found(n, {.integer = kind->read(v)});
    for (const SourceKind& source : kSourceKinds) {
        if (source.vt == v.vt()) return source.read(v, n);
    }
    return DISP_E_TYPEMISMATCH;
}

// A binary value goes to decimal through the digits it prints, so that a
// double converts to currency or decimal exactly as its text would.
HRESULT ExactOf(const Number& n, Exact* out) {
    switch (n.form) {
        case Number::Form::kInteger:
            *out = ExactFromInteger(n.integer);
            return S_OK;
        case Number::Form::kBinary:
            if (!std::isfinite(n.binary)) return DISP_E_OVERFLOW;
            ParseExact(FormatBinary(n.binary, n.precision), out);
            return S_OK;
        case Number::Form::kDecimal:
            *out = n.decimal;
            return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT ExactOfSource(const Variant& src, Exact* out) {
    Number n;
    if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
    return ExactOf(n, out);
}

template <class T>
HRESULT BinaryOf(const Number& n, T* out) {
    switch (n.form) {
        case Number::Form::kInteger:
            *out = static_cast<T>(n.integer);
            return S_OK;
        case Number::Form::kBinary: {
            const T value = static_cast<T>(n.binary);
            if (std::isinf(value) && std::isfinite(n.binary)) return DISP_E_OVERFLOW;
            *out = value;
            return S_OK;
        }
        case Number::Form::kDecimal:
            return ExactToBinary(n.decimal, out);
    }
    return DISP_E_TYPEMISMATCH;
}

// ---------------------------------------------------------------------------
// One primitive per target kind. Each sees a source that is a number, a
// Boolean, a date, text or empty: the other kinds were settled before.

HRESULT ToEmpty(const Variant&, VARTYPE, uint16_t, Variant* out) {
    *out = Variant();
    return S_OK;
}

HRESULT ToNull(const Variant&, VARTYPE, uint16_t, Variant* out) {
    *out = Variant::Null();
    return S_OK;
}

HRESULT ToInteger(const Variant& src, VARTYPE vt, uint16_t, Variant* out) {
    const IntegerKind& target = *FindIntegerKind(vt);
    Number n;
    if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
    Int value = 0;
    if (n.form == Number::Form::kInteger) {
        value = n.integer;
    } else if (n.form == Number::Form::kBinary) {
        if (!RoundBinary(n.binary, &value)) return DISP_E_OVERFLOW;
    } else {
        // Every integer kind lies well inside 64 bits, so a larger magnitude is
        // out of range whatever its sign.
        UInt magnitude;
        if (!RoundExact(n.decimal, 0, &magnitude) || magnitude > UINT64_MAX) return DISP_E_OVERFLOW;
        value = n.decimal.negative ? -static_cast<Int>(magnitude) : static_cast<Int>(magnitude);
    }
    // The platform moves Booleans, and integers between the signed and
    // unsigned kinds of one width, by their bits: -1 becomes 255 as a byte.
    const ValueKind& targetFacts = *FindValueKind(vt);
    const ValueKind* sourceFacts = FindValueKind(src.vt());
    const bool keepsBits =
        src.vt() == VT_BOOL || (sourceFacts && sourceFacts->integer != IntegerClass::kNone &&
                                sourceFacts->payloadBytes == targetFacts.payloadBytes);
    const bool isSigned = targetFacts.integer == IntegerClass::kSigned;
    const int bits = 8 * targetFacts.payloadBytes;
    const Int min = isSigned ? -(static_cast<Int>(1) << (bits - 1)) : 0;
    const Int max = (static_cast<Int>(1) << (isSigned ? bits - 1 : bits)) - 1;
    if (!keepsBits && (value < min || value > max)) return DISP_E_OVERFLOW;
    *out = target.make(value);
    return S_OK;
}

template <class T, Variant (*Make)(T)>
HRESULT ToBinaryKind(const Variant& src, VARTYPE, uint16_t, Variant* out) {
    Number n;
    T value;
    if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
    if (HRESULT hr = BinaryOf(n, &value); FAILED(hr)) return hr;
    *out = Make(value);
    return S_OK;
}

HRESULT ToDate(const Variant& src, VARTYPE, uint16_t, Variant* out) {
    DATE value;
    if (src.vt() == VT_BSTR) {
        if (HRESULT hr = VarDateFromStr(src.bstrVal(), &value); FAILED(hr)) return hr;
    } else {
        Number n;
        if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
        if (HRESULT hr = BinaryOf(n, &value); FAILED(hr)) return hr;
        if (!IsDateInRange(value)) return DISP_E_OVERFLOW;
    }
    *out = Variant::Date(value);
    return S_OK;
}

HRESULT ToBool(const Variant& src, VARTYPE, uint16_t, Variant* out) {
    if (src.vt() == VT_BSTR) {
        const std::string_view word = Trim(src.bstrVal());
        if (EqualsIgnoringCase(word, "true") || EqualsIgnoringCase(word, "false")) {
            *out = Variant::Bool(EqualsIgnoringCase(word, "true"));
            return S_OK;
        }
        // The platform's own spelling of a Boolean literal, in every locale, letter case
        // exact.
        if (word == "#TRUE#" || word == "#FALSE#") {
            *out = Variant::Bool(word == "#TRUE#");
            return S_OK;
        }
    }
    Number n;
    if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
    const bool nonzero = n.form == Number::Form::kInteger  ? n.integer != 0
                         : n.form == Number::Form::kBinary ? n.binary != 0
                                                           : !n.decimal.digits.empty();
    *out = Variant::Bool(nonzero);
    return S_OK;
}

HRESULT ToCy(const Variant& src, VARTYPE, uint16_t, Variant* out) {
    Exact x;
    UInt magnitude;
    if (HRESULT hr = ExactOfSource(src, &x); FAILED(hr)) return hr;
    const UInt limit = static_cast<UInt>(INT64_MAX) + (x.negative ? 1 : 0);
    if (!RoundExact(x, 4, &magnitude) || magnitude > limit) return DISP_E_OVERFLOW;
    const Int value = x.negative ? -static_cast<Int>(magnitude) : static_cast<Int>(magnitude);
    *out = Variant::Cy(CY{static_cast<int64_t>(value)});
    return S_OK;
}

HRESULT ToDecimal(const Variant& src, VARTYPE, uint16_t, Variant* out) {
    Exact x;
    if (HRESULT hr = ExactOfSource(src, &x); FAILED(hr)) return hr;
    // A Boolean holding another number than 0 or -1 becomes 1 with its sign.
    if (src.vt() == VT_BOOL && !x.digits.empty()) x.digits = "1";
    // Keep as many fraction digits as 96 bits and a scale of 28 allow.
    constexpr UInt kLimit = static_cast<UInt>(1) << 96;
    for (int scale = static_cast<int>(std::clamp<int64_t>(-x.exponent, 0, 28)); scale >= 0;
         --scale) {
        UInt mantissa;
        if (RoundExact(x, scale, &mantissa) && mantissa < kLimit) {
            // Digits rounded away entirely leave a plain zero; only a source
            // that carries its own scale (currency) keeps it on zero.
            DECIMAL d;
            d.scale = static_cast<uint8_t>(mantissa == 0 && !x.digits.empty() ? 0 : scale);
            d.sign = x.negative && mantissa != 0 ? DECIMAL_NEG : 0;
            d.Hi32 = static_cast<uint32_t>(mantissa >> 64);
            d.Lo64 = static_cast<uint64_t>(mantissa);
            *out = Variant::Decimal(d);
            return S_OK;
        }
    }
    return DISP_E_OVERFLOW;
}

HRESULT ToText(const Variant& src, VARTYPE, uint16_t flags, Variant* out) {
    std::string text;  // empty converts to the empty string
    if (src.vt() == VT_BOOL && (flags & VARIANT_ALPHABOOL) != 0) {
        text = src.boolVal() != 0 ? "True" : "False";
    } else if (src.vt() == VT_DATE) {
        if (HRESULT hr = VarBstrFromDate(src.date(), &text); FAILED(hr)) return hr;
    } else if (src.vt() != VT_EMPTY) {
        Number n;
        if (HRESULT hr = NumberOf(src, &n); FAILED(hr)) return hr;
        text = n.form == Number::Form::kInteger  ? FormatExact(ExactFromInteger(n.integer))
               : n.form == Number::Form::kBinary ? FormatBinary(n.binary, n.precision)
                                                 : FormatExact(n.decimal);
    }
    *out = Variant::Str(std::move(text));
    return S_OK;
}

struct TargetKind {
    VARTYPE vt;
    HRESULT (*convert)(const Variant& src, VARTYPE vt, uint16_t flags, Variant* out);
};

constexpr TargetKind kTargetKinds[] = {
    {VT_EMPTY, ToEmpty},
    {VT_NULL, ToNull},
    {VT_I1, ToInteger},
    {VT_UI1, ToInteger},
    {VT_I2, ToInteger},
    {VT_UI2, ToInteger},
    {VT_I4, ToInteger},
    {VT_UI4, ToInteger},
    {VT_I8, ToInteger},
    {VT_UI8, ToInteger},
    {VT_INT, ToInteger},
    {VT_UINT, ToInteger},
    {VT_R4, ToBinaryKind<float, Variant::R4>},
    {VT_R8, ToBinaryKind<double, Variant::R8>},
    {VT_CY, ToCy},
    {VT_DATE, ToDate},
    {VT_BOOL, ToBool},
    {VT_BSTR, ToText},
    {VT_DECIMAL, ToDecimal},
};
static_assert(InStepWithValueKinds(kTargetKinds, [](const ValueKind& k) { return k.convertible; }));

bool IsValueKind(VARTYPE vt) {
    if ((vt & VT_ARRAY) != 0) {
        const VARTYPE element = static_cast<VARTYPE>(vt & ~VT_ARRAY);
        return element <= VT_TYPEMASK && IsStorableElementType(element);
    }
    return !VarTypeName(vt).empty();
}

HRESULT Coerce(const Variant& src, uint16_t flags, VARTYPE vt, Variant* out) {
    // Errors, objects and arrays convert only to their own kind; null only to
    // null; everything else to empty and null.
    const VARTYPE kind = src.vt();
    if (src.IsArray() || kind == VT_ERROR || kind == VT_DISPATCH || kind == VT_NULL) {
        return DISP_E_TYPEMISMATCH;
    }
    for (const TargetKind& target : kTargetKinds) {
        if (target.vt == vt) return target.convert(src, vt, flags, out);
    }
    return DISP_E_TYPEMISMATCH;  // an array kind the source is not
}

}  // namespace

HRESULT VariantChangeType(Variant* dst, const Variant* src, uint16_t flags, VARTYPE vt) {
    if (!dst || !src) return E_INVALIDARG;
    // A value converts to its own kind, whatever it is: that is a copy (and
    // the commonest request of all, so it skips the machinery below).
    if (src->vt() == vt) {
        try {
            *dst = *src;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    if (!IsValueKind(vt)) return DISP_E_BADVARTYPE;
    Variant result;
    try {
        if (HRESULT hr = Coerce(*src, flags, vt, &result); FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *dst = std::move(result);
    return S_OK;
}

HRESULT VarR8FromStr(std::string_view text, double* out) {
    Exact x;
    if (!ParseExact(text, &x)) return DISP_E_TYPEMISMATCH;
    return ExactToBinary(x, out);
}

std::string VarBstrFromR8(double value) {
    return FormatBinary(value, 15);
}

std::string VarBstrFromR4(float value) {
    return FormatBinary(value, 7);
}
