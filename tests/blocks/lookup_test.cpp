#include "blocks/routing/lookup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

// A 2-by-n table of `type` with keys and outputs, entries from `lower`.
Variant Table(VARTYPE type, std::initializer_list<Variant> keys,
              std::initializer_list<Variant> outputs, int32_t lower = 0) {
    const SAFEARRAYBOUND bounds[2] = {{2, 0}, {static_cast<uint32_t>(keys.size()), lower}};
    SafeArrayPtr a = SafeArrayCreate(type, 2, bounds);
    size_t i = 0;
    for (Variant k : keys) {
        VariantChangeType(&k, &k, 0, type);
        a->SetElementAt(2 * i++, k);
    }
    i = 0;
    for (Variant o : outputs) {
        VariantChangeType(&o, &o, 0, type);
        a->SetElementAt(2 * i++ + 1, o);
    }
    return Variant::Array(std::move(a));
}

std::string TempFile(const std::string& name, const std::string& bytes) {
    const auto p = std::filesystem::temp_directory_path() /
                   ("tk_lookup_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

struct LookupCase {
    const char* what;
    Variant table;
    Variant input;
    HRESULT status;
    Variant value;  // empty: Value keeps its previous contents
    int32_t index;
};

TEST(Lookup, MatchRulesByTableKind) {
    const Variant r8 =
        Table(VT_R8, {Variant::R8(1), Variant::R8(2)}, {Variant::R8(10), Variant::R8(20)});
    const Variant i4 = Table(VT_I4, {Variant::I4(3)}, {Variant::I4(30)}, 5);
    const LookupCase cases[] = {
        {"exact double", r8, Variant::I4(2), S_OK, Variant::R8(20), 1},
        {"a double between keys", r8, Variant::R8(1.5), TYPE_E_TYPEMISMATCH, {}, 0},
        {"text that is a number", r8, Variant::Str(" 2 "), S_OK, Variant::R8(20), 1},
        {"text that is none", r8, Variant::Str("two"), TYPE_E_TYPEMISMATCH, {}, 0},
        {"truncated toward zero", i4, Variant::R8(3.9), S_OK, Variant::I4(30), 5},
        {"negative truncation", i4, Variant::R8(-3.5), TYPE_E_TYPEMISMATCH, {}, 0},
        {"beyond 32 bits", i4, Variant::R8(4294967299.0), TYPE_E_TYPEMISMATCH, {}, 0},
        {"low 16 bits", Table(VT_I2, {Variant::I4(4464)}, {Variant::I4(7)}), Variant::I4(70000),
         S_OK, Variant::I2(7), 0},
        {"unsigned bytes output as signed", Table(VT_UI1, {Variant::I4(200)}, {Variant::I4(255)}),
         Variant::R8(200.5), S_OK, Variant::I1(-1), 0},
        {"unsigned longs keep their bits",
         Table(VT_UI4, {Variant::I4(1)}, {Variant::UI4(4294967295u)}), Variant::I4(1), S_OK,
         Variant::I4(-1), 0},
        {"widened float", Table(VT_R4, {Variant::R8(0.5)}, {Variant::R8(1.5)}), Variant::R8(0.5),
         S_OK, Variant::R4(1.5f), 0},
        {"Boolean keys",
         Table(VT_BOOL, {Variant::I4(1)}, {Variant::I4(1)}),
         Variant::I4(1),
         TYPE_E_TYPEMISMATCH,
         {},
         0},
        {"text keys, first wins",
         Table(VT_BSTR, {Variant::Str("Abc"), Variant::Str("abc")},
               {Variant::Str("x"), Variant::Str("y")}),
         Variant::Str("ABC"), S_OK, Variant::Str("x"), 0},
        {"one dimension",
         Variant::Array(SafeArrayCreateVector(VT_R8, 0, 4)),
         Variant::R8(0),
         E_INVALIDARG,
         {},
         0},
        {"no key column pair",
         Variant::Array([] {
             const SAFEARRAYBOUND b[2] = {{1, 0}, {3, 0}};
             return SafeArrayCreate(VT_R8, 2, b);
         }()),
         Variant::R8(0),
         E_INVALIDARG,
         {},
         0},
        {"neither path nor table", Variant::I4(3), Variant::R8(0), TYPE_E_TYPEMISMATCH, {}, 0},
        {"empty path", Variant::Str(""), Variant::R8(0), ERROR_FILE_NOT_FOUND_HR, {}, 0},
        {"missing file",
         Variant::Str("/nonexistent/tk/list.csv"),
         Variant::R8(0),
         ERROR_READ_FAULT_HR,
         {},
         0},
    };
    for (const LookupCase& c : cases) {
        Block b("OVLookup");
        b.Put("Value", Variant::Str("before"));
        b.Put("MapIndex", Variant::I4(-9));
        b.Put("LookupTable", c.table);
        b.Put("Input", c.input);
        b.Call("Operate");
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << c.what;
        const bool matched = !c.value.IsEmpty();
        EXPECT_EQ(b.Get("Value"), matched ? c.value : Variant::Str("before")) << c.what;
        EXPECT_EQ(b.Get("MapIndex"), Variant::I4(matched ? c.index : -9)) << c.what;
    }
}

TEST(Lookup, ReadsItsFileAtEveryRun) {
    const std::string path = TempFile("every_run.csv", "1,10\n2,20\n2,30\n");
    Block b("OVLookup");
    b.Put("LookupTable", Variant::Str(path));
    b.Put("Input", Variant::I4(2));
    EXPECT_EQ(b.Call("Operate"), Variant::R8(20));
    EXPECT_EQ(b.Get("MapIndex"), Variant::I4(1));
    // A file without a delimited line is a success that changes nothing.
    std::ofstream(path, std::ios::binary) << "2;99\n";
    EXPECT_EQ(b.Call("Operate"), Variant::R8(20));
    EXPECT_EQ(b.Get("StatusCode"), Variant::I4(0));
    b.Put("Delimiter", Variant::I4(ovSemicolon));
    EXPECT_EQ(b.Call("Operate"), Variant::R8(99));
    EXPECT_EQ(b.Get("MapIndex"), Variant::I4(0));
    std::filesystem::remove(path);
}

TEST(Lookup, PersistsTablesAsEntries) {
    Block b("OVLookup");
    b.Put("LookupTable", Table(VT_BSTR, {Variant::Str("a"), Variant::Str("b"), Variant::Str("c")},
                               {Variant::Str("1"), Variant::Str("2"), Variant::Str("3")}));
    b.Put("Delimiter", Variant::I4(256 + ovTab));
    EXPECT_EQ(b.Get("Delimiter"), Variant::I2(ovTab));
    PropertyBag bag;
    b.control->Save(bag);
    EXPECT_EQ(*bag.Read("LookupType"), Variant::I4(VT_ARRAY | VT_BSTR));
    EXPECT_EQ(*bag.Read("ListLength"), Variant::I4(3));
    EXPECT_EQ(*bag.Read("LookupList_1_2"), Variant::Str("3"));
    EXPECT_EQ(*bag.Read("LookupTable"), Variant::Str(""));
    Block loaded("OVLookup");
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("LookupTable"), b.Get("LookupTable"));
    EXPECT_EQ(loaded.Get("Delimiter"), Variant::I2(ovTab));

    // Numeric tables persist as doubles and load back in their element type.
    b.Put("LookupTable", Table(VT_I4, {Variant::I4(3)}, {Variant::I4(4)}));
    b.Put("Input", Variant::Str("not a number"));
    PropertyBag numeric;
    b.control->Save(numeric);
    EXPECT_EQ(*numeric.Read("LookupList_0_0"), Variant::R8(3));
    EXPECT_EQ(*numeric.Read("Input"), Variant::R8(0));
    loaded.control->Load(numeric);
    EXPECT_EQ(loaded.Get("LookupTable"), b.Get("LookupTable"));
    // A length the bag cannot hold keeps the reset table.
    numeric.Write("ListLength", Variant::I4(2000000000));
    Block hostile("OVLookup");
    hostile.control->Load(numeric);
    EXPECT_EQ(hostile.Get("LookupTable"), Variant::Str(""));
}

}  // namespace
