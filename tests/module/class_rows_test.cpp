// The class and page tables, walked row by row, and the placeholder controls.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "blocks/placeholder/placeholder.h"
#include "framework/base_math_ctrl.h"
#include "module/class_table.h"

namespace {

std::string Folded(std::string_view s) {
    std::string f(s);
    for (char& ch : f)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return f;
}

// Factories that register nothing.
const std::set<std::string_view> kSilent = {"COVBaseMathCtrl", "COVHistogramCtrl", "COVAbsCtrl",
                                            "COVlnCtrl",       "COVLogCtrl",       "COVSqrtCtrl"};

// A rule is only as good as its exceptions: these rows keep names of their own.
struct ExplicitRow {
    std::string_view className, progId, coclass, userTypeName;
};
constexpr ExplicitRow kExplicitRows[] = {
    {"COVHistogramCtrl", "TALLYKIT.LXHistogramCtrl.1", "", "Histogram Control"},
    {"CFIRFilterCtrl", "TALLYKIT.FIRFilterCtrl", "CFIRFilter", "FIR Filter Control"},
};

}  // namespace

TEST(ClassRows, EachRowAgreesWithItselfItsInstanceAndItsPages) {
    std::set<std::string> clsids, progIds, classNames;
    std::set<int> bitmaps;
    for (const ClassEntry& c : ClassTable()) {
        SCOPED_TRACE(std::string(c.className));
        EXPECT_TRUE(clsids.insert(Folded(c.clsid)).second);
        EXPECT_TRUE(progIds.insert(Folded(c.progId)).second);
        EXPECT_TRUE(classNames.insert(std::string(c.className)).second);
        EXPECT_TRUE(bitmaps.insert(c.bitmap).second) << "bitmap " << c.bitmap;
        EXPECT_EQ(c.clsid, ModuleGuid(GuidNumber(c.clsid)));
        bool special = false;
        for (const ExplicitRow& e : kExplicitRows) {
            if (e.className != c.className) continue;
            special = true;
            EXPECT_EQ(c.progId, e.progId);
            EXPECT_EQ(c.coclass, e.coclass);
            EXPECT_EQ(c.userTypeName, e.userTypeName);
        }
        EXPECT_TRUE(special || FollowsNamingRule(c));
        EXPECT_EQ(c.insertable, c.className == "CFIRFilterCtrl");
        EXPECT_EQ(c.registers, !kSilent.count(c.className));
        // Every control has its pages, FFT and statistics the shared empty one first.
        std::vector<const PageEntry*> pages = PagesOf(c);
        ASSERT_FALSE(pages.empty());
        bool shared = c.className == "CFFTCtrl" || c.className == "CStatisticsCtrl";
        EXPECT_EQ(pages[0]->progId == "TALLYKIT.NOPPropPage.1", shared);
        size_t expected = c.className == "COVSwitchCtrl" || c.className == "COVLookupCtrl" ? 2 : 1;
        EXPECT_EQ(pages.size(), expected);

        const ClassDescription d = DescribeClass(c);
        ASSERT_NE(d.members, nullptr);
        ASSERT_NE(d.events, nullptr);
        std::set<DISPID> dispids;
        std::set<std::string> names;
        for (const MemberDesc* m : d.members->All()) {
            EXPECT_TRUE(dispids.insert(m->dispid).second) << m->name;
            EXPECT_TRUE(names.insert(Folded(m->name)).second) << m->name;
        }
        std::set<DISPID> eventIds;
        for (const EventDesc* e : d.events->All()) {
            EXPECT_TRUE(eventIds.insert(e->dispid).second) << e->name;
            EXPECT_EQ(e->paramTypes.size(), e->paramNames.size()) << e->name;
        }
        if (d.members->Find(DISPID_CONTROLIN) != nullptr) {  // a block: common events first
            for (DISPID id : {1, 2, 3, 4, 5, 100, 101})
                EXPECT_TRUE(eventIds.count(id)) << id;
            if (!c.coclass.empty()) {
                EXPECT_NE(d.helpContext, BASE_HELP_CONTEXT);
            }
        }
        // The row's tables are the ones an instance answers with, and its help
        // context the one a reset sets.
        ComPtr<COleControl> block = c.create();
        block->InitNew();
        EXPECT_EQ(block->GetTypeInfo(), d.members);
        EXPECT_EQ(block->GetEventInfo(), d.events);
        // The type library leaves out the base, the histogram and the placeholders.
        bool omitted = dynamic_cast<COVPlaceholderCtrl*>(block.Get()) != nullptr ||
                       c.className == "COVBaseMathCtrl" || c.className == "COVHistogramCtrl";
        EXPECT_EQ(c.coclass.empty(), omitted);
        if (auto* b = dynamic_cast<COVBaseMathCtrl*>(block.Get())) {
            EXPECT_EQ(b->HelpContext(), d.helpContext);
        }
        // What a block persists comes back under the same names.
        PropertyBag saved, again;
        block->Save(saved);
        block->Load(saved);
        block->Save(again);
        EXPECT_EQ(saved, again);
    }
}

TEST(ClassRows, PageRowsAreUnique) {
    std::set<std::string> clsids, progIds;
    for (const PageEntry& p : PageTable()) {
        unsigned id = GuidNumber(p.clsid);
        EXPECT_TRUE(id >= 0x100 && id <= 0x1FF) << p.className;
        EXPECT_TRUE(clsids.insert(std::string(p.clsid)).second) << p.className;
        EXPECT_TRUE(progIds.insert(std::string(p.progId)).second) << p.className;
        EXPECT_TRUE(p.caption.ends_with(" Property Page")) << p.className;
    }
    // The page layer finds its views by this name.
    EXPECT_EQ(PagesOf(*FindClass("OVAdd"))[0]->className, "COVAddPropPage");
}

TEST(Placeholders, OnlyAboutBoxAndTheControlVersion) {
    for (std::string_view name :
         {"OVAbs", "OVSqrt", "OVSquare", "OVLog", "OVln", "OVMathFunction", "OVPower", "OVSort"}) {
        SCOPED_TRACE(std::string(name));
        const ClassEntry* c = FindClass("TALLYKIT." + std::string(name) + "Ctrl.1");
        ASSERT_NE(c, nullptr);
        ComPtr<COleControl> control = c->create();
        control->InitNew();
        EXPECT_EQ(control->Invoke(DISPID_ABOUTBOX, DISPATCH_METHOD, {}, nullptr), S_OK);
        ASSERT_EQ(control->GetTypeInfo()->All().size(), 1u);  // the about box alone
        EXPECT_EQ(control->Invoke(DISPID_CONTROLIN, DISPATCH_PROPERTYGET, {}, nullptr),
                  DISP_E_MEMBERNOTFOUND);
        PropertyBag bag;
        control->Save(bag);
        EXPECT_EQ(bag.Serialize(), "TallyKit property bag 1\n_Version = ui4 65537\n");
    }
}
