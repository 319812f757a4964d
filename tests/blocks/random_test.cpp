#include "blocks/arith/random.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;

TEST(Random, RoundsHalvesAwayFromZero) {
    struct Case {
        double value;
        int32_t places;
        double rounded;
    };
    const Case cases[] = {
        {0.12345, 4, 0.1235}, {2.5, 0, 3},
        {-2.5, 0, -3},        {0.987654321, -1, 0.987654321},
        {-0.04, 1, -0.0},     {1234.5678, 2, 1234.57},
        {1e12, 2, 1e12},  // too big for 32 bits
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(RoundToPlaces(c.value, c.places), c.rounded) << c.value << " " << c.places;
    }
    EXPECT_TRUE(std::isnan(RoundToPlaces(std::nan(""), 3)));
}

TEST(Random, DrawsWithinTheRangeAtTheChosenPrecision) {
    Block r("OVRandom");
    for (int i = 0; i < 200; ++i) {
        const double v = r.Call("Operate").dblVal();
        ASSERT_TRUE(v >= 0 && v <= 1) << v;
        EXPECT_NEAR(v * 1e4, std::round(v * 1e4), 1e-6) << v;
    }
    r.Put("MinValue", Variant::R8(7));
    r.Put("MaxValue", Variant::R8(7));
    EXPECT_EQ(r.Call("Operate"), Variant::R8(7));
    // Reversed ends still bound the numbers.
    r.Put("MinValue", Variant::R8(10));
    r.Put("MaxValue", Variant::R8(-10));
    const double v = r.Call("Operate").dblVal();
    EXPECT_TRUE(v >= -10 && v <= 10) << v;
}

TEST(Random, SameSequenceRepeatsAfterEveryLoad) {
    Block original("OVRandom");
    original.Put("NumberSequence", Variant::I4(useSameSequence));
    original.Put("OutputPrecision", Variant::I4(-1));
    PropertyBag bag;
    original.control->Save(bag);
    auto sequence = [&bag] {
        Block b("OVRandom");
        b.control->Load(bag);
        std::vector<Variant> values;
        for (int i = 0; i < 5; ++i)
            values.push_back(b.Call("Operate"));
        return values;
    };
    const std::vector<Variant> first = sequence();
    NextBlockRandom();  // other draws in between do not matter: the load reseeds
    EXPECT_EQ(sequence(), first);
}

TEST(Random, OlderDataLoadsWithDefaultPrecisionAndSequence) {
    PropertyBag bag;
    bag.Write("_Version", Variant::UI4(0x00010000));
    bag.Write("MaxValue", Variant::R8(5));
    bag.Write("OutputPrecision", Variant::I4(2));
    bag.Write("NumberSequence", Variant::I4(1));
    Block b("OVRandom");
    b.control->Load(bag);
    EXPECT_EQ(b.Get("MaxValue"), Variant::R8(5));
    EXPECT_EQ(b.Get("OutputPrecision"), Variant::I4(4));
    EXPECT_EQ(b.Get("NumberSequence"), Variant::I4(0));
}

}  // namespace
