// Page models against real blocks: what a page loads, refuses, enables and writes.
#include <gtest/gtest.h>

#include <memory>

#include "module/class_table.h"
#include "pages/formula_page.h"
#include "pages/page_registry.h"
#include "pages/routing_pages.h"
#include "platform/value_text.h"
#include "tests/support/block_harness.h"

namespace {

using harness::ExpectMembers;
using harness::Steps;

// A new block of class `cls` with its page `pageClass` (by default the first
// page the class lists) loaded from it.
struct Opened {
    harness::Block block;
    std::unique_ptr<COlePropertyPage> page;

    explicit Opened(std::string_view cls, std::string_view pageClass = {}) : block(cls) {
        if (pageClass.empty()) pageClass = PagesOf(*FindClass(cls)).front()->clsid;
        page = CreatePropertyPage(pageClass);
        EXPECT_NE(page, nullptr) << pageClass;
        if (page) page->Load(block.control.Get());
    }
    // Types each "Property=text" into the first field bound to the property.
    void Edit(std::string_view edits) {
        for (auto [property, text] : Steps(edits)) {
            const size_t field = page->FieldOf(property);
            ASSERT_LT(field, page->Fields().size()) << property;
            page->Edit(field, std::string(text));
        }
    }
    const std::string& Text(std::string_view property) const {
        return page->Text(page->FieldOf(property));
    }
};

// Every page a class lists exists, binds only members of that class, and
// applies untouched without complaint.
TEST(PropertyPages, EveryListedPageBindsItsBlocksMembers) {
    for (const ClassEntry& c : ClassTable()) {
        for (const PageEntry* p : PagesOf(c)) {
            Opened o(c.clsid, p->clsid);
            ASSERT_TRUE(o.page) << p->className;
            for (const PageField& f : o.page->Fields()) {
                DISPID id;
                if (f.property.empty()) continue;
                EXPECT_EQ(o.block.control->GetIDsOfNames(f.property, &id), S_OK)
                    << p->className << " " << f.property;
            }
            EXPECT_FALSE(o.page->Apply()) << p->className;
        }
    }
    EXPECT_EQ(AllPageRows().size(), PageTable().size());
}

TEST(PropertyPages, FailedCheckShowsMessageAndWritesNothing) {
    const struct {
        const char *cls, *edits, *focus, *message;
    } cases[] = {
        {"OVDemux", "Value=x; OutputIndex=8", "OutputIndex",
         "Please enter an integer between 0 and 7."},
        {"OVBitPack", "Input3=2", "Input3", "Please enter an integer between 0 and 1."},
        {"OVBitUnpack", "Input=256", "Input", "Please enter an integer between 0 and 255."},
        {"OVMux", "InputIndex=two", "InputIndex", "Please enter an integer."},
        {"OVAdd", "InputX=1; InputY=1e", "InputY", "Please enter a number."},
        {"CFIRFilter", "NumOfCoeff=65", "NumOfCoeff", "Please enter an integer between 2 and 64."},
        {"OVRandom", "MinValue=2; MaxValue=2", "MaxValue",
         "The maximum value must be greater than the minimum value"},
        {"OVAlarm", "VeryHigh=90; High=100; Low=500", "High", "Please enter a number < 90"},
        {"OVAlarm", "VeryHigh=90; High=70; Low=5; VeryLow=10", "Low",
         "Please enter a number between 10 and 70."},
    };
    for (const auto& c : cases) {
        Opened o(c.cls);
        o.Edit(c.edits);
        auto failed = o.page->Apply();
        ASSERT_TRUE(failed) << c.message;
        EXPECT_EQ(failed->text, c.message);
        EXPECT_EQ(failed->style, MB_ICONEXCLAMATION);
        EXPECT_EQ(failed->field, o.page->FieldOf(c.focus)) << c.message;
        harness::Block fresh(c.cls);
        for (auto [property, text] : Steps(c.edits))
            EXPECT_EQ(o.block.Get(property), fresh.Get(property)) << c.message << " " << property;
    }
}

TEST(PropertyPages, ApplyWritesOnlyChangedFieldsWithTheirKinds) {
    Opened o("OVMux");
    o.block.Put("Input0", Variant::I4(7));
    o.page->Load(o.block.control.Get());
    EXPECT_EQ(o.Text("Input0"), "7");
    const Variant before = o.block.Get("Input5");
    o.Edit("Input5=5; InputIndex=7");
    EXPECT_EQ(o.block.Get("Input5"), before) << "nothing is written before apply";
    EXPECT_FALSE(o.page->Apply());
    // An untouched field is not rewritten: Input0 keeps its kind.
    ExpectMembers(o.block, "Input5=\"5\"; InputIndex=i4 7; Input0=i4 7", "mux page");
}

TEST(PropertyPages, LogicPageWritesTheEnabledPairAsBooleansOrIntegers) {
    Opened o("OVAnd");
    const size_t boxX = 1, intX = 5;
    o.Edit("BooleanType=1");
    EXPECT_TRUE(o.page->Enabled(boxX));
    EXPECT_FALSE(o.page->Enabled(intX));
    o.page->Edit(boxX, "1");
    ASSERT_FALSE(o.page->Apply());
    // A new block holds TRUE as a raw 1; the page writes the untouched box back as -1, since
    // the enabled pair is always written.
    ExpectMembers(o.block, "InputX=true; InputY=true", "Boolean pair");

    o.Edit("BooleanType=0");
    EXPECT_FALSE(o.page->Enabled(boxX));
    o.page->Edit(intX, "5");
    ASSERT_FALSE(o.page->Apply());
    ExpectMembers(o.block, "InputX=i4 5; BooleanType=false", "integer pair");
}

// Fields enabled by a list or radio choice; a disabled field is not written.
TEST(PropertyPages, EnablingFollowsTheControllingChoice) {
    const struct {
        const char *cls, *choice, *field;
        bool enabled;
    } cases[] = {
        {"OVFuncGen", "Waveform=5", "DampingFactor", true},
        {"OVFuncGen", "Waveform=2", "DampingFactor", false},
        {"CFIRFilter", "FilterType=0", "LowFrequencyCutoff", false},
        {"CFIRFilter", "FilterType=0", "HighFrequencyCutoff", true},
        {"CFIRFilter", "FilterType=1", "HighFrequencyCutoff", false},
        {"TALLYKIT.LXHistogramCtrl.1", "Range=0", "BinMinValue", false},
        {"TALLYKIT.LXHistogramCtrl.1", "Range=1", "TriggerError", true},
    };
    for (const auto& c : cases) {
        Opened o(c.cls);
        o.Edit(c.choice);
        const size_t field = o.page->FieldOf(c.field);
        EXPECT_EQ(o.page->Enabled(field), c.enabled) << c.cls << " " << c.field;
        const Variant before = o.block.Get(c.field);
        o.page->Edit(field, "0.25");
        ASSERT_FALSE(o.page->Apply());
        if (!c.enabled) {
            EXPECT_EQ(o.block.Get(c.field), before) << c.field;
        }
    }
}

TEST(PropertyPages, HistogramCouplesIncrementBinsAndScale) {
    Opened o("TALLYKIT.LXHistogramCtrl.1");
    o.Edit("Range=1; BinMinValue=0; BinMaxValue=10; BinIncrement=2.5");
    EXPECT_EQ(o.Text("NumberOfBins"), "4");
    o.Edit("NumberOfBins=3");
    EXPECT_EQ(o.Text("BinIncrement"), "3.33333");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.block.Get("NumberOfBins"), Variant::I4(3)) << "the typed field is the one written";
    o.Edit("Scale=0; Normalize=1");
    EXPECT_EQ(o.Text("Scale"), "1.0");
    o.Edit("Normalize=2");
    EXPECT_EQ(o.Text("Scale"), "0");
    EXPECT_FALSE(o.page->Enabled(o.page->FieldOf("Scale")));
}

TEST(PropertyPages, FirCutoffsMoveTogether) {
    Opened o("CFIRFilter");
    o.Edit("FilterType=2; LowFrequencyCutoff=0.35; HighFrequencyCutoff=0.45");
    ASSERT_FALSE(o.page->Apply());
    ExpectMembers(o.block, "LowFrequencyCutoff=r4 0.35; HighFrequencyCutoff=r4 0.45", "band");
}

TEST(PropertyPages, RandomExampleFollowsPrecision) {
    Opened o("OVRandom");  // 0 to 1: example 1/3
    o.Edit("OutputPrecision=3");
    EXPECT_EQ(o.page->Text(3), "(Ex: 0.33)");
    o.Edit("OutputPrecision=0");
    EXPECT_EQ(o.page->Text(3), "(Ex: 0.333333333333333)");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.block.Get("OutputPrecision"), Variant::I4(-1));
}

TEST(PropertyPages, LookupGeneralPageShowsOnlyFilePathsAndDelimiterCodes) {
    Opened o("OVLookup", "COVLookupPropPage");
    EXPECT_EQ(o.Text("Delimiter"), "0");  // comma, the first entry
    o.Edit("Delimiter=3; LookupTable=table.csv");
    ASSERT_FALSE(o.page->Apply());
    Variant delimiter, stored = o.block.Get("Delimiter");
    ASSERT_EQ(VariantChangeType(&delimiter, &stored, 0, VT_I4), S_OK);
    EXPECT_EQ(delimiter.lVal(), 59);
    EXPECT_EQ(o.block.Get("LookupTable"), Variant::Str("table.csv"));
    o.block.Put("LookupTable", LookupTableFromText("1,2", ','));
    o.page->Load(o.block.control.Get());
    EXPECT_EQ(o.Text("LookupTable"), "");
}

// --- list pages ----------------------------------------------------------------

TEST(ListPages, TextBecomesTable) {
    struct Case {
        const char* text;
        char delimiter;
        const char* lookup;
        const char* cases;
    } cases[] = {
        {"a;1\r\nb;2\r\n", ';', R"(bstr[["a", "b"], ["1", "2"]])", R"(bstr["a", "1", "b", "2"])"},
        {" 1 , 10\n2,20\n", ',', "r8[[1, 2], [10, 20]]", "r8[1, 10, 2, 20]"},
        {"1,x\n", ',', R"(bstr[["1"], ["x"]])", R"(bstr["1", "x"])"},
        // A header line makes a text list of cases; a lookup table skips it.
        {"heading\n1,2\n", ',', "r8[[1], [2]]", R"(bstr["heading", "1", "2"])"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", ',', R"(bstr "")", "r8[1, 2, 3, 4, 5, 6, 7, 8]"},
        {"", ',', R"(bstr "")", R"(bstr "")"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatValue(LookupTableFromText(c.text, c.delimiter)), c.lookup) << c.text;
        EXPECT_EQ(FormatValue(SwitchListFromText(c.text, c.delimiter)), c.cases) << c.text;
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
    Opened o("OVLookup", "COVLookupListPropPage");
    o.block.Put("Delimiter", Variant::I4(59));
    o.page->Load(o.block.control.Get());
    o.page->Edit(0, "a;1\r\nb;2\r\n");
    ASSERT_FALSE(o.page->Apply());
    EXPECT_EQ(o.block.Get("LookupTable"), V("bstr[[\"a\", \"b\"], [\"1\", \"2\"]]"));
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
    Opened o("Formula");
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
    // Values go through "%lf".
    ExpectMembers(o.block, "Formula=\"a * 2\"; Input1Name=\"a\"; Input1=r8 1", "formula page");
}

}  // namespace
