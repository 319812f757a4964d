// The memory device context: nearest-pixel stretching, clipping, and the
// shapes the placeholders paint.
#include "platform/device_context.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr Pixel kBackground = 0x999999;

// A one-row picture of the given pixels.
CBitmap Row(const std::vector<Pixel>& pixels) {
    CBitmap row(static_cast<int32_t>(pixels.size()), 1);
    for (size_t i = 0; i < pixels.size(); ++i)
        row.Set(static_cast<int32_t>(i), 0, pixels[i]);
    return row;
}

struct StretchLine {
    int32_t x, width, xSource, widthSource;
    BOOL result;
    std::vector<Pixel> expected;  // the 6-pixel destination row afterwards
};

TEST(CDC, StretchBltCopiesTheNearestSourcePixel) {
    constexpr Pixel B = kBackground;
    const StretchLine lines[] = {
        {0, 6, 0, 3, TRUE, {1, 1, 2, 2, 3, 3}},   // doubled
        {0, 2, 0, 4, TRUE, {2, 4, B, B, B, B}},   // halved: pixel centres
        {0, 3, 0, 4, TRUE, {1, 3, 4, B, B, B}},   // shrunk unevenly
        {1, 4, 1, 2, TRUE, {B, 2, 2, 3, 3, B}},   // part of the source, offset
        {-2, 4, 0, 4, TRUE, {3, 4, B, B, B, B}},  // partly off the surface
        {4, 8, 0, 4, TRUE, {B, B, B, B, 1, 1}},   // partly off the other side
        {0, 0, 0, 4, FALSE, {B, B, B, B, B, B}},  // empty destination
        {0, 4, 3, 2, FALSE, {B, B, B, B, B, B}},  // source beyond its bitmap
    };
    for (const StretchLine& line : lines) {
        SCOPED_TRACE(::testing::Message() << line.x << " " << line.width << " " << line.xSource
                                          << " " << line.widthSource);
        CBitmap source = Row({1, 2, 3, 4});
        CBitmap target(6, 1, kBackground);
        CDC from(&source), to(&target);
        EXPECT_EQ(
            to.StretchBlt(line.x, 0, line.width, 1, &from, line.xSource, 0, line.widthSource, 1),
            line.result);
        EXPECT_EQ(target, Row(line.expected));
    }
}

TEST(CDC, DrawingStaysInsideTheClipAreaAndNeedsABitmap) {
    CBitmap source = Row({1, 2, 3, 4});
    CBitmap target(4, 1, kBackground);
    CDC from(&source), to(&target);
    to.IntersectClipRect({1, 0, 4, 1});
    to.IntersectClipRect({0, 0, 3, 1});
    EXPECT_EQ(to.StretchBlt(0, 0, 4, 1, &from, 0, 0, 4, 1), TRUE);
    to.FillRect({0, 0, 4, 1}, 7);
    EXPECT_EQ(target, Row({kBackground, 7, 7, kBackground}));

    CDC empty;
    EXPECT_EQ(to.StretchBlt(0, 0, 4, 1, &empty, 0, 0, 1, 1), FALSE);
    EXPECT_EQ(empty.StretchBlt(0, 0, 4, 1, &from, 0, 0, 4, 1), FALSE);
}

TEST(CDC, EllipseIsInscribedWithABlackOutline) {
    CBitmap surface(16, 10, kBackground);
    CDC dc(&surface);
    EXPECT_EQ(dc.Ellipse({0, 0, 16, 10}), TRUE);
    EXPECT_EQ(surface.At(0, 0), kBackground);  // corners stay
    EXPECT_EQ(surface.At(15, 9), kBackground);
    EXPECT_EQ(surface.At(0, 4), kBlackPixel);  // touches each side
    EXPECT_EQ(surface.At(15, 5), kBlackPixel);
    EXPECT_EQ(surface.At(7, 0), kBlackPixel);
    EXPECT_EQ(surface.At(8, 9), kBlackPixel);
    EXPECT_EQ(surface.At(8, 5), kWhitePixel);  // filled
    for (int y = 0; y < 10; ++y) {             // symmetric both ways
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(surface.At(x, y), surface.At(15 - x, y)) << x << "," << y;
            ASSERT_EQ(surface.At(x, y), surface.At(x, 9 - y)) << x << "," << y;
        }
    }
    EXPECT_EQ(dc.Ellipse({4, 4, 4, 8}), FALSE);  // empty
}

}  // namespace
