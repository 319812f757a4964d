// A block's picture: the bitmap resource stretched over the bounds.
#include "framework/block_picture.h"

#include <gtest/gtest.h>

#include "resources/resources.h"

namespace {

constexpr int kAddBitmap = 11;
constexpr Pixel kBackground = 0x123456;  // in no picture's palette

// At its own size every block's picture is copied as it is (see the module's
// picture tests); here twice the size, placed at (3, 2) on a larger surface.
TEST(DrawBlockBitmap, StretchesToNearestPixels) {
    std::optional<CBitmap> add = LoadBitmapResource(kAddBitmap);
    ASSERT_TRUE(add);
    CBitmap doubled(40, 40, kBackground);
    CDC doubledDc(&doubled);
    DrawBlockBitmap(&doubledDc, {3, 2, 35, 34}, {0, 0, 40, 40}, kAddBitmap);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 3 && x < 35 && y >= 2 && y < 34;
            Pixel expected = inside ? add->At((x - 3) / 2, (y - 2) / 2) : kBackground;
            ASSERT_EQ(doubled.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST(DrawBlockBitmap, MissingResourceDrawsNothing) {
    CBitmap surface(16, 16, kBackground);
    CDC dc(&surface);
    DrawBlockBitmap(&dc, {0, 0, 16, 16}, {0, 0, 16, 16}, 12);  // no picture has number 12
    EXPECT_EQ(surface, CBitmap(16, 16, kBackground));
}

}  // namespace
