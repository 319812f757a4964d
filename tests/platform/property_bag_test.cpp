#include "platform/property_bag.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/safearray.h"
#include "platform/value_text.h"
#include "tests/support/value_literal.h"

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::path(testing::TempDir()) / ("property_bag_test_" + name)).string();
}

// Values whose bits a careless file would lose: float classes, every byte, line
// ends, separators inside strings, shapes.
TEST(PropertyBag, EveryValueSurvivesAFileBitForBit) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    const std::vector<Variant> values = {
        V("r8 -0"),
        V("r8 nan:0x7FF0000000000001"),
        V("r4 nan:0x7F800001"),
        Variant(),
        Variant::Str(everyByte),
        Variant::Str("a\r\nb\rc\n"),
        V(R"(bstr["a,b", "]", "# not a comment"])"),
        V(R"(variant[i4 1, i2@9[2], bstr "="])"),
    };
    PropertyBag saved;
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_TRUE(saved.Write("P" + std::to_string(i), values[i])) << FormatValue(values[i]);
    const std::string path = TempPath("every_value");
    std::string error;
    ASSERT_TRUE(saved.SaveToFile(path, &error)) << error;
    PropertyBag loaded;
    ASSERT_TRUE(PropertyBag::LoadFromFile(path, &loaded, &error)) << error;
    EXPECT_TRUE(loaded == saved) << loaded.Serialize();
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    std::filesystem::remove(path);
}

TEST(PropertyBag, NamesIgnoreCaseKeepTheirFirstSpellingAndOrder) {
    PropertyBag bag;
    EXPECT_TRUE(bag.Write("InputX", Variant::I4(1)));
    EXPECT_TRUE(bag.Write("inputy", Variant::I4(2)));
    EXPECT_TRUE(bag.Write("INPUTX", Variant::R8(3)));
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
        {"caf\xC3\xA9", Variant::I4(1)},
        {"Tag", Variant::Dispatch(nullptr)},
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
        {"A = 1\n", "line 1: expected the header 'TallyKit property bag 1'"},
        {header + "Width 5\n", "line 2: expected 'Name = value'"},
        {header + "Input X = 5\n",
         "line 2: invalid property name 'Input X' (letters, digits and '_' only)"},
        {header + "A = 1\n\nB = 2\na = 3\n", "line 5: property a is already set on line 2"},
        {header + "A =  r8 x\n", "line 2: value of A: column 4: expected a number"},
        {header + "A = \"open\n\"\n", "line 2: value of A: column 1: unterminated string"},
        {header + "A = dispatch nothing\n",
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
    std::ofstream(path) << "TallyKit property bag 1\nA = i4 x\n";
    EXPECT_FALSE(PropertyBag::LoadFromFile(path, &bag, &error));
    EXPECT_EQ(error,
              path + ": line 2: value of A: column 4: expected an integer for i4, found 'x'");
    std::filesystem::remove(path);
}

// --- property exchange ------------------------------------------------------

TEST(PropExchange, EachFunctionSavesItsKindAndLoadsItBack) {
    BOOL b = 5;  // any nonzero Boolean saves as true
    int16_t s = -2;
    int32_t l = -3;
    uint32_t ul = 4000000000u;
    float f = 0.1f;
    double d = -0.0;
    std::string str("text\n");
    uint32_t version = 0x00010001;
    auto exchange = [&](PropertyBag& bag, bool loading) {
        CPropExchange px(bag, loading);
        return PX_Bool(&px, "B", b, FALSE) && PX_Short(&px, "S", s, 0) && PX_Long(&px, "L", l, 0) &&
               PX_ULong(&px, "UL", ul, 0) && PX_Float(&px, "F", f, 0) &&
               PX_Double(&px, "D", d, 0) && PX_String(&px, "Str", str, "") &&
               ExchangeVersion(&px, version, 0);
    };
    PropertyBag saved;
    ASSERT_TRUE(exchange(saved, false));
    EXPECT_EQ(saved.Serialize(),
              "TallyKit property bag 1\nB = bool true\nS = i2 -2\nL = i4 -3\nUL = ui4 4000000000\n"
              "F = r4 0.1\nD = r8 -0\nStr = bstr \"text\\n\"\n_Version = ui4 65537\n");
    b = FALSE, s = 0, l = 0, ul = 0, f = 0, d = 0, str.clear(), version = 0;
    ASSERT_TRUE(exchange(saved, true));
    PropertyBag again;
    ASSERT_TRUE(exchange(again, false));
    EXPECT_TRUE(again == saved) << again.Serialize();

    EXPECT_FALSE(PX_Long(nullptr, "L", l, 0));
    CPropExchange px(saved, false);
    EXPECT_FALSE(PX_Long(&px, nullptr, l, 0));
    EXPECT_FALSE(PX_Long(&px, "Not a name", l, 0));
    PropertyBag empty;
    CPropExchange load(empty, true);
    EXPECT_FALSE(ExchangeVersion(&load, version, 0x00010002));
    EXPECT_EQ(version, 0x00010002u);
}

// Loading converts what the bag holds to the function's kind; when it is missing
// or does not convert, the default is taken as given (the host's load test pins
// the same for variants).
TEST(PropExchange, LoadingConvertsOrFallsBackToTheDefault) {
    PropertyBag bag;
    ASSERT_TRUE(
        PropertyBag::Parse("TallyKit property bag 1\nTrue = bool true\nYes = \"yes\"\n"
                           "Big = i4 70000\nText = \" 12 \"\nNan = r4 nan:0x7F800001\n"
                           "Half = r8 3.5\n",
                           &bag, nullptr));
    CPropExchange px(bag, true);
    BOOL b = 0;
    EXPECT_FALSE(PX_Bool(&px, "Missing", b, 2));
    EXPECT_EQ(b, 2);
    EXPECT_TRUE(PX_Bool(&px, "True", b, FALSE));
    EXPECT_EQ(b, TRUE);
    EXPECT_FALSE(PX_Bool(&px, "Yes", b, 3));
    EXPECT_EQ(b, 3);
    int16_t s = 0;
    EXPECT_FALSE(PX_Short(&px, "Big", s, 7));
    EXPECT_EQ(s, 7);
    int32_t l = 0;
    EXPECT_TRUE(PX_Long(&px, "Text", l, 7));
    EXPECT_EQ(l, 12);
    float f = 0;
    EXPECT_TRUE(PX_Float(&px, "Nan", f, 7));
    EXPECT_EQ(std::bit_cast<uint32_t>(f), 0x7F800001u);
    std::string str;
    EXPECT_TRUE(PX_String(&px, "Half", str, "def"));
    EXPECT_EQ(str, "3.5");
}

}  // namespace
