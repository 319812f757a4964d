#include "platform/value_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "platform/safearray.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint32_t kMaxDecimalScale = 28;
constexpr int64_t kCyScale = 10000;
constexpr size_t kCyDecimals = 4;

void AppendHex(uint64_t bits, int digits, std::string& out) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += kHexDigits[(bits >> shift) & 0xF];
}

template <class T>
void AppendNumber(T value, std::string& out) {
    char buf[64];
    std::to_chars_result result;
    if constexpr (std::is_floating_point_v<T>) {
        // People read 100000 and 0.0001 at a glance, 1e+05 and 1e-04 less so;
        // past these magnitudes the exponent form is the readable one. Either
        // way the text is the shortest that reads back to the same number.
        const T magnitude = value < 0 ? -value : value;
        const bool fixed = magnitude == 0 || (magnitude >= T(1e-5) && magnitude < T(1e16));
        result = std::to_chars(buf, buf + sizeof buf, value,
                               fixed ? std::chars_format::fixed : std::chars_format::scientific);
    } else {
        result = std::to_chars(buf, buf + sizeof buf, value);
    }
    out.append(buf, result.ptr);
}

// --- number grammar --------------------------------------------------------

// Whether all of `s` is `-?digits`, then with `point` an optional `.digits`,
// then with `exponent` an optional `[eE][+-]?digits`. Stricter than from_chars
// on purpose: no "infinity", "nan(...)", "+1" or bare ".5".
bool IsNumberText(std::string_view s, bool point, bool exponent) {
    size_t n = 0;
    auto take = [&](std::string_view set) {
        bool found = n < s.size() && set.find(s[n]) != std::string_view::npos;
        n += found;
        return found;
    };
    auto digits = [&] {
        size_t start = n;
        while (take("0123456789")) {
        }
        return n > start;
    };
    take("-");
    if (!digits()) return false;
    if (point && take(".") && !digits()) return false;
    if (exponent && take("eE") && (take("+-"), !digits())) return false;
    return n == s.size();
}

bool IsInteger(std::string_view s) {
    return IsNumberText(s, false, false);
}
bool IsDecimal(std::string_view s) {
    return IsNumberText(s, true, false);
}

enum class NumberRead { Ok, Malformed, OutOfRange };

template <class T>
NumberRead ReadInteger(std::string_view s, T* out, int base = 10) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), *out, base);
    if (ec == std::errc::result_out_of_range) return NumberRead::OutOfRange;
    return ec == std::errc() && ptr == s.data() + s.size() ? NumberRead::Ok : NumberRead::Malformed;
}

// A whole word in decimal: `-?digits` (from_chars alone would take a prefix).
template <class T>
NumberRead ReadIntegerWord(std::string_view s, T* out) {
    if (!IsInteger(s)) return NumberRead::Malformed;
    if (std::is_unsigned_v<T> && s[0] == '-') return NumberRead::OutOfRange;
    return ReadInteger(s, out);
}

// true, false or the raw 16-bit number.
NumberRead ReadBoolean(std::string_view s, VARIANT_BOOL* out) {
    if (s == "true" || s == "false") {
        *out = s == "true" ? VARIANT_TRUE : VARIANT_FALSE;
        return NumberRead::Ok;
    }
    return ReadIntegerWord(s, out);
}

// 0x and 1 to 8 hex digits.
NumberRead ReadErrorCode(std::string_view s, SCODE* out) {
    uint32_t code = 0;
    std::string_view hex = s.substr(std::min<size_t>(2, s.size()));
    if (!(s.starts_with("0x") || s.starts_with("0X")) || hex.empty() || hex.size() > 8 ||
        ReadInteger(hex, &code, 16) != NumberRead::Ok) {
        return NumberRead::Malformed;
    }
    *out = static_cast<SCODE>(code);
    return NumberRead::Ok;
}

// The bit pattern type of a float type.
template <class F>
using BitsOf = std::conditional_t<sizeof(F) == 8, uint64_t, uint32_t>;

template <class F>
constexpr BitsOf<F> kSignBit = BitsOf<F>{1} << (sizeof(F) * 8 - 1);
template <class F>
constexpr BitsOf<F> kQuietNan = std::bit_cast<BitsOf<F>>(std::numeric_limits<F>::quiet_NaN());

template <class F>
void FormatFloat(F value, std::string& out) {
    const BitsOf<F> bits = std::bit_cast<BitsOf<F>>(value);
    if (value != value) {
        // The default quiet NaN gets a name; any other payload is spelt out in
        // full so that it reads back bit for bit.
        if ((bits & ~kSignBit<F>) != kQuietNan<F>) {
            out += "nan:0x";
            AppendHex(bits, sizeof(F) * 2, out);
            return;
        }
        out += bits & kSignBit<F> ? "-nan" : "nan";
        return;
    }
    if (value == std::numeric_limits<F>::infinity()) {
        out += "inf";
    } else if (value == -std::numeric_limits<F>::infinity()) {
        out += "-inf";
    } else {
        AppendNumber(value, out);  // shortest text that reads back exactly
    }
}

template <class F>
NumberRead ReadFloat(std::string_view s, F* out) {
    using Bits = BitsOf<F>;
    constexpr std::string_view kPayload = "nan:0x";
    if (s == "nan" || s == "-nan") {
        *out = std::bit_cast<F>(static_cast<Bits>(kQuietNan<F> | (s[0] == '-' ? kSignBit<F> : 0)));
        return NumberRead::Ok;
    }
    if (s == "inf" || s == "-inf") {
        *out =
            s[0] == '-' ? -std::numeric_limits<F>::infinity() : std::numeric_limits<F>::infinity();
        return NumberRead::Ok;
    }
    if (s.starts_with(kPayload)) {
        std::string_view hex = s.substr(kPayload.size());
        Bits bits = 0;
        if (hex.empty() || hex.size() > sizeof(F) * 2 ||
            ReadInteger(hex, &bits, 16) != NumberRead::Ok) {
            return NumberRead::Malformed;
        }
        F value = std::bit_cast<F>(bits);
        if (value == value) return NumberRead::Malformed;  // the bits must be a NaN
        *out = value;
        return NumberRead::Ok;
    }
    if (!IsNumberText(s, true, true)) return NumberRead::Malformed;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
    if (ec == std::errc::result_out_of_range) return NumberRead::OutOfRange;
    return ec == std::errc() && ptr == s.data() + s.size() ? NumberRead::Ok : NumberRead::Malformed;
}

// --- currency and decimal ----------------------------------------------------

void FormatCy(const Variant& v, const DispatchNamer&, std::string& out) {
    const CY cy = v.cyVal();
    // Magnitude as unsigned so that the most negative amount has one too.
    uint64_t magnitude = cy.int64 < 0 ? 0 - static_cast<uint64_t>(cy.int64) : cy.int64;
    if (cy.int64 < 0) out += '-';
    AppendNumber(magnitude / kCyScale, out);
    uint64_t fraction = magnitude % kCyScale;
    if (fraction == 0) return;
    std::string digits(kCyDecimals, '0');
    for (size_t i = kCyDecimals; i-- > 0; fraction /= 10)
        digits[i] = static_cast<char>('0' + fraction % 10);
    digits.erase(digits.find_last_not_of('0') + 1);
    out += '.';
    out += digits;
}

// Reads `-?digits(.d{1,4})?` exactly.
NumberRead ReadCy(std::string_view s, CY* out) {
    if (!IsDecimal(s)) return NumberRead::Malformed;
    bool negative = s[0] == '-';
    std::string_view digits = s.substr(negative ? 1 : 0);
    size_t point = digits.find('.');
    std::string_view fraction = point == std::string_view::npos ? "" : digits.substr(point + 1);
    if (fraction.size() > kCyDecimals) return NumberRead::Malformed;
    uint64_t whole = 0;
    if (ReadInteger(digits.substr(0, point), &whole) != NumberRead::Ok ||
        whole > std::numeric_limits<uint64_t>::max() / kCyScale) {
        return NumberRead::OutOfRange;
    }
    uint64_t magnitude = whole * kCyScale;
    uint64_t scale = kCyScale;
    for (char c : fraction)
        magnitude += static_cast<uint64_t>(c - '0') * (scale /= 10);
    const uint64_t limit = uint64_t{1} << 63;  // |INT64_MIN|; INT64_MAX is one less
    if (magnitude > limit - (negative ? 0 : 1)) return NumberRead::OutOfRange;
    out->int64 = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return NumberRead::Ok;
}

// The 96-bit mantissa of a decimal as three 32-bit limbs, lowest first.
struct Mantissa {
    uint32_t limb[3];
};

Mantissa MantissaOf(const DECIMAL& d) {
    return {{static_cast<uint32_t>(d.Lo64), static_cast<uint32_t>(d.Lo64 >> 32), d.Hi32}};
}

void FormatDecimal(const Variant& v, const DispatchNamer&, std::string& out) {
    const DECIMAL& d = v.decVal();
    Mantissa m = MantissaOf(d);
    std::string digits;
    do {
        uint64_t remainder = 0;
        for (int i = 2; i >= 0; --i) {
            uint64_t part = (remainder << 32) | m.limb[i];
            m.limb[i] = static_cast<uint32_t>(part / 10);
            remainder = part % 10;
        }
        digits += static_cast<char>('0' + remainder);
    } while (m.limb[0] | m.limb[1] | m.limb[2]);
    // Every decimal of the scale is printed: trailing zeros are part of the value.
    if (digits.size() <= d.scale) digits.resize(d.scale + 1u, '0');
    std::reverse(digits.begin(), digits.end());
    if (d.scale) digits.insert(digits.size() - d.scale, 1, '.');
    if (d.sign) out += '-';
    out += digits;
}

// Reads `-?digits(.digits)?` with at most 28 decimals into an exact decimal.
NumberRead ReadDecimal(std::string_view s, DECIMAL* out) {
    if (!IsDecimal(s)) return NumberRead::Malformed;
    size_t point = s.find('.');
    size_t scale = point == std::string_view::npos ? 0 : s.size() - point - 1;
    if (scale > kMaxDecimalScale) return NumberRead::Malformed;
    Mantissa m{};
    for (char c : s) {
        if (c < '0' || c > '9') continue;
        uint64_t carry = static_cast<uint64_t>(c - '0');
        for (uint32_t& limb : m.limb) {
            uint64_t part = uint64_t{limb} * 10 + carry;
            limb = static_cast<uint32_t>(part);
            carry = part >> 32;
        }
        if (carry) return NumberRead::OutOfRange;
    }
    DECIMAL d;
    d.scale = static_cast<uint8_t>(scale);
    d.sign = s[0] == '-' ? DECIMAL_NEG : 0;
    d.Hi32 = m.limb[2];
    d.Lo64 = (uint64_t{m.limb[1]} << 32) | m.limb[0];
    *out = d;
    return NumberRead::Ok;
}

bool IsWellFormed(const DECIMAL& d) {
    return d.wReserved == 0 && d.scale <= kMaxDecimalScale &&
           (d.sign == 0 || d.sign == DECIMAL_NEG);
}

// --- strings -------------------------------------------------------------

struct Escape {
    char letter;  // after the backslash
    char byte;
};
// Both directions read this table, so what prints is exactly what reads.
constexpr Escape kEscapes[] = {
    {'"', '"'}, {'\\', '\\'}, {'n', '\n'}, {'t', '\t'}, {'r', '\r'},
};

void FormatString(const Variant& v, const DispatchNamer&, std::string& out) {
    out += '"';
    for (char c : v.bstrVal()) {
        auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                   [c](const Escape& e) { return e.byte == c; });
        auto byte = static_cast<unsigned char>(c);
        if (escape != std::end(kEscapes)) {
            out += '\\';
            out += escape->letter;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            AppendHex(byte, 2, out);
        } else {
            out += c;
        }
    }
    out += '"';
}

// --- per-kind text ---------------------------------------------------------

class Reader;

// How one kind's payload prints and reads. `format` is null for kinds without
// a payload (empty, null) and for variant, which exists only as array elements.
struct KindText {
    VARTYPE vt;
    void (*format)(const Variant& v, const DispatchNamer& names, std::string& out);
    bool (Reader::*parse)(Variant* out);
    const char* expected;  // what a payload looks like, for messages
};

template <auto Get>
void FormatNumberPayload(const Variant& v, const DispatchNamer&, std::string& out) {
    AppendNumber((v.*Get)(), out);
}

template <auto Get>
void FormatFloatPayload(const Variant& v, const DispatchNamer&, std::string& out) {
    FormatFloat((v.*Get)(), out);
}

void FormatBoolPayload(const Variant& v, const DispatchNamer& names, std::string& out) {
    VARIANT_BOOL b = v.boolVal();
    if (b == VARIANT_TRUE || b == VARIANT_FALSE) {
        out += b ? "true" : "false";
    } else {
        FormatNumberPayload<&Variant::boolVal>(v, names, out);  // a raw Boolean keeps its bits
    }
}

void FormatErrorPayload(const Variant& v, const DispatchNamer&, std::string& out) {
    out += "0x";
    AppendHex(static_cast<uint32_t>(v.scode()), 8, out);
}

void FormatDispatchPayload(const Variant& v, const DispatchNamer& names, std::string& out) {
    IDispatch* p = v.pdispVal();
    std::string name = !p ? "nothing" : names ? names(p) : std::string();
    out += name.empty() ? "?" : name;
}

const KindText* FindKindText(VARTYPE vt);

class Reader {
  public:
    Reader(std::string_view text, const DispatchResolver& resolve)
        : text_(text), resolve_(resolve) {}

    // A whole value: blanks, the value, blanks, end of text.
    bool Whole(Variant* out) {
        SkipBlanks();
        if (!Value(out, false)) return false;
        SkipBlanks();
        return pos_ == text_.size() ||
               Fail(pos_, "unexpected text after the value: " + Found(pos_));
    }

    std::string error;

    // A payload that is one word: `Read` parses it into a T, `Make` makes the value.
    template <class T, auto Read, auto Make>
    bool Word(Variant* out) {
        size_t at = pos_;
        std::string_view word = NextWord();
        T value{};
        switch (Read(word, &value)) {
            case NumberRead::Ok:
                *out = Make(value);
                return true;
            case NumberRead::OutOfRange:
                return Fail(at, Quoted(word) + " is out of the range of " + KindName());
            case NumberRead::Malformed:
                break;
        }
        return Expected(at);
    }

    bool String(Variant* out) {
        size_t open = pos_;
        if (!Take('"')) return Expected(open);
        std::string value;
        for (; pos_ < text_.size() && text_[pos_] != '"'; ++pos_) {
            if (text_[pos_] != '\\') {
                value += text_[pos_];
            } else if (pos_ + 1 == text_.size()) {
                break;  // a backslash cannot end the text: the string is unterminated
            } else if (!EscapedByte(&value)) {
                return false;
            }
        }
        if (!Take('"')) return Fail(open, "unterminated string");
        *out = Variant::Str(std::move(value));
        return true;
    }

    bool Object(Variant* out) {
        size_t at = pos_;
        std::string_view name = NextWord();
        if (name.empty()) return Expected(at);
        if (name == "nothing") {
            *out = Variant::Dispatch(nullptr);
            return true;
        }
        ComPtr<IDispatch> p = resolve_ ? resolve_(name) : nullptr;
        if (!p) return Fail(at, "unknown object " + Quoted(name));
        *out = Variant::Dispatch(std::move(p));
        return true;
    }

  private:
    static constexpr std::string_view kBlanks = " \t\r\n";
    static constexpr std::string_view kDelimiters = " \t\r\n,[]()@\"";

    bool Fail(size_t at, std::string what) {
        if (error.empty()) error = "column " + std::to_string(at + 1) + ": " + std::move(what);
        return false;
    }
    bool Expected(size_t at) {
        return Fail(at, std::string("expected ") + kind_->expected + " for " + KindName() +
                            ", found " + Found(at));
    }
    static std::string Quoted(std::string_view s) {
        constexpr size_t kShown = 24;  // enough to recognise, short enough for one line
        return "'" + std::string(s.substr(0, kShown)) + (s.size() > kShown ? "...'" : "'");
    }
    std::string Found(size_t at) const {
        if (at >= text_.size()) return "the end of the text";
        size_t end = std::min(text_.find_first_of(kDelimiters, at), text_.size());
        return Quoted(text_.substr(at, std::max<size_t>(end - at, 1)));
    }
    std::string KindName() const { return std::string(VarTypeName(kind_->vt)); }

    bool Peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    bool Take(char c) {
        if (!Peek(c)) return false;
        ++pos_;
        return true;
    }
    bool Expect(char c, const char* what) {
        return Take(c) || Fail(pos_, std::string("expected ") + what + ", found " + Found(pos_));
    }
    bool IsBlank() const {
        return pos_ < text_.size() && kBlanks.find(text_[pos_]) != std::string_view::npos;
    }
    void SkipBlanks() {
        while (IsBlank())
            ++pos_;
    }
    // The run of characters up to the next delimiter (possibly empty).
    std::string_view NextWord() {
        size_t end = std::min(text_.find_first_of(kDelimiters, pos_), text_.size());
        std::string_view word = text_.substr(pos_, end - pos_);
        pos_ = end;
        return word;
    }

    // At a backslash that is not the last character of the text; leaves pos_ on
    // the escape's last character.
    bool EscapedByte(std::string* value) {
        size_t at = pos_++;
        const char letter = text_[pos_];
        for (const Escape& e : kEscapes) {
            if (e.letter == letter) {
                *value += e.byte;
                return true;
            }
        }
        uint8_t byte = 0;
        if (letter == 'x' && pos_ + 2 < text_.size() &&
            ReadInteger(text_.substr(pos_ + 1, 2), &byte, 16) == NumberRead::Ok) {
            *value += static_cast<char>(byte);
            pos_ += 2;
            return true;
        }
        if (letter == 'x') return Fail(at, "expected two hex digits after \\x");
        return Fail(at, "unknown escape " + Quoted(text_.substr(at, 2)) +
                            " (use \\\" \\\\ \\n \\t \\r or \\xHH)");
    }

    bool Value(Variant* out, bool inVariantArray);
    bool Payload(const KindText& kind, Variant* out);
    bool Shorthand(size_t at, std::string_view word, Variant* out);
    bool Array(const KindText& kind, bool inVariantArray, Variant* out);
    bool Bounds(std::vector<int32_t>* lower, std::vector<uint32_t>* counts);
    bool List(const KindText& kind, std::vector<std::vector<Variant>>* rows, bool* nested);

    std::string_view text_;
    const DispatchResolver& resolve_;
    size_t pos_ = 0;
    const KindText* kind_ = nullptr;  // kind whose payload is being read, for messages
};

constexpr char kInteger[] = "an integer";
constexpr char kFloat[] = "a number (2.5, 1e-3, inf, -inf, nan, -nan, nan:0x<bits>)";

constexpr KindText kKindTexts[] = {
    {VT_EMPTY, nullptr, nullptr, ""},
    {VT_NULL, nullptr, nullptr, ""},
    {VT_I1, &FormatNumberPayload<&Variant::cVal>,
     &Reader::Word<int8_t, ReadIntegerWord<int8_t>, &Variant::I1>, kInteger},
    {VT_UI1, &FormatNumberPayload<&Variant::bVal>,
     &Reader::Word<uint8_t, ReadIntegerWord<uint8_t>, &Variant::UI1>, kInteger},
    {VT_I2, &FormatNumberPayload<&Variant::iVal>,
     &Reader::Word<int16_t, ReadIntegerWord<int16_t>, &Variant::I2>, kInteger},
    {VT_UI2, &FormatNumberPayload<&Variant::uiVal>,
     &Reader::Word<uint16_t, ReadIntegerWord<uint16_t>, &Variant::UI2>, kInteger},
    {VT_I4, &FormatNumberPayload<&Variant::lVal>,
     &Reader::Word<int32_t, ReadIntegerWord<int32_t>, &Variant::I4>, kInteger},
    {VT_UI4, &FormatNumberPayload<&Variant::ulVal>,
     &Reader::Word<uint32_t, ReadIntegerWord<uint32_t>, &Variant::UI4>, kInteger},
    {VT_I8, &FormatNumberPayload<&Variant::llVal>,
     &Reader::Word<int64_t, ReadIntegerWord<int64_t>, &Variant::I8>, kInteger},
    {VT_UI8, &FormatNumberPayload<&Variant::ullVal>,
     &Reader::Word<uint64_t, ReadIntegerWord<uint64_t>, &Variant::UI8>, kInteger},
    {VT_INT, &FormatNumberPayload<&Variant::lVal>,
     &Reader::Word<int32_t, ReadIntegerWord<int32_t>, &Variant::Int>, kInteger},
    {VT_UINT, &FormatNumberPayload<&Variant::ulVal>,
     &Reader::Word<uint32_t, ReadIntegerWord<uint32_t>, &Variant::UInt>, kInteger},
    {VT_R4, &FormatFloatPayload<&Variant::fltVal>,
     &Reader::Word<float, ReadFloat<float>, &Variant::R4>, kFloat},
    {VT_R8, &FormatFloatPayload<&Variant::dblVal>,
     &Reader::Word<double, ReadFloat<double>, &Variant::R8>, kFloat},
    {VT_DATE, &FormatFloatPayload<&Variant::date>,
     &Reader::Word<double, ReadFloat<double>, &Variant::Date>, kFloat},
    {VT_CY, &FormatCy, &Reader::Word<CY, ReadCy, &Variant::Cy>,
     "an amount with at most 4 decimals (1.25)"},
    {VT_DECIMAL, &FormatDecimal, &Reader::Word<DECIMAL, ReadDecimal, &Variant::Decimal>,
     "a number with at most 28 decimals (1.250)"},
    {VT_BOOL, &FormatBoolPayload, &Reader::Word<VARIANT_BOOL, ReadBoolean, &Variant::BoolRaw>,
     "true, false or a 16-bit integer"},
    {VT_BSTR, &FormatString, &Reader::String, "a quoted string"},
    {VT_ERROR, &FormatErrorPayload, &Reader::Word<SCODE, ReadErrorCode, &Variant::Error>,
     "0x and 1 to 8 hex digits"},
    {VT_DISPATCH, &FormatDispatchPayload, &Reader::Object, "an object name or nothing"},
    {VT_VARIANT, nullptr, nullptr, "a value"},
};

static_assert(InStepWithValueKinds(kKindTexts, [](const ValueKind&) { return true; }));

const KindText* FindKindText(VARTYPE vt) {
    auto it = std::find_if(std::begin(kKindTexts), std::end(kKindTexts),
                           [vt](const KindText& k) { return k.vt == vt; });
    return it != std::end(kKindTexts) ? it : nullptr;
}

const KindText* FindKindText(std::string_view name) {
    auto it = std::find_if(std::begin(kKindTexts), std::end(kKindTexts),
                           [name](const KindText& k) { return VarTypeName(k.vt) == name; });
    return it != std::end(kKindTexts) ? it : nullptr;
}

// Arrays of variants are made by SafeArrayCreate but are not among the kinds
// the blocks collect, so they are allowed here by name.
bool IsArrayElementKind(VARTYPE vt) {
    return vt == VT_VARIANT || IsStorableElementType(vt);
}

bool Reader::Value(Variant* out, bool inVariantArray) {
    size_t at = pos_;
    std::string_view word = NextWord();
    if (word.empty() && Peek('"')) return Payload(*FindKindText(VT_BSTR), out);
    const KindText* kind = FindKindText(word);
    if (!kind) return Shorthand(at, word, out);
    if (Peek('@') || Peek('(') || Peek('[')) return Array(*kind, inVariantArray, out);
    if (kind->vt == VT_VARIANT) return Expect('[', "'[' after variant");
    if (!kind->parse) {
        *out = kind->vt == VT_NULL ? Variant::Null() : Variant();
        return true;
    }
    if (!IsBlank()) return Expect(' ', "a blank after the kind");
    return Payload(*kind, out);
}

// The payload of one `kind` value, or an element of an array of `kind`.
bool Reader::Payload(const KindText& kind, Variant* out) {
    SkipBlanks();
    if (kind.vt == VT_VARIANT) return Value(out, true);
    kind_ = &kind;
    return (this->*kind.parse)(out);
}

bool Reader::Shorthand(size_t at, std::string_view word, Variant* out) {
    if (word == "true" || word == "false") {
        *out = Variant::Bool(word == "true");
        return true;
    }
    int32_t i4 = 0;
    if (ReadIntegerWord(word, &i4) == NumberRead::Ok) {
        *out = Variant::I4(i4);
        return true;
    }
    // Integers beyond 32 bits become r8, as long literals do in automation languages.
    kind_ = FindKindText(VT_R8);
    double r8 = 0;
    switch (ReadFloat(word, &r8)) {
        case NumberRead::Ok:
            *out = Variant::R8(r8);
            return true;
        case NumberRead::OutOfRange:
            return Fail(at, Quoted(word) + " is out of the range of r8");
        case NumberRead::Malformed:
            break;
    }
    return Fail(at,
                "expected a value (a kind such as r8, a number, \"text\", true or false), found " +
                    Found(at));
}

// `@LOWER[,LOWER]` and `(COUNT[,COUNT])`, each optional.
bool Reader::Bounds(std::vector<int32_t>* lower, std::vector<uint32_t>* counts) {
    if (Take('@')) {
        do {
            size_t at = pos_;
            if (ReadIntegerWord(NextWord(), &lower->emplace_back()) != NumberRead::Ok) {
                return Fail(at, "expected a 32-bit lower bound, found " + Found(at));
            }
        } while (lower->size() < 2 && Take(','));
    }
    if (Take('(')) {
        do {
            size_t at = pos_;
            if (ReadIntegerWord(NextWord(), &counts->emplace_back()) != NumberRead::Ok) {
                return Fail(at, "expected an element count, found " + Found(at));
            }
        } while (counts->size() < 2 && Take(','));
        return Expect(')', "')' after the counts (at most two)");
    }
    return true;
}

// `[e, ...]` or `[[e, ...], ...]`; rows of a flat list hold one row.
bool Reader::List(const KindText& kind, std::vector<std::vector<Variant>>* rows, bool* nested) {
    if (!Expect('[', "'['")) return false;
    SkipBlanks();
    *nested = Peek('[');
    if (!*nested) rows->emplace_back();
    if (Take(']')) return true;
    do {
        SkipBlanks();
        if (*nested) {
            size_t at = pos_;
            rows->emplace_back();
            if (!Expect('[', "'[' to start a row")) return false;
            SkipBlanks();
            if (!Peek(']')) {
                do {
                    if (!Payload(kind, &rows->back().emplace_back())) return false;
                    SkipBlanks();
                } while (Take(','));
            }
            if (!Expect(']', "',' or ']' in the row")) return false;
            if (rows->back().size() != rows->front().size()) {
                return Fail(at, "row " + std::to_string(rows->size()) + " has " +
                                    std::to_string(rows->back().size()) + " elements, row 1 has " +
                                    std::to_string(rows->front().size()));
            }
        } else if (!Payload(kind, &rows->back().emplace_back())) {
            return false;
        }
        SkipBlanks();
    } while (Take(','));
    return Expect(']', "',' or ']' in the list");
}

bool Reader::Array(const KindText& kind, bool inVariantArray, Variant* out) {
    size_t at = pos_;
    std::string name(VarTypeName(kind.vt));
    if (!IsArrayElementKind(kind.vt)) return Fail(at, name + " cannot be an array element kind");
    if (inVariantArray && kind.vt == VT_VARIANT) {
        return Fail(at, "an array of variants cannot hold another array of variants");
    }
    std::vector<int32_t> lower;
    std::vector<uint32_t> counts;
    std::vector<std::vector<Variant>> rows;
    bool nested = false;
    if (!Bounds(&lower, &counts)) return false;
    size_t listAt = pos_;
    if (!List(kind, &rows, &nested)) return false;

    // The list shows two dimensions by its rows; an empty one leaves it to the
    // bounds and counts, which must agree with each other and with the list.
    size_t dims = nested ? 2 : std::max({size_t{1}, lower.size(), counts.size()});
    if ((!lower.empty() && lower.size() != dims) || (!counts.empty() && counts.size() != dims) ||
        (!nested && dims == 2 && !rows.front().empty())) {
        return Fail(at, "the bounds, the counts and the list disagree on the number of dimensions");
    }
    if (!nested && dims == 2) rows.clear();  // no rows at all
    SAFEARRAYBOUND bounds[2];
    if (dims == 1) {
        bounds[0].cElements = static_cast<uint32_t>(rows.front().size());
    } else {
        bounds[0].cElements = static_cast<uint32_t>(rows.size());
        bounds[1].cElements =
            rows.empty() ? (counts.empty() ? 0 : counts[1]) : static_cast<uint32_t>(rows[0].size());
    }
    for (size_t d = 0; d < dims; ++d) {
        if (!counts.empty() && counts[d] != bounds[d].cElements) {
            return Fail(listAt, "the list has " + std::to_string(bounds[d].cElements) +
                                    " elements in dimension " + std::to_string(d + 1) +
                                    ", the counts say " + std::to_string(counts[d]));
        }
        bounds[d].lLbound = lower.empty() ? 0 : lower[d];
    }
    SafeArrayPtr array = SafeArrayCreate(kind.vt, static_cast<uint32_t>(dims), bounds);
    if (!array)
        return Fail(at, "cannot make this " + name + " array: an index would not fit 32 bits");
    const size_t n0 = bounds[0].cElements;
    for (size_t i = 0; i < rows.size(); ++i) {
        // The first index runs fastest in storage: row i, column j sits at i + j * n0.
        for (size_t j = 0; j < rows[i].size(); ++j) {
            if (FAILED(array->SetElementAt(dims == 1 ? j : i + j * n0, rows[i][j]))) {
                return Fail(at, "cannot store the elements of this " + name + " array");
            }
        }
    }
    *out = Variant::Array(std::move(array));
    return true;
}

void Format(const Variant& v, const DispatchNamer& names, std::string& out);

void FormatElement(const SafeArray& a, const KindText& kind, size_t offset,
                   const DispatchNamer& names, std::string& out) {
    Variant element = a.ElementAt(offset);
    if (kind.vt == VT_VARIANT) {
        Format(element, names, out);
    } else {
        kind.format(element, names, out);
    }
}

void FormatArray(const SafeArray& a, const KindText& kind, const DispatchNamer& names,
                 std::string& out) {
    const uint32_t dims = a.Dims();
    const uint32_t n0 = a.Bound(0).cElements;
    out += VarTypeName(kind.vt);
    bool based = false;
    for (uint32_t d = 0; d < dims; ++d)
        based = based || a.Bound(d).lLbound != 0;
    for (uint32_t d = 0; based && d < dims; ++d) {
        out += d ? ',' : '@';
        AppendNumber(a.Bound(d).lLbound, out);
    }
    if (dims == 2 && n0 == 0) {
        out += '(';
        AppendNumber(n0, out);
        out += ',';
        AppendNumber(a.Bound(1).cElements, out);
        out += ')';
    }
    out += '[';
    if (dims == 1) {
        for (uint32_t i = 0; i < n0; ++i) {
            if (i) out += ", ";
            FormatElement(a, kind, i, names, out);
        }
    } else {
        const uint32_t n1 = a.Bound(1).cElements;
        for (uint32_t i = 0; i < n0; ++i) {
            out += i ? ", [" : "[";
            for (uint32_t j = 0; j < n1; ++j) {
                if (j) out += ", ";
                FormatElement(a, kind, i + size_t{j} * n0, names, out);
            }
            out += ']';
        }
    }
    out += ']';
}

void Format(const Variant& v, const DispatchNamer& names, std::string& out) {
    const KindText* kind = FindKindText(static_cast<VARTYPE>(v.vt() & VT_TYPEMASK));
    if (!kind) {
        out += '?';  // no maker produces such a kind
        return;
    }
    if (v.IsArray()) {
        FormatArray(*v.parray(), *kind, names, out);
        return;
    }
    out += VarTypeName(kind->vt);
    if (kind->format) {
        out += ' ';
        kind->format(v, names, out);
    }
}

bool ExactText(const Variant& v, bool inVariantArray) {
    const VARTYPE vt = static_cast<VARTYPE>(v.vt() & VT_TYPEMASK);
    if (!FindKindText(vt) || vt == VT_DISPATCH) return false;
    if (!v.IsArray()) return vt != VT_DECIMAL || IsWellFormed(v.decVal());
    if (vt == VT_VARIANT && inVariantArray) return false;
    if (vt != VT_VARIANT && vt != VT_DECIMAL) return true;
    const SafeArray& a = *v.parray();
    for (size_t i = 0; i < a.Count(); ++i) {
        if (!ExactText(a.ElementAt(i), vt == VT_VARIANT)) return false;
    }
    return true;
}

}  // namespace

std::string FormatValue(const Variant& v, const DispatchNamer& names) {
    std::string out;
    Format(v, names, out);
    return out;
}

bool ParseValue(std::string_view text, Variant* out, std::string* error,
                const DispatchResolver& resolve) {
    Reader reader(text, resolve);
    Variant value;
    if (!reader.Whole(&value)) {
        if (error) *error = std::move(reader.error);
        return false;
    }
    *out = std::move(value);
    return true;
}

bool HasExactText(const Variant& v) {
    return ExactText(v, false);
}
