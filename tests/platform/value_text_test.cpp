#include "platform/value_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/coerce.h"
#include "platform/safearray.h"
#include "tests/support/value_literal.h"

namespace {

// An array of `vt`; `elements` in text order (row by row for two dimensions).
Variant MakeArray(VARTYPE vt, std::vector<SAFEARRAYBOUND> bounds, std::vector<Variant> elements) {
    SafeArrayPtr a = SafeArrayCreate(vt, static_cast<uint32_t>(bounds.size()), bounds.data());
    const size_t n0 = bounds[0].cElements;
    const size_t n1 = bounds.size() == 2 ? bounds[1].cElements : 1;
    for (size_t k = 0; k < elements.size(); ++k) {
        size_t offset = bounds.size() == 1 ? k : k / n1 + (k % n1) * n0;
        EXPECT_EQ(a->SetElementAt(offset, elements[k]), S_OK);
    }
    return Variant::Array(std::move(a));
}

Variant Vector(VARTYPE vt, std::vector<Variant> elements, int32_t lower = 0) {
    uint32_t n = static_cast<uint32_t>(elements.size());
    return MakeArray(vt, {{n, lower}}, std::move(elements));
}

Variant R8Bits(uint64_t bits) {
    return Variant::R8(std::bit_cast<double>(bits));
}
Variant R4Bits(uint32_t bits) {
    return Variant::R4(std::bit_cast<float>(bits));
}

DECIMAL Dec(uint32_t hi, uint64_t lo, uint8_t scale, bool negative) {
    DECIMAL d;
    d.Hi32 = hi;
    d.Lo64 = lo;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    return d;
}

std::string Parsed(std::string_view text, Variant* out, const DispatchResolver& resolve = {}) {
    std::string error;
    if (!ParseValue(text, out, &error, resolve)) return error.empty() ? "(no message)" : error;
    return "";
}

// The canonical text of a value: parsing gives the value, printing gives the text.
struct Canonical {
    const char* text;
    Variant value;
};

const std::vector<Canonical>& CanonicalCases() {
    static const std::vector<Canonical> cases = {
        {"empty", Variant()},
        {"null", Variant::Null()},
        {"i1 -128", Variant::I1(-128)},
        {"ui1 255", Variant::UI1(255)},
        {"i2 -32768", Variant::I2(-32768)},
        {"ui2 65535", Variant::UI2(65535)},
        {"i4 -2147483648", Variant::I4(INT32_MIN)},
        {"ui4 4294967295", Variant::UI4(UINT32_MAX)},
        {"i8 -9223372036854775808", Variant::I8(INT64_MIN)},
        {"ui8 18446744073709551615", Variant::UI8(UINT64_MAX)},
        {"int -5", Variant::Int(-5)},
        {"uint 5", Variant::UInt(5)},
        {"r4 0.1", Variant::R4(0.1f)},
        {"r4 -nan", R4Bits(0xFFC00000)},
        {"r4 nan:0x7FC00001", R4Bits(0x7FC00001)},
        {"r8 0.1", Variant::R8(0.1)},
        {"r8 1e+300", Variant::R8(1e300)},
        {"r8 5e-324", R8Bits(1)},
        {"r8 -0", R8Bits(0x8000000000000000)},
        {"r8 -inf", R8Bits(0xFFF0000000000000)},
        {"r8 nan", R8Bits(0x7FF8000000000000)},
        {"r8 -nan", R8Bits(0xFFF8000000000000)},
        {"r8 nan:0xFFF0000000000001", R8Bits(0xFFF0000000000001)},
        // Fixed notation from 1e-5 up to 1e16, the exponent beyond; the shortest text that reads
        // back.
        {"r8 100000", Variant::R8(100000)},
        {"r8 0.00001", Variant::R8(1e-5)},
        {"r8 9.9e-06", Variant::R8(9.9e-6)},
        {"r8 1000000000000001", Variant::R8(1e15 + 1)},
        {"r8 1e+16", Variant::R8(1e16)},
        {"r4 0.00001", Variant::R4(1e-5f)},
        {"r8 0.30000000000000004", Variant::R8(0.1 + 0.2)},
        {"date 45000.5", Variant::Date(45000.5)},
        {"cy -0.0001", Variant::Cy(CY{-1})},
        {"cy 922337203685477.5807", Variant::Cy(CY{INT64_MAX})},
        {"cy -922337203685477.5808", Variant::Cy(CY{INT64_MIN})},
        {"decimal 1.250", Variant::Decimal(Dec(0, 1250, 3, false))},
        {"decimal -0", Variant::Decimal(Dec(0, 0, 0, true))},
        {"decimal 79228162514264337593543950335",
         Variant::Decimal(Dec(UINT32_MAX, UINT64_MAX, 0, false))},
        {"decimal -7.9228162514264337593543950335",
         Variant::Decimal(Dec(UINT32_MAX, UINT64_MAX, 28, true))},
        {"bool true", Variant::Bool(true)},
        {"bool 1", Variant::BoolRaw(1)},
        {"bool -32768", Variant::BoolRaw(-32768)},
        {R"(bstr "a\"b\\c\nd\te\rf")", Variant::Str("a\"b\\c\nd\te\rf")},
        {R"(bstr "\x00\x01\x1F\x7F ~")", Variant::Str(std::string("\0\x01\x1F\x7F ~", 6))},
        {"bstr \"\xC3\xA9\xFF\x80\"",
         Variant::Str("\xC3\xA9\xFF\x80")},  // UTF-8 and stray bytes as they are
        {"error 0x80020004", Variant::Error(DISP_E_PARAMNOTFOUND)},
        // Arrays, every storable element kind and every shape.
        {"r8@5[1, 2]", Vector(VT_R8, {Variant::R8(1), Variant::R8(2)}, 5)},
        {"r8@-3[]", Vector(VT_R8, {}, -3)},
        {"bstr[\"a\", \"b\"]", Vector(VT_BSTR, {Variant::Str("a"), Variant::Str("b")})},
        {"r8@1,3[[1, 2], [3, 4]]",
         MakeArray(VT_R8, {{2, 1}, {2, 3}},
                   {Variant::R8(1), Variant::R8(2), Variant::R8(3), Variant::R8(4)})},
        {"r8[[], []]", MakeArray(VT_R8, {{2, 0}, {0, 0}}, {})},
        {"bstr@2,-1(0,3)[]", MakeArray(VT_BSTR, {{0, 2}, {3, -1}}, {})},
        {"r4[0.1, -nan]", Vector(VT_R4, {Variant::R4(0.1f), R4Bits(0xFFC00000)})},
        {"decimal[1.50, -2]", Vector(VT_DECIMAL, {Variant::Decimal(Dec(0, 150, 2, false)),
                                                  Variant::Decimal(Dec(0, 2, 0, true))})},
        {"bool[true, false, 1]",
         Vector(VT_BOOL, {Variant::Bool(true), Variant::Bool(false), Variant::BoolRaw(1)})},
        {"variant[i4 1, bstr \"x\"]", Vector(VT_VARIANT, {Variant::I4(1), Variant::Str("x")})},
        {"variant[empty, null, r8@1[1, 2], bstr[[\"y\"]]]",
         Vector(VT_VARIANT,
                {Variant(), Variant::Null(), Vector(VT_R8, {Variant::R8(1), Variant::R8(2)}, 1),
                 MakeArray(VT_BSTR, {{1, 0}, {1, 0}}, {Variant::Str("y")})})},
        {"variant@-1,0[[i2 1, ui8 2], [r4 3, cy 4]]",
         MakeArray(VT_VARIANT, {{2, -1}, {2, 0}},
                   {Variant::I2(1), Variant::UI8(2), Variant::R4(3), Variant::Cy(CY{40000})})},
    };
    return cases;
}

// Every kind with a name has a canonical case (dispatch has its own test below,
// since it needs a namer).
TEST(ValueText, CanonicalTextsRoundTripForEveryNamedKind) {
    std::set<VARTYPE> covered = {VT_DISPATCH};
    for (const Canonical& c : CanonicalCases()) {
        Variant parsed;
        EXPECT_EQ(Parsed(c.text, &parsed), "") << c.text;
        EXPECT_EQ(parsed, c.value) << c.text;
        EXPECT_EQ(FormatValue(c.value), c.text);
        EXPECT_TRUE(HasExactText(c.value)) << c.text;
        covered.insert(c.value.vt() & VT_TYPEMASK);
    }
    for (VARTYPE vt = 0; vt <= VT_TYPEMASK; ++vt) {
        EXPECT_TRUE(VarTypeName(vt).empty() || covered.count(vt)) << VarTypeName(vt);
    }
}

// The canonical values, and a few more only conversions care about, from every
// kind into every kind: a documented outcome, the target kind on success, the
// destination untouched on failure, and the same answer in place.
TEST(VariantChangeType, EveryKindIntoEveryKind) {
    std::vector<Variant> sources = {
        V("r4 -3.4028235e+38"),
        V("r4 1e-45"),
        V("r8 -1.7976931348623157e+308"),
        V("r8 -0.5"),
        V("date -657434.999"),
        V("date 2958465.9999999"),
        Variant::Decimal(Dec(0, 1, 30, false)),
        V(R"(bstr "-1.5e3")"),
        V(R"(bstr "1/1/100 11:59:59 PM")"),
        V(R"(bstr "true")"),
        V(R"(bstr "zzz")"),
        V("dispatch nothing"),
    };
    for (const Canonical& c : CanonicalCases())
        sources.push_back(c.value);
    std::vector<VARTYPE> kinds = {VT_ARRAY | VT_R8, VT_ARRAY | VT_BSTR};
    for (VARTYPE vt = 0; vt <= VT_TYPEMASK; ++vt) {
        if (!VarTypeName(vt).empty()) kinds.push_back(vt);
    }
    for (const Variant& source : sources) {
        for (VARTYPE vt : kinds) {
            SCOPED_TRACE(testing::Message() << FormatValue(source) << " to " << vt);
            const Variant sentinel = Variant::I2(42);
            Variant dst = sentinel;
            const HRESULT hr = VariantChangeType(&dst, &source, 0, vt);
            EXPECT_TRUE(hr == S_OK || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
                        hr == E_INVALIDARG)
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

// Other spellings that read, and the canonical text they print as.
TEST(ValueText, ShorthandsAndAlternateSpellings) {
    const std::pair<const char*, const char*> cases[] = {
        {"5", "i4 5"},
        {"2147483648", "r8 2147483648"},  // beyond 32 bits: r8
        {"nan", "r8 nan"},
        {"  i4 \t 5  ", "i4 5"},
        {"bool -1", "bool true"},
        {"error 0x1", "error 0x00000001"},
        {"error 0Xabcdef01", "error 0xABCDEF01"},
        {"r8 0.10000000000000001", "r8 0.1"},
        {"r8 nan:0x7ff8000000000000", "r8 nan"},
        {"r4 16777217", "r4 16777216"},
        {"cy 1.2500", "cy 1.25"},
        {"bstr \"\\x41\\x7e\"", "bstr \"A~\""},
        {"r8(1,2)[[1,2]]", "r8[[1, 2]]"},
        {"r8@1,3[]", "r8@1,3(0,0)[]"},
        {"r8[ [ 1 ] , [ 2 ] ]", "r8[[1], [2]]"},
        {"variant[5, \"x\", true, 2.5]", "variant[i4 5, bstr \"x\", bool true, r8 2.5]"},
    };
    for (const auto& [text, canonical] : cases) {
        Variant v;
        EXPECT_EQ(Parsed(text, &v), "") << text;
        EXPECT_EQ(FormatValue(v), canonical) << text;
    }
}

TEST(ValueText, MalformedTextIsRefusedWithWhatAndWhere) {
    const std::pair<const char*, const char*> cases[] = {
        {"5 6", "column 3: unexpected text after the value: '6'"},
        {"i4", "column 3: expected a blank after the kind, found the end of the text"},
        {"i4 x", "column 4: expected an integer for i4, found 'x'"},
        {"i4 2147483648", "column 4: '2147483648' is out of the range of i4"},
        {"ui4 -1", "column 5: '-1' is out of the range of ui4"},
        {"r8 nan:0x7FF0000000000000", "column 4: expected a number"},  // inf, not a NaN
        {"r4 nan:0x7FF8000000000001", "column 4: expected a number"},  // too wide for r4
        {"r8 1e999", "column 4: '1e999' is out of the range of r8"},
        {"2e999", "column 1: '2e999' is out of the range of r8"},
        {"cy 1.23456", "column 4: expected an amount with at most 4 decimals (1.25) for cy"},
        {"cy 922337203685477.5808", "column 4: '922337203685477.5808' is out of the range of cy"},
        {"decimal 0.00000000000000000000000000001", "column 9: expected a number with at most 28"},
        {"decimal 79228162514264337593543950336", "column 9: '792281625142643375935439...' is out"},
        {"bool yes", "column 6: expected true, false or a 16-bit integer for bool, found 'yes'"},
        {"bstr x", "column 6: expected a quoted string for bstr, found 'x'"},
        {"bstr \"\\q\"", "column 7: unknown escape '\\q' (use \\\" \\\\ \\n \\t \\r or \\xHH)"},
        {"bstr \"\\x4\"", "column 7: expected two hex digits after \\x"},
        {"error 80020004", "column 7: expected 0x and 1 to 8 hex digits for error, found '8002"},
        {"dispatch ", "column 10: expected an object name or nothing for dispatch, found the end"},
        {"variant", "column 8: expected '[' after variant, found the end of the text"},
        {"i8[1]", "column 3: i8 cannot be an array element kind"},
        {"variant[variant[1]]", "column 16: an array of variants cannot hold another array of"},
        {"variant[r8[variant[1]]]", "column 12: expected a number"},
        {"r8[1, 2", "column 8: expected ',' or ']' in the list, found the end of the text"},
        {"r8[[1, 2], [3]]", "column 12: row 2 has 1 elements, row 1 has 2"},
        {"r8[[1], 2]", "column 9: expected '[' to start a row, found '2'"},
        {"r8@1,2[1]", "column 3: the bounds, the counts and the list disagree on the number of"},
        {"r8(3)[1, 2]", "column 6: the list has 2 elements in dimension 1, the counts say 3"},
        {"r8(1,2,3)[]", "column 7: expected ')' after the counts (at most two), found ','"},
        {"r8@x[1]", "column 4: expected a 32-bit lower bound, found 'x'"},
        {"r8@2147483647[1, 2]", "column 3: cannot make this r8 array: an index would not fit"},
    };
    for (const auto& [text, message] : cases) {
        Variant v = Variant::I4(99);
        std::string error;
        EXPECT_FALSE(ParseValue(text, &v, &error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << "\n  got: " << error;
        EXPECT_EQ(v, Variant::I4(99)) << "a failed parse leaves the value alone: " << text;
    }
    Variant v;
    EXPECT_FALSE(ParseValue("r8 x", &v, nullptr));  // no message wanted
}

class Named : public RefCounted<IDispatch> {
  public:
    HRESULT GetIDsOfNames(std::string_view, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID, uint16_t, std::span<Variant>, Variant*, uint32_t*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

TEST(ValueText, DispatchPrintsTheNamersNameAndReadsThroughTheResolver) {
    ComPtr<Named> calc = MakeCom<Named>();
    ComPtr<IDispatch> object(calc);
    DispatchNamer names = [&](IDispatch* p) { return p == object.Get() ? "calc" : ""; };
    DispatchResolver resolve = [&](std::string_view name) {
        return name == "calc" ? object : ComPtr<IDispatch>();
    };
    EXPECT_EQ(FormatValue(Variant::Dispatch(object), names), "dispatch calc");
    EXPECT_EQ(FormatValue(Variant::Dispatch(object)), "dispatch ?");
    EXPECT_EQ(FormatValue(Variant::Dispatch(object), [](IDispatch*) { return ""; }), "dispatch ?");
    EXPECT_EQ(FormatValue(Variant::Dispatch(nullptr), names), "dispatch nothing");

    Variant v;
    ASSERT_EQ(Parsed("dispatch calc", &v, resolve), "");
    EXPECT_EQ(v.pdispVal(), object.Get());
    ASSERT_EQ(Parsed("dispatch nothing", &v), "");
    EXPECT_EQ(v, Variant::Dispatch(nullptr));

    const char* text = "variant[dispatch calc, i4 1]";
    ASSERT_EQ(Parsed(text, &v, resolve), "");
    EXPECT_EQ(FormatValue(v, names), text);
}

// Values whose text cannot read back as they are; the canonical cases are the
// ones that can, arrays inside variants included.
TEST(ValueText, ExactTextExcludesWhatCannotComeBack) {
    const Variant wideScale = Variant::Decimal(Dec(0, 1, 29, false));
    DECIMAL oddSign = Dec(0, 1, 0, false), reserved = oddSign;
    oddSign.sign = 1;
    reserved.wReserved = 1;
    const Variant inexact[] = {
        Variant::Dispatch(nullptr),
        wideScale,
        Variant::Decimal(oddSign),
        Variant::Decimal(reserved),
        Vector(VT_DECIMAL, {wideScale}),
        Vector(VT_VARIANT, {Vector(VT_VARIANT, {Variant::I4(1)})}),
        Vector(VT_VARIANT, {Variant::Dispatch(nullptr)}),
        Vector(VT_VARIANT, {wideScale}),
    };
    for (const Variant& v : inexact)
        EXPECT_FALSE(HasExactText(v)) << FormatValue(v);
}

}  // namespace
