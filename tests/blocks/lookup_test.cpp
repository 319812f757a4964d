#include "blocks/routing/lookup.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::TempFile;

// Tables are key and output rows; `value` empty: Value keeps its previous contents.
struct LookupCase {
    const char* what;
    const char* table;
    const char* input;
    HRESULT status;
    const char* value;
    int32_t index;
};

TEST(Lookup, MatchRulesByTableKind) {
    const char* r8 = "r8[[1, 2], [10, 20]]";
    const char* i4 = "i4@0,5[[3], [30]]";
    const LookupCase cases[] = {
        {"exact double", r8, "2", S_OK, "r8 20", 1},
        {"a double between keys", r8, "1.5", TYPE_E_TYPEMISMATCH, "", 0},
        {"text that is a number", r8, "\" 2 \"", S_OK, "r8 20", 1},
        {"text that is none", r8, "\"two\"", TYPE_E_TYPEMISMATCH, "", 0},
        {"truncated toward zero", i4, "3.9", S_OK, "i4 30", 5},
        {"negative truncation", i4, "-3.5", TYPE_E_TYPEMISMATCH, "", 0},
        {"beyond 32 bits", i4, "4294967299.0", TYPE_E_TYPEMISMATCH, "", 0},
        {"low 16 bits", "i2[[4464], [7]]", "70000", S_OK, "i2 7", 0},
        {"unsigned bytes output as signed", "ui1[[200], [255]]", "200.5", S_OK, "i1 -1", 0},
        {"unsigned longs keep their bits", "ui4[[1], [4294967295]]", "1", S_OK, "i4 -1", 0},
        {"widened float", "r4[[0.5], [1.5]]", "0.5", S_OK, "r4 1.5", 0},
        {"Boolean keys", "bool[[true], [true]]", "1", TYPE_E_TYPEMISMATCH, "", 0},
        {"text keys, first wins", "bstr[[\"Abc\", \"abc\"], [\"x\", \"y\"]]", "\"ABC\"", S_OK,
         "\"x\"", 0},
        {"one dimension", "r8[0, 0, 0, 0]", "0", E_INVALIDARG, "", 0},
        {"no key column pair", "r8[[0, 0, 0]]", "0", E_INVALIDARG, "", 0},
        {"neither path nor table", "3", "0", TYPE_E_TYPEMISMATCH, "", 0},
        {"empty path", "\"\"", "0", ERROR_FILE_NOT_FOUND_HR, "", 0},
        {"missing file", "\"/nonexistent/tk/list.csv\"", "0", ERROR_READ_FAULT_HR, "", 0},
    };
    for (const LookupCase& c : cases) {
        Block b("OVLookup");
        b.Put("Value", Variant::Str("before"));
        b.Put("MapIndex", Variant::I4(-9));
        b.Put("LookupTable", V(c.table));
        b.Put("Input", V(c.input));
        b.Call("Operate");
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << c.what;
        const bool matched = *c.value != 0;
        EXPECT_EQ(b.Get("Value"), matched ? V(c.value) : Variant::Str("before")) << c.what;
        EXPECT_EQ(b.Get("MapIndex"), Variant::I4(matched ? c.index : -9)) << c.what;
    }
}

TEST(Lookup, ReadsItsFileAtEveryRun) {
    const std::string path = TempFile("every_run.csv", "1,10\n2,20\n2,30\n");
    Block b("OVLookup");
    harness::Drive(b, "LookupTable=\"" + path + "\"; Input=2; Operate");
    harness::ExpectMembers(b, "Value=r8 20; MapIndex=1", "first run");
    // A file without a delimited line is a success that changes nothing.
    std::ofstream(path, std::ios::binary) << "2;99\n";
    harness::Drive(b, "Operate");
    harness::ExpectMembers(b, "Value=r8 20; MapIndex=1; StatusCode=0", "no delimited line");
    harness::Drive(b, "Delimiter=i2 59; Operate");
    harness::ExpectMembers(b, "Value=r8 99; MapIndex=0", "semicolons");
}

// Tables persist as entries (see the stored-state table); a length the bag
// cannot hold keeps the reset table.
TEST(Lookup, LoadRefusesAnImpossibleLength) {
    Block b("OVLookup");
    b.Put("LookupTable", V("i4[[3], [4]]"));
    PropertyBag bag;
    b.control->Save(bag);
    bag.Write("ListLength", Variant::I4(2000000000));
    Block hostile("OVLookup");
    hostile.control->Load(bag);
    EXPECT_EQ(hostile.Get("LookupTable"), Variant::Str(""));
}

}  // namespace
