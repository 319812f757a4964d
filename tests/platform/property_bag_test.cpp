#include "platform/property_bag.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/safearray.h"
#include "platform/value_text.h"

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::path(testing::TempDir()) / ("property_bag_test_" + name)).string();
}

Variant R8Bits(uint64_t bits) {
    return Variant::R8(std::bit_cast<double>(bits));
}
Variant R4Bits(uint32_t bits) {
    return Variant::R4(std::bit_cast<float>(bits));
}

Variant Vector(VARTYPE vt, std::vector<Variant> elements, int32_t lower = 0) {
    SafeArrayPtr a = SafeArrayCreateVector(vt, lower, static_cast<uint32_t>(elements.size()));
    for (size_t i = 0; i < elements.size(); ++i)
        EXPECT_EQ(a->SetElementAt(i, elements[i]), S_OK);
    return Variant::Array(std::move(a));
}

Variant Empty2D(int32_t lower0, int32_t lower1, uint32_t columns) {
    SAFEARRAYBOUND bounds[] = {{0, lower0}, {columns, lower1}};
    return Variant::Array(SafeArrayCreate(VT_R8, 2, bounds));
}

// A bag of values whose bits a careless file would lose: float classes (and
// random patterns), every byte, line ends, separators inside strings, shapes.
PropertyBag EveryKindOfValue() {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    DECIMAL d;
    d.Hi32 = 0xFFFFFFFF;
    d.Lo64 = 0x0123456789ABCDEF;
    d.scale = 28;
    d.sign = DECIMAL_NEG;
    std::vector<Variant> values = {
        R8Bits(0x8000000000000000),
        R8Bits(0x7FF0000000000001),
        R8Bits(0xFFF8000000000000),
        R4Bits(0x7F800001),
        Variant::Decimal(d),
        Variant::Cy(CY{INT64_MIN}),
        Variant::BoolRaw(1),
        Variant(),
        Variant::Str(everyByte),
        Variant::Str("a\r\nb\rc\n"),
        Variant::Str("\xFF\xFE invalid UTF-8 \xC3"),
        Vector(VT_BSTR, {Variant::Str("a,b"), Variant::Str("]"), Variant::Str("# not a comment")}),
        Vector(VT_VARIANT, {Variant::I4(1), Vector(VT_I2, {Variant::I2(2)}, 9), Variant::Str("=")}),
        Empty2D(1, 3, 4),
    };
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000; ++i) {
        uint64_t bits = random();
        values.push_back(R8Bits(bits));
        values.push_back(R4Bits(static_cast<uint32_t>(bits >> 11)));
    }
    PropertyBag bag;
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_TRUE(bag.Write("P" + std::to_string(i), values[i])) << FormatValue(values[i]);
    }
    return bag;
}

TEST(PropertyBag, EveryValueSurvivesAFileBitForBit) {
    const PropertyBag saved = EveryKindOfValue();
    const std::string path = TempPath("every_value");
    std::string error;
    ASSERT_TRUE(saved.SaveToFile(path, &error)) << error;
    PropertyBag loaded;
    ASSERT_TRUE(PropertyBag::LoadFromFile(path, &loaded, &error)) << error;
    ASSERT_EQ(loaded.Properties().size(), saved.Properties().size());
    for (size_t i = 0; i < saved.Properties().size(); ++i) {
        const PropertyBag::Property& p = saved.Properties()[i];
        EXPECT_EQ(loaded.Properties()[i].name, p.name);
        EXPECT_EQ(loaded.Properties()[i].value, p.value) << FormatValue(p.value);
    }
    EXPECT_TRUE(loaded == saved);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    std::filesystem::remove(path);
}

TEST(PropertyBag, NamesIgnoreCaseKeepTheirFirstSpellingAndOrder) {
    PropertyBag bag;
    EXPECT_TRUE(bag.IsEmpty());
    EXPECT_TRUE(bag.Write("InputX", Variant::I4(1)));
    EXPECT_TRUE(bag.Write("inputy", Variant::I4(2)));
    EXPECT_TRUE(bag.Write("INPUTX", Variant::R8(3)));
    ASSERT_EQ(bag.Properties().size(), 2u);
    EXPECT_EQ(bag.Properties()[0].name, "InputX");
    EXPECT_EQ(bag.Properties()[1].name, "inputy");
    ASSERT_NE(bag.Read("inputX"), nullptr);
    EXPECT_EQ(*bag.Read("inputX"), Variant::R8(3));
    EXPECT_EQ(bag.Read("Input"), nullptr);
    EXPECT_EQ(bag.Serialize(), "TallyKit property bag 1\nInputX = r8 3\ninputy = i4 2\n");
}

TEST(PropertyBag, WriteRefusesBadNamesAndValuesWithoutExactText) {
    DECIMAL wide;
    wide.scale = 29;
    const std::pair<std::string, Variant> refused[] = {
        {"", Variant::I4(1)},
        {"Input X", Variant::I4(1)},
        {"A=B", Variant::I4(1)},
        {"Line\n", Variant::I4(1)},
        {"caf\xC3\xA9", Variant::I4(1)},
        {"Tag", Variant::Dispatch(nullptr)},
        {"Tag", Vector(VT_VARIANT, {Variant::Dispatch(nullptr)})},
        {"Tag", Variant::Decimal(wide)},
    };
    for (const auto& [name, value] : refused) {
        PropertyBag bag;
        EXPECT_TRUE(bag.Write("Tag", Variant::I4(7)));
        EXPECT_FALSE(bag.Write(name, value)) << name << " " << FormatValue(value);
        EXPECT_EQ(bag.Properties().size(), 1u);
        EXPECT_EQ(*bag.Read("Tag"), Variant::I4(7));
    }
}

TEST(PropertyBag, ParseAcceptsCrlfBlankLinesAndComments) {
    PropertyBag bag;
    std::string error;
    ASSERT_TRUE(
        PropertyBag::Parse("TallyKit property bag 1\r\n\r\n  # saved by hand\r\n  Width  =  i4 5  "
                           "\r\nName = \"a = b\"",
                           &bag, &error))
        << error;
    ASSERT_EQ(bag.Properties().size(), 2u);
    EXPECT_EQ(*bag.Read("width"), Variant::I4(5));
    EXPECT_EQ(*bag.Read("Name"), Variant::Str("a = b"));
}

TEST(PropertyBag, MalformedTextIsRefusedWithItsLine) {
    const std::string header = "TallyKit property bag 1\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: expected the header 'TallyKit property bag 1'"},
        {"TallyKit property bag 2\n", "line 1: expected the header 'TallyKit property bag 1'"},
        {"A = 1\n", "line 1: expected the header 'TallyKit property bag 1'"},
        {header + "Width 5\n", "line 2: expected 'Name = value'"},
        {header + "Input X = 5\n",
         "line 2: invalid property name 'Input X' (letters, digits and '_' only)"},
        {header + " = 5\n", "line 2: invalid property name '' (letters, digits and '_' only)"},
        {header + "A = 1\n\nB = 2\na = 3\n", "line 5: property a is already set on line 2"},
        {header + "A = r8 x\n",
         "line 2: value of A: column 4: expected a number (2.5, 1e-3, inf, -inf, nan, -nan, "
         "nan:0x<bits>) for r8, found 'x'"},
        {header + "A =\n", "line 2: value of A: column 1: expected a value"},
        {header + "A = \"open\n\"\n", "line 2: value of A: column 1: unterminated string"},
        {header + "A = dispatch calc\n", "line 2: value of A: column 10: unknown object 'calc'"},
        {header + "A = dispatch nothing\n",
         "line 2: value of A: dispatch values cannot be persisted"},
        {header + "A = variant[dispatch nothing]\n",
         "line 2: value of A: dispatch values cannot be persisted"},
    };
    for (const auto& [text, message] : cases) {
        PropertyBag bag;
        ASSERT_TRUE(bag.Write("Kept", Variant::I4(1)));
        std::string error;
        EXPECT_FALSE(PropertyBag::Parse(text, &bag, &error)) << text;
        EXPECT_EQ(error.rfind(message, 0), 0u) << text << "\n  got: " << error;
        EXPECT_EQ(bag.Properties().size(), 1u) << "a failed parse leaves the bag alone";
    }
}

TEST(PropertyBag, FileErrorsNameThePath) {
    PropertyBag bag;
    std::string error;
    const std::string missing = TempPath("no_such_file");
    EXPECT_FALSE(PropertyBag::LoadFromFile(missing, &bag, &error));
    EXPECT_EQ(error, missing + ": No such file or directory");

    const std::string noFolder = TempPath("no_such_folder/bag.txt");
    EXPECT_FALSE(bag.SaveToFile(noFolder, &error));
    EXPECT_EQ(error.rfind(noFolder, 0), 0u) << error;

    const std::string path = TempPath("malformed");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("TallyKit property bag 1\nA = i4 x\n", file);
    std::fclose(file);
    EXPECT_FALSE(PropertyBag::LoadFromFile(path, &bag, &error));
    EXPECT_EQ(error,
              path + ": line 2: value of A: column 4: expected an integer for i4, found 'x'");
    std::filesystem::remove(path);
}

// --- property exchange ------------------------------------------------------

TEST(PropExchange, SavingWritesEachFunctionsKind) {
    PropertyBag bag;
    CPropExchange px(bag, false);
    EXPECT_FALSE(px.IsLoading());
    BOOL b = 5;
    int16_t s = -2;
    int32_t l = -3;
    uint32_t ul = 4000000000u;
    float f = 0.1f;
    double d = -0.0;
    std::string str("text\n");
    uint32_t version = 0x00010001;
    EXPECT_TRUE(PX_Bool(&px, "B", b, FALSE));
    EXPECT_TRUE(PX_Short(&px, "S", s, 0));
    EXPECT_TRUE(PX_Long(&px, "L", l, 0));
    EXPECT_TRUE(PX_ULong(&px, "UL", ul, 0));
    EXPECT_TRUE(PX_Float(&px, "F", f, 0));
    EXPECT_TRUE(PX_Double(&px, "D", d, 0));
    EXPECT_TRUE(PX_String(&px, "Str", str, ""));
    EXPECT_TRUE(ExchangeVersion(&px, version, 0));
    EXPECT_EQ(bag.Serialize(),
              "TallyKit property bag 1\nB = bool true\nS = i2 -2\nL = i4 -3\nUL = ui4 4000000000\n"
              "F = r4 0.1\nD = r8 -0\nStr = bstr \"text\\n\"\n_Version = ui4 65537\n");
    EXPECT_FALSE(PX_Long(nullptr, "L", l, 0));
    PropertyBag empty;
    CPropExchange load(empty, true);
    EXPECT_FALSE(ExchangeVersion(&load, version, 0x00010002));
    EXPECT_EQ(version, 0x00010002u);
    EXPECT_FALSE(PX_Long(&px, nullptr, l, 0));
    EXPECT_FALSE(PX_Long(&px, "Not a name", l, 0));
}

// One load: what the bag holds (nothing when unset), the function run with
// its default, and what the C++ value becomes.
struct LoadCase {
    const char* what;
    std::optional<Variant> stored;
    std::function<bool(CPropExchange*, Variant*)> load;
    Variant expected;
    bool found;
};

template <class T, class Make>
std::function<bool(CPropExchange*, Variant*)> Loader(bool (*px)(CPropExchange*, const char*, T&, T),
                                                     T def, Make make) {
    return [=](CPropExchange* pPX, Variant* out) {
        T value{};
        bool found = px(pPX, "P", value, def);
        *out = make(value);
        return found;
    };
}

TEST(PropExchange, LoadingConvertsOrFallsBackToTheDefault) {
    auto asBool = Loader<BOOL>(PX_Bool, 1, Variant::I4);
    auto asShort = Loader<int16_t>(PX_Short, 7, Variant::I2);
    auto asLong = Loader<int32_t>(PX_Long, 7, Variant::I4);
    auto asULong = Loader<uint32_t>(PX_ULong, 7, Variant::UI4);
    auto asFloat = Loader<float>(PX_Float, 7, Variant::R4);
    auto asDouble = Loader<double>(PX_Double, 7, Variant::R8);
    auto asString = [](CPropExchange* pPX, Variant* out) {
        std::string value;
        bool found = PX_String(pPX, "P", value, "def");
        *out = Variant::Str(value);
        return found;
    };
    auto asVariantI4 = [](CPropExchange* pPX, Variant* out) {
        return PX_Variant(pPX, "P", *out, VT_I4, Variant::Str("def"));
    };
    const Variant array = Vector(VT_R8, {Variant::R8(1)});
    const LoadCase cases[] = {
        {"bool missing", std::nullopt, asBool, Variant::I4(TRUE), false},
        {"bool true is TRUE", Variant::Bool(true), asBool, Variant::I4(TRUE), true},
        {"bool from text", Variant::Str("False"), asBool, Variant::I4(FALSE), true},
        {"bool from other text", Variant::Str("yes"), asBool, Variant::I4(TRUE), false},
        {"short overflow", Variant::I4(70000), asShort, Variant::I2(7), false},
        {"long from text", Variant::Str(" 12 "), asLong, Variant::I4(12), true},
        {"long from bad text", Variant::Str("12abc"), asLong, Variant::I4(7), false},
        {"long overflow", Variant::R8(3e9), asLong, Variant::I4(7), false},
        {"ulong negative", Variant::R8(-1), asULong, Variant::UI4(7), false},
        {"float from r8", Variant::R8(0.1), asFloat, Variant::R4(0.1f), true},
        {"float keeps NaN bits", R4Bits(0x7F800001), asFloat, R4Bits(0x7F800001), true},
        {"double keeps NaN bits", R8Bits(0xFFF0000000000001), asDouble, R8Bits(0xFFF0000000000001),
         true},
        {"double from text", Variant::Str("2.5"), asDouble, Variant::R8(2.5), true},
        {"string from r8", Variant::R8(2.5), asString, Variant::Str("2.5"), true},
        {"variant converts to its kind", Variant::R8(3.5), asVariantI4, Variant::I4(4), true},
        {"variant default as given", Variant::Str("x"), asVariantI4, Variant::Str("def"), false},
    };
    for (const LoadCase& c : cases) {
        PropertyBag bag;
        ASSERT_TRUE(!c.stored || bag.Write("p", *c.stored)) << c.what;
        CPropExchange px(bag, true);
        EXPECT_TRUE(px.IsLoading());
        Variant loaded;
        EXPECT_EQ(c.load(&px, &loaded), c.found) << c.what;
        EXPECT_EQ(loaded, c.expected) << c.what << ": " << FormatValue(loaded);
    }
}

TEST(PropExchange, SavingAVariantFallsBackToTheDefaultConverted) {
    struct Case {
        const char* what;
        Variant value;
        Variant def;
        std::optional<Variant> written;
    } cases[] = {
        {"converts", Variant::I4(3), Variant::R8(0), Variant::R8(3)},
        {"text that is a number", Variant::Str("2.5"), Variant::R8(0), Variant::R8(2.5)},
        {"text that is not", Variant::Str("abc"), Variant::I4(0), Variant::R8(0)},
        {"an array", Vector(VT_R8, {Variant::R8(1)}), Variant::R8(1), Variant::R8(1)},
        {"neither converts", Variant::Str("abc"), Variant::Str("also not"), std::nullopt},
    };
    for (const Case& c : cases) {
        PropertyBag bag;
        CPropExchange px(bag, false);
        Variant value = c.value;
        EXPECT_EQ(PX_Variant(&px, "New", value, VT_R8, c.def), c.written.has_value()) << c.what;
        EXPECT_EQ(value, c.value) << "saving leaves the value alone: " << c.what;
        const Variant* written = bag.Read("New");
        ASSERT_EQ(written != nullptr, c.written.has_value()) << c.what;
        EXPECT_TRUE(!written || *written == *c.written) << c.what;
    }
}

}  // namespace
