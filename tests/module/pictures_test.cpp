// Every class's picture, the module icon, what each kind of control paints,
// and the about boxes the controls show through the desktop.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "blocks/placeholder/placeholder.h"
#include "framework/block_picture.h"
#include "module/class_table.h"
#include "resources/resources.h"
#include "tests/support/recording_desktop.h"

namespace {

constexpr Pixel kBackground = 0x123456;  // in no picture's palette

bool InPalette(const CBitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            if (std::ranges::find(kStandardPalette, bitmap.At(x, y)) == kStandardPalette.end())
                return false;
        }
    }
    return true;
}

// Working blocks paint their class's picture, placeholders an ellipse on
// white, the base control nothing.
TEST(Pictures, EveryClassHasItsOwn16ColourToolboxBitmapAndPaintsByItsKind) {
    std::set<int> used, shipped;
    int short15 = 0;
    for (const ClassEntry& c : ClassTable()) {
        SCOPED_TRACE(std::string(c.className));
        used.insert(c.bitmap);
        std::optional<CBitmap> picture = LoadBitmapResource(c.bitmap);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->Width(), 16);
        EXPECT_TRUE(picture->Height() == 16 || picture->Height() == 15);
        short15 += picture->Height() == 15;
        EXPECT_TRUE(InPalette(*picture));

        ComPtr<COleControl> control = c.create();
        control->InitNew();
        CBitmap surface(picture->Width(), picture->Height(), kBackground);
        CDC dc(&surface);
        const RECT whole{0, 0, surface.Width(), surface.Height()};
        control->OnDraw(&dc, whole, whole);
        if (c.className == "COVBaseMathCtrl") {
            EXPECT_EQ(surface, CBitmap(16, 16, kBackground));
        } else if (dynamic_cast<COVPlaceholderCtrl*>(control.Get()) != nullptr) {
            EXPECT_EQ(surface.At(0, 0), kWhitePixel);
            EXPECT_EQ(surface.At(0, 8), kBlackPixel);
            EXPECT_EQ(surface.At(8, 8), kWhitePixel);
        } else {
            EXPECT_EQ(DrawControl(*control, picture->Width(), picture->Height()), *picture);
        }
    }
    EXPECT_EQ(used.size(), ClassTable().size());
    EXPECT_EQ(short15, 14);
    for (const BitmapResource& r : BitmapResources())
        shipped.insert(r.id);
    EXPECT_EQ(shipped, used);  // no picture without its class
}

TEST(Pictures, ModuleIconInBothSizes) {
    for (int size : {32, 16}) {
        const CBitmap* icon = LoadModuleIcon(size);
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(icon->Width(), size);
        EXPECT_EQ(icon->Height(), size);
        EXPECT_TRUE(InPalette(*icon));
    }
    EXPECT_EQ(LoadModuleIcon(24), nullptr);
}

TEST(Pictures, MalformedXpmIsRefused) {
    using Lines = std::vector<const char*>;
    EXPECT_TRUE(ParseXpm(Lines{"2 1 1 1", "a c #FF0000", "aa"}));
    const Lines bad[] = {
        {},
        {"2 1 1"},
        {"2 1 1 1", "a c #FF0000"},
        {"2 1 1 1", "a c #FF0000", "a"},
        {"2 1 1 1", "a c #FF0000", "ab"},
        {"2 1 1 1", "a c red", "aa"},
        {"2 1 1 1", "a c #FF00ZZ", "aa"},
        {"5000 1 1 1", "a c #FF0000", "aa"},
        {"2 1 1 1", "a c #FF0000", "aa", "aa"},
        {"2 1 1 1", nullptr, "aa"},
    };
    for (const Lines& lines : bad)
        EXPECT_FALSE(ParseXpm(lines)) << (lines.empty() ? "(empty)" : lines[0]);
}

TEST(Pictures, AboutBoxesNameTheControlAndShowItsPicture) {
    struct Line {
        std::string_view cls, title, product;
        int picture;
    };
    const Line lines[] = {
        {"OVAdd", "About OVAdd Control", "OVAdd Control, Version 3.0", 11},
        {"COVBaseMathCtrl", "About OVBaseMath Control", "OVBaseMath Control, Version 3.0", 1},
        {"TALLYKIT.OVAbsCtrl.1", "About OVAbs Control", "OVAbs Control, Version 3.0", 60},
        {"TALLYKIT.OVSortCtrl.1", "About OVSort Control", "OVSort Control, Version 3.0", 67},
    };
    RecordingDesktop desktop;
    SetDesktop(&desktop);
    for (const Line& line : lines) {
        const ClassEntry* c = FindClass(line.cls);
        ASSERT_NE(c, nullptr) << line.cls;
        desktop.shown.clear();
        EXPECT_EQ(c->create()->Invoke(DISPID_ABOUTBOX, DISPATCH_METHOD, {}, nullptr), S_OK);
        ASSERT_EQ(desktop.shown.size(), 1u) << line.cls;
        EXPECT_EQ(desktop.shown[0].title, line.title);
        EXPECT_EQ(desktop.shown[0].product, line.product);
        EXPECT_FALSE(desktop.shown[0].maker.empty());
        EXPECT_EQ(desktop.shown[0].iconBitmap, line.picture);
    }
    SetDesktop(nullptr);
}

}  // namespace
