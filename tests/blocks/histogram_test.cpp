#include "blocks/signal/histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

const double kNaN = std::nan("");

struct HistCase {
    const char* what;
    std::vector<double> data;
    HistogramSettings s;
    int32_t status;
    std::vector<double> edges, counts;
};

TEST(Histogram, LayoutsAndCounts) {
    const std::vector<double> five = {4, 2, 1, 3, 2};
    HistogramSettings set010{0, 5, 0, 10, lxSetRange};
    HistogramSettings counted = set010;
    counted.outlying = lxCountOutlyingData;
    HistogramSettings percent{0, 2, 0, 0, lxDeriveRange, lxNormalizeTo100};
    HistogramSettings scaled = percent;
    scaled.normalize = lxNormalizeToScale;
    scaled.scale = 2;
    const HistogramSettings wide{0, 2, 0, 10, lxSetRange, lxNormalizeTo100},
        neither{0, 5, 0, 10, 2};
    const std::vector<double> outliers = {-1, 5, 11}, fifths = {0, 2, 4, 6, 8}, none;
    const int32_t kBad = ERROR_INVALID_DATA_HR;
    const HistCase cases[] = {
        {"three bins", five, {0, 3}, 0, {1, 2, 3}, {1, 2, 2}},
        {"increment 1.5", five, {1.5, 0}, 0, {1, 2.5}, {3, 2}},
        {"fractional bins", five, {1.2, 0}, 0, {1, 2.2, 3.4}, {3, 1, 1}},
        {"exactly on a threshold", {2 - 2 * 1e-5}, set010, 0, fifths, {0, 1, 0, 0, 0}},
        {"discarded outliers", outliers, set010, DISP_E_OVERFLOW, fifths, {0, 0, 1, 0, 0}},
        {"counted outliers", outliers, counted, DISP_E_OVERFLOW, fifths, {1, 0, 1, 0, 1}},
        {"within ε of the ends", {-1e-6, 10 + 1e-6}, set010, 0, fifths, {1, 0, 0, 0, 1}},
        {"edge and just below it", {2, 2 - 1e-6, 2 - 1e-3}, set010, 0, fifths, {1, 2, 0, 0, 0}},
        {"to 100", {0, 1, 1, 1}, percent, 0, {0, 0.5}, {25, 75}},
        {"to scale", {0, 1, 1, 1}, scaled, 0, {0, 0.5}, {0.5, 1.5}},
        {"nothing to normalise", {-5, 20}, wide, DISP_E_OVERFLOW, {0, 5}, {0, 0}},
        {"NaN and ±0", {kNaN, -0.0, 1, 0.0}, {0, 2}, 0, {0, 0.5}, {2, 1}},
        {"one value", {3}, {0, 3}, kBad, none, none},
        {"no values", {}, {0, 3}, kBad, none, none},
        {"infinite range", {0, INFINITY}, {0, 3}, kBad, none, none},
        {"no bins", five, {0, 0}, kBad, none, none},
        {"negative bins", five, {0, -3}, kBad, none, none},
        {"min above max", five, {0, 3, 5, 1, lxSetRange}, kBad, none, none},
        {"neither range option: no outliers", outliers, neither, 0, fifths, {0, 0, 1, 0, 0}},
        {"a billion bins", five, {0, 1e9}, E_OUTOFMEMORY, none, none},
    };
    for (const HistCase& c : cases) {
        const HistogramResult r = ComputeHistogram(c.data, c.s);
        EXPECT_EQ(r.status, c.status) << c.what;
        ASSERT_EQ(r.edges.size(), c.edges.size()) << c.what;
        for (size_t u = 0; u < c.edges.size(); ++u)
            EXPECT_NEAR(r.edges[u], c.edges[u], 1e-12) << c.what;
        EXPECT_EQ(r.counts, c.counts) << c.what;
    }
}

TEST(Histogram, SortIsStableWithSignedZerosAndNaNsLast) {
    const double nan2 = -kNaN;
    std::vector<double> data = {3, kNaN, -0.0, 1e300, 0.0, -INFINITY, nan2, -0.0, -2.5, INFINITY};
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> uniform(-1e6, 1e6);
    for (int i = 0; i < 70000; ++i)
        data.push_back(i % 7 ? uniform(gen) : static_cast<double>(i % 13) - 6);
    std::vector<double> expected = data;
    std::stable_sort(expected.begin(), expected.end(),
                     [](double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); });
    std::vector<double> sorted(data.size());
    SortHistogramData(data, sorted);
    ASSERT_EQ(sorted.size(), expected.size());
    for (size_t i = 0; i < sorted.size(); ++i)
        ASSERT_EQ(std::bit_cast<uint64_t>(sorted[i]), std::bit_cast<uint64_t>(expected[i])) << i;
}

TEST(Histogram, BlockCollectsAccumulatesAndClears) {
    Block h("TALLYKIT.LXHistogramCtrl.1");
    // An array replaces the data; with Accumulate a text adds its number, or nothing.
    harness::Drive(h,
                   "NumberOfBins=2; InputValues=r8[5, 6]; InputValues=r8[1, 2]; "
                   "Accumulate=true; InputValues=\"3.5\"; InputValues=\"x\"; Operate");
    EXPECT_EQ(h.Get("DataArray"), V("r8[1, 2, 3.5]"));
    h.Put("BinIncrement", Variant::R8(1));
    EXPECT_EQ(h.Get("NumberOfBins"), Variant::I4(0));
    h.Take();
    h.Put("Clear", Variant::I4(1));
    EXPECT_EQ(h.Take(), harness::RunTrace({"RunBlock", "StatusReady"}));
    h.Call("Operate");  // nothing left to derive a range from
    EXPECT_EQ(h.Get("StatusCode"), Variant::I4(ERROR_INVALID_DATA_HR));
    EXPECT_EQ(h.Get("DataArray"), V("r8[1, 2, 3.5]"));  // outputs kept

    h.Put("InputValues", V("r8[[0, 0], [0, 0]]"));
    EXPECT_EQ(h.Get("StatusCode"), Variant::I4(TYPE_E_TYPEMISMATCH));
    EXPECT_EQ(static_cast<COVBaseMathCtrl&>(*h.control).StatusMessage(), "Type Mismatch");
}

}  // namespace
