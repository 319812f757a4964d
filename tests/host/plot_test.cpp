#include "host/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/support/value_literal.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(Plot, ChartsByShape) {
    struct Case {
        Variant value;
        bool ok;
        size_t polylines, bars;  // bars: <rect beyond the background and the frame
    };
    const Case cases[] = {
        {V("r8@3[1, 2, 3, 2]"), true, 1, 0},
        {V("r8@3[1, 2, nan, 3, 4]"), true, 2, 0},  // the line breaks at NaN
        {V("r8[[0, 1, 2], [5, 7, 1]]"), true, 0, 3},
        {V("r8[[0, 3], [1, 4], [2, 5]]"), false, 0, 0},
        {V("r8 2"), false, 0, 0},
        {V("r8@3[]"), false, 0, 0},
    };
    for (const Case& c : cases) {
        std::ostringstream svg;
        std::string error;
        ASSERT_EQ(WritePlotSvg(c.value, "T<1>", svg, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_NE(svg.str().find("T&lt;1&gt;"), std::string::npos);
        EXPECT_EQ(Count(svg.str(), "<polyline"), c.polylines);
        EXPECT_EQ(Count(svg.str(), "<rect"), c.bars + 2);
    }
}

}  // namespace
