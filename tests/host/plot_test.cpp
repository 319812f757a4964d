#include "host/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "platform/safearray.h"

namespace {

Variant Doubles(uint32_t rows, uint32_t columns, std::initializer_list<double> cells) {
    const SAFEARRAYBOUND bounds[2] = {{rows, 0}, {columns, 0}};
    SafeArrayPtr a =
        rows == 1 ? SafeArrayCreateVector(VT_R8, 3, columns) : SafeArrayCreate(VT_R8, 2, bounds);
    std::copy(cells.begin(), cells.end(), a->Data<double>().begin());
    return Variant::Array(std::move(a));
}

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
    const double nan = std::nan("");
    const Case cases[] = {
        {Doubles(1, 4, {1, 2, 3, 2}), true, 1, 0},
        {Doubles(1, 5, {1, 2, nan, 3, 4}), true, 2, 0},  // the line breaks at NaN
        {Doubles(2, 3, {0, 5, 1, 7, 2, 1}), true, 0, 3},
        {Doubles(3, 2, {0, 1, 2, 3, 4, 5}), false, 0, 0},
        {Variant::R8(2), false, 0, 0},
        {Doubles(1, 0, {}), false, 0, 0},
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
