#include "blocks/signal/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "blocks/signal/analysis.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;

// The textbook moments in double precision, independent of the routine.
TEST(Statistics, RoutineAgreesWithTextbookMoments) {
    std::mt19937 gen(7);
    std::normal_distribution<float> dist(100.0f, 3.0f);
    std::vector<float> x(10001);
    for (float& v : x)
        v = dist(gen);
    const double n = static_cast<double>(x.size());
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / n;
    double q = 0, ad = 0;
    for (float v : x) {
        q += (v - mean) * (v - mean);
        ad += std::fabs(v - mean);
    }
    float m, var, sd, avg;
    ovmStatistics(static_cast<int32_t>(x.size()), x.data(), &m, &var, &sd, &avg);
    EXPECT_NEAR(m, mean, 1e-4);
    EXPECT_NEAR(var, q / (n - 1), 1e-3);
    EXPECT_NEAR(sd, std::sqrt(q / (n - 1)), 1e-4);
    EXPECT_NEAR(avg, ad / n, 1e-3);

    const float one = 4.5f;
    ovmStatistics(1, &one, &m, &var, &sd, &avg);
    EXPECT_EQ(m, 4.5f);
    EXPECT_EQ(avg, 0.0f);
    EXPECT_TRUE(std::isnan(var) && std::isnan(sd));
}

TEST(Statistics, InputsByKind) {
    struct Case {
        const char* what;
        const char* input;
        int32_t status;
        float mean, variance, minValue, maxValue;
    };
    const float keep = -1;  // the moments' value before the run
    const Case cases[] = {
        {"doubles", "r8[2, 4, 4, 4, 5, 5, 7, 9]", 0, 5, 32.0f / 7, 2, 9},
        {"strings", "bstr[\"2\", \" 4\", \"4\", \"4\", \"5\", \"5\", \"7\", \"9\"]", 0, 5,
         32.0f / 7, 2, 9},
        {"bytes", "ui1[200, 100]", 0, 150, 5000, 100, 200},
        {"lower bound 5", "i4@5[1, 3]", 0, 2, 2, 1, 3},
        {"trailing blank", "bstr[\"1\", \"4 \", \"9\"]", TYPE_E_TYPEMISMATCH, keep, keep, 1, 1},
        {"not a number", "bstr[\"x\"]", TYPE_E_TYPEMISMATCH, keep, keep, keep, keep},
        {"Booleans", "bool[true]", TYPE_E_TYPEMISMATCH, keep, keep, keep, keep},
        {"two dimensions", "r8[[0, 0], [0, 0]]", TYPE_E_TYPEMISMATCH, keep, keep, keep, keep},
        {"a number", "r8 3", TYPE_E_TYPEMISMATCH, keep, keep, keep, keep},
        {"empty array", "r8[]", ERROR_INVALID_DATA_HR, keep, keep, keep, keep},
    };
    for (const Case& c : cases) {
        Block b("Statistics");
        for (const char* out : {"Mean", "Variance", "MinValue", "MaxValue"})
            b.Put(out, Variant::R4(keep));
        b.Put("Value", V(c.input));
        b.Call("Operate");
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << c.what;
        EXPECT_FLOAT_EQ(b.Get("Mean").fltVal(), c.mean) << c.what;
        EXPECT_FLOAT_EQ(b.Get("Variance").fltVal(), c.variance) << c.what;
        EXPECT_FLOAT_EQ(b.Get("MinValue").fltVal(), c.minValue) << c.what;
        EXPECT_FLOAT_EQ(b.Get("MaxValue").fltVal(), c.maxValue) << c.what;
    }
}

// In wired mode the put runs it: the signal_stats example depends on that.
TEST(Statistics, ValuePutAloneDoesNotRun) {
    Block b("Statistics");
    b.Put("Value", V("r8[1, 3]"));
    EXPECT_TRUE(b.Take().empty());
    EXPECT_EQ(b.Get("Mean"), Variant::R4(0));
}

// Hosts read the outputs of the source and analysis blocks but do not offer
// their puts; the inputs stay visible.
TEST(SignalSources, OnlyOutputPutsAreHidden) {
    const struct {
        const char* cls;
        std::vector<const char*> outputs, inputs;
    } rows[] = {
        {"OVRandom", {"Value"}, {"MinValue", "OutputPrecision"}},
        {"OVFuncGen", {"Value"}, {"Waveform", "AmplitudeOffset"}},
        {"Statistics",
         {"Mean", "Variance", "StdDeviation", "AvgDeviation", "MinValue", "MaxValue"},
         {"Value"}},
        {"TALLYKIT.LXHistogramCtrl.1", {"HistogamArray", "DataArray"}, {"InputValues"}},
    };
    for (const auto& r : rows) {
        Block b(r.cls);
        for (const char* name : r.outputs)
            EXPECT_TRUE(b.control->Members().Find(name)->hiddenPut) << name;
        for (const char* name : r.inputs)
            EXPECT_FALSE(b.control->Members().Find(name)->hiddenPut) << name;
    }
}

}  // namespace
