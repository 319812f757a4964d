// Page models against real blocks: what a page loads, refuses, enables and writes.
#include <gtest/gtest.h>

#include <memory>

#include "module/class_table.h"
#include "pages/formula_page.h"
#include "pages/page_registry.h"
#include "pages/routing_pages.h"
#include "platform/safearray.h"

namespace {

struct Opened {
    ComPtr<COleControl> block;
    std::unique_ptr<COlePropertyPage> page;

    Variant Get(std::string_view name) const {
        DISPID id = DISPID_UNKNOWN;
        Variant v;
        EXPECT_EQ(block->GetIDsOfNames(name, &id), S_OK) << name;
        block->Invoke(id, DISPATCH_PROPERTYGET, {}, &v);
        return v;
    }
    void Put(std::string_view name, Variant v) const {
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(block->GetIDsOfNames(name, &id), S_OK) << name;
        ASSERT_EQ(block->Invoke(id, DISPATCH_PROPERTYPUT, std::span(&v, 1), nullptr), S_OK);
    }
    // Edits the first field bound to `property`.
    void Edit(std::string_view property, std::string text) const {
        size_t field = page->FieldOf(property);
        ASSERT_LT(field, page->Fields().size()) << property;
        page->Edit(field, std::move(text));
    }
    const std::string& Text(std::string_view property) const {
        return page->Text(page->FieldOf(property));
    }
};

Opened Open(std::string_view cls, std::string_view pageClass) {
    Opened o;
    const ClassEntry* entry = FindClass(cls);
    EXPECT_NE(entry, nullptr) << cls;
    o.block = entry->create();
    o.block->InitNew();
    o.page = CreatePropertyPage(pageClass);
    EXPECT_NE(o.page, nullptr) << pageClass;
    if (o.page) o.page->Load(o.block.Get());
    return o;
}

// Every page a class lists exists, binds only members of that class, and
// applies untouched without complaint.
TEST(PropertyPages, EveryListedPageBindsItsBlocksMembers) {
    for (const ClassEntry& c : ClassTable()) {
        for (const PageEntry* p : PagesOf(c)) {
            Opened o = Open(c.clsid, p->clsid);
            ASSERT_TRUE(o.page) << p->className;
            for (const PageField& f : o.page->Fields()) {
                DISPID id;
                if (f.property.empty()) continue;
                EXPECT_EQ(o.block->GetIDsOfNames(f.property, &id), S_OK)
                    << p->className << " " << f.property;
            }
            EXPECT_FALSE(o.page->Apply()) << p->className;
        }
    }
    EXPECT_EQ(AllPageRows().size(), PageTable().size());
}

struct Rejection {
    const char* cls;
    const char* page;
    std::vector<std::pair<const char*, const char*>> edits;  // property, text
    const char* message;
    const char* focus;  // property of the field that gets the focus
};

TEST(PropertyPages, FailedCheckShowsMessageAndWritesNothing) {
    const Rejection cases[] = {
        {"OVDemux",
         "COVDemuxPropPage",
         {{"Value", "x"}, {"OutputIndex", "8"}},
         "Please enter an integer between 0 and 7.",
         "OutputIndex"},
        {"OVBitPack",
         "COVBitPackPropPage",
         {{"Input3", "2"}},
         "Please enter an integer between 0 and 1.",
         "Input3"},
        {"OVBitUnpack",
         "COVBitUnpackPropPage",
         {{"Input", "256"}},
         "Please enter an integer between 0 and 255.",
         "Input"},
        {"OVMux",
         "COVMuxPropPage",
         {{"InputIndex", "two"}},
         "Please enter an integer.",
         "InputIndex"},
        {"OVAdd",
         "COVAddPropPage",
         {{"InputX", "1"}, {"InputY", "1e"}},
         "Please enter a number.",
         "InputY"},
        {"CFIRFilter",
         "CFIRFilterPropPage",
         {{"NumOfCoeff", "65"}},
         "Please enter an integer between 2 and 64.",
         "NumOfCoeff"},
        {"OVRandom",
         "COVRandomPropPage",
         {{"MinValue", "2"}, {"MaxValue", "2"}},
         "The maximum value must be greater than the minimum value",
         "MaxValue"},
        {"OVAlarm",
         "COVAlarmPropPage",
         {{"VeryHigh", "90"}, {"High", "100"}, {"Low", "500"}},
         "Please enter a number < 90",
         "High"},
        {"OVAlarm",
         "COVAlarmPropPage",
         {{"VeryHigh", "90"}, {"High", "70"}, {"Low", "5"}, {"VeryLow", "10"}},
         "Please enter a number between 10 and 70.",
         "Low"},
    };
    for (const Rejection& c : cases) {
        Opened o = Open(c.cls, c.page);
        std::vector<Variant> before;
        for (auto [property, text] : c.edits) {
            before.push_back(o.Get(property));
            o.Edit(property, text);
        }
        auto failed = o.page->Apply();
        ASSERT_TRUE(failed) << c.message;
        EXPECT_EQ(failed->text, c.message);
        EXPECT_EQ(failed->style, MB_ICONEXCLAMATION);
        EXPECT_EQ(failed->field, o.page->FieldOf(c.focus)) << c.message;
        for (size_t i = 0; i < c.edits.size(); ++i)
            EXPECT_EQ(o.Get(c.edits[i].first), before[i]) << c.message << " " << c.edits[i].first;
    }
}

TEST(PropertyPages, ApplyWritesOnlyChangedFieldsWithTheirKinds) {
    Opened o = Open("OVMux", "COVMuxPropPage");
    o.Put("Input0", Variant::I4(7));
    o.page->Load(o.block.Get());
    EXPECT_EQ(o.Text("Input0"), "7");
    Variant before = o.Get("Input5");
    o.Edit("Input5", "5");
    o.Edit("InputIndex", "7");
    EXPECT_EQ(o.Get("Input5"), before) << "nothing is written before apply";
    EXPECT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("Input5"), Variant::Str("5"));
    EXPECT_EQ(o.Get("InputIndex"), Variant::I4(7));
    EXPECT_EQ(o.Get("Input0"), Variant::I4(7)) << "an untouched field is not rewritten";
}

TEST(PropertyPages, LogicPageWritesTheEnabledPairAsBooleansOrIntegers) {
    Opened o = Open("OVAnd", "COVAndPropPage");
    const size_t boxX = 1, intX = 5;
    o.Edit("BooleanType", "1");
    EXPECT_TRUE(o.page->Enabled(boxX));
    EXPECT_FALSE(o.page->Enabled(intX));
    o.page->Edit(boxX, "1");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("InputX"), Variant::Bool(true));
    // A new block holds TRUE as a raw 1; the page writes the untouched box back as -1.
    EXPECT_EQ(o.Get("InputY"), Variant::Bool(true)) << "the enabled pair is always written";

    o.Edit("BooleanType", "0");
    EXPECT_FALSE(o.page->Enabled(boxX));
    o.page->Edit(intX, "5");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("InputX"), Variant::I4(5));
    EXPECT_EQ(o.Get("BooleanType").boolVal(), 0);
}

// Fields enabled by a list or radio choice; a disabled field is not written.
TEST(PropertyPages, EnablingFollowsTheControllingChoice) {
    struct Case {
        const char *cls, *page, *controller, *choice, *field;
        bool enabled;
    } cases[] = {
        {"OVFuncGen", "COVFuncGenPropPage", "Waveform", "5", "DampingFactor", true},
        {"OVFuncGen", "COVFuncGenPropPage", "Waveform", "2", "DampingFactor", false},
        {"CFIRFilter", "CFIRFilterPropPage", "FilterType", "0", "LowFrequencyCutoff", false},
        {"CFIRFilter", "CFIRFilterPropPage", "FilterType", "0", "HighFrequencyCutoff", true},
        {"CFIRFilter", "CFIRFilterPropPage", "FilterType", "1", "HighFrequencyCutoff", false},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000083}", "COVHistogramPropPage", "Range", "0",
         "BinMinValue", false},
        {"{5A3C0000-7A11-4B1D-9E2B-000000000083}", "COVHistogramPropPage", "Range", "1",
         "TriggerError", true},
    };
    for (const Case& c : cases) {
        Opened o = Open(c.cls, c.page);
        o.Edit(c.controller, c.choice);
        size_t field = o.page->FieldOf(c.field);
        EXPECT_EQ(o.page->Enabled(field), c.enabled) << c.page << " " << c.field;
        Variant before = o.Get(c.field);
        o.page->Edit(field, "0.25");
        ASSERT_FALSE(o.page->Apply());
        if (!c.enabled) {
            EXPECT_EQ(o.Get(c.field), before) << c.field;
        }
    }
}

TEST(PropertyPages, HistogramCouplesIncrementBinsAndScale) {
    Opened o = Open("{5A3C0000-7A11-4B1D-9E2B-000000000083}", "COVHistogramPropPage");
    o.Edit("Range", "1");
    o.Edit("BinMinValue", "0");
    o.Edit("BinMaxValue", "10");
    o.Edit("BinIncrement", "2.5");
    EXPECT_EQ(o.Text("NumberOfBins"), "4");
    o.Edit("NumberOfBins", "3");
    EXPECT_EQ(o.Text("BinIncrement"), "3.33333");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("NumberOfBins"), Variant::I4(3)) << "the typed field is the one written";
    o.Edit("Scale", "0");
    o.Edit("Normalize", "1");
    EXPECT_EQ(o.Text("Scale"), "1.0");
    o.Edit("Normalize", "2");
    EXPECT_EQ(o.Text("Scale"), "0");
    EXPECT_FALSE(o.page->Enabled(o.page->FieldOf("Scale")));
}

TEST(PropertyPages, FirCutoffsMoveTogether) {
    Opened o = Open("CFIRFilter", "CFIRFilterPropPage");
    o.Edit("FilterType", "2");
    o.Edit("LowFrequencyCutoff", "0.35");
    o.Edit("HighFrequencyCutoff", "0.45");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("LowFrequencyCutoff"), Variant::R4(0.35f));
    EXPECT_EQ(o.Get("HighFrequencyCutoff"), Variant::R4(0.45f));
}

TEST(PropertyPages, RandomExampleFollowsPrecision) {
    Opened o = Open("OVRandom", "COVRandomPropPage");  // 0 to 1: example 1/3
    o.Edit("OutputPrecision", "3");
    EXPECT_EQ(o.page->Text(3), "(Ex: 0.33)");
    o.Edit("OutputPrecision", "0");
    EXPECT_EQ(o.page->Text(3), "(Ex: 0.333333333333333)");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.Get("OutputPrecision"), Variant::I4(-1));
}

TEST(PropertyPages, LookupGeneralPageShowsOnlyFilePathsAndDelimiterCodes) {
    Opened o = Open("OVLookup", "COVLookupPropPage");
    EXPECT_EQ(o.Text("Delimiter"), "0");  // comma, the first entry
    o.Edit("Delimiter", "3");
    o.Edit("LookupTable", "table.csv");
    ASSERT_FALSE(o.page->Apply());
    Variant delimiter, stored = o.Get("Delimiter");
    ASSERT_EQ(VariantChangeType(&delimiter, &stored, 0, VT_I4), S_OK);
    EXPECT_EQ(delimiter.lVal(), 59);
    EXPECT_EQ(o.Get("LookupTable"), Variant::Str("table.csv"));
    o.Put("LookupTable", LookupTableFromText("1,2", ','));
    o.page->Load(o.block.Get());
    EXPECT_EQ(o.Text("LookupTable"), "");
}

// --- list pages ----------------------------------------------------------------

std::string Shape(const Variant& v) {
    if (!v.IsArray()) return v.vt() == VT_BSTR ? "\"" + v.bstrVal() + "\"" : "?";
    const SafeArray& a = *v.parray();
    std::string s = a.ElementType() == VT_R8 ? "r8" : "bstr";
    for (uint32_t d = 0; d < a.Dims(); ++d)
        s += (d ? "x" : " ") + std::to_string(a.Bound(d).cElements);
    return s;
}

TEST(ListPages, TextBecomesTable) {
    struct Case {
        const char* text;
        char delimiter;
        const char* lookup;
        const char* cases;
    } cases[] = {
        {"a;1\r\nb;2\r\n", ';', "bstr 2x2", "bstr 4"},
        {" 1 , 10\n2,20\n", ',', "r8 2x2", "r8 4"},
        {"1,x\n", ',', "bstr 2x1", "bstr 2"},
        {"heading\n1,2\n", ',', "r8 2x1", "bstr 3"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", ',', "\"\"", "r8 8"},
        {"", ',', "\"\"", "\"\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shape(LookupTableFromText(c.text, c.delimiter)), c.lookup) << c.text;
        EXPECT_EQ(Shape(SwitchListFromText(c.text, c.delimiter)), c.cases) << c.text;
    }
}

TEST(ListPages, TableBecomesText) {
    EXPECT_EQ(LookupTableText(LookupTableFromText("a;1\nb;2", ';'), ';'), "a;1\r\nb;2\r\n");
    EXPECT_EQ(LookupTableText(LookupTableFromText("1,2.5\n", ','), ','), "1,2.5\r\n");
    EXPECT_EQ(SwitchListText(SwitchListFromText("1,x", ',')), "1\r\nx\r\n");
    EXPECT_EQ(SwitchListText(SwitchListFromText("0.5\n3", ',')), "0.5\r\n3\r\n");
    EXPECT_EQ(LookupTableText(Variant::R8(1), ','), "");
}

TEST(ListPages, TablePageReplacesTheTable) {
    Opened o = Open("OVLookup", "COVLookupListPropPage");
    o.Put("Delimiter", Variant::I4(59));
    o.page->Load(o.block.Get());
    o.page->Edit(0, "a;1\r\nb;2\r\n");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(Shape(o.Get("LookupTable")), "bstr 2x2");
}

// --- formula page --------------------------------------------------------------

TEST(FormulaPage, GridEditsNamesAndValues) {
    FormulaGrid grid;
    using K = FormulaGrid::Key;
    struct Case {
        int row, x;
        const char* typed;
        const char* name;  // expected name of the row afterwards (null: refused)
        double value;
    } cases[] = {
        {0, 100, "my var!", "myvar", 0},  {1, 100, "", "", 0},          {2, 100, "2x", nullptr, 0},
        {3, 300, "-2.5", "Input4", -2.5}, {4, 300, "abc", "Input5", 0}, {5, 219, "_a1", "_a1", 0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(grid.Click(c.row, c.x));
        grid.Press(K::Enter);
        ASSERT_TRUE(grid.EditorOpen());
        grid.SetEditorText(c.typed);
        auto refused = grid.Press(K::Enter);
        if (c.name == nullptr) {
            ASSERT_TRUE(refused) << c.typed;
            EXPECT_EQ(refused->text, "Variable names cannot begin with a number!");
            EXPECT_EQ(refused->title, "Formula Properties");
            EXPECT_TRUE(grid.EditorOpen());
            grid.Press(K::Escape);
            continue;
        }
        EXPECT_FALSE(refused);
        EXPECT_EQ(grid.At(c.row).name, c.name);
        EXPECT_EQ(grid.At(c.row).value, c.value);
    }
    EXPECT_EQ(FormulaGrid::FormatValue(-2.5), "-2.500000");
}

TEST(FormulaPage, KeysMoveAndOpenTheEditor) {
    FormulaGrid grid;
    using K = FormulaGrid::Key;
    grid.Press(K::Right);
    grid.Press(K::Other, "7");  // typing opens the editor on the value
    EXPECT_EQ(grid.EditorText(), "7");
    grid.Press(K::Down);  // commits and moves
    EXPECT_EQ(grid.At(0).value, 7);
    EXPECT_EQ(grid.Current(), 1);
    grid.Press(K::Other, "9");
    grid.Press(K::Escape);  // discards
    EXPECT_EQ(grid.At(1).value, 0);
    grid.Press(K::End);
    EXPECT_EQ(grid.Current(), 7);
}

TEST(FormulaPage, LiveCheckAndApply) {
    Opened o = Open("Formula", "CFormulaPropPage");
    auto& page = static_cast<FormulaPage&>(*o.page);
    page.Edit(FormulaPage::kFormula, "(1+2");
    EXPECT_EQ(page.Text(FormulaPage::kMessage), "Closing parenthesis expected in math formula.");
    EXPECT_EQ(page.ErrorSelection(), std::pair(4, 5));
    page.Edit(FormulaPage::kFormula, "sin(");
    EXPECT_EQ(page.Text(FormulaPage::kMessage), "Incomplete math formula.");
    page.Edit(FormulaPage::kFormula, std::string(1025, '1'));
    EXPECT_EQ(page.Text(FormulaPage::kFormula).size(), 1024u);
    page.Edit(FormulaPage::kFormula, "a * 2");
    EXPECT_EQ(page.Text(FormulaPage::kMessage), "");

    page.Grid().At(0).name = "a";
    page.Grid().At(0).value = 1.0000004;
    ASSERT_FALSE(page.Apply());
    EXPECT_EQ(o.Get("Formula"), Variant::Str("a * 2"));
    EXPECT_EQ(o.Get("Input1Name"), Variant::Str("a"));
    EXPECT_EQ(o.Get("Input1"), Variant::R8(1.0)) << "values go through \"%lf\"";
}

}  // namespace
