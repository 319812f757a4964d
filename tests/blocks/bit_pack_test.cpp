#include "blocks/routing/bit_pack.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;

TEST(BitPack, PacksAndUnpacksThroughDispatch) {
    struct Case {
        std::array<int16_t, kBits> bits;
        int16_t byte;
    };
    const Case packs[] = {
        {{1, 0, 0, 0, 0, 0, 0, 1}, 129},
        {{5, 0, -1, 0, 0, 0, 0, 0}, 5},
        {{1, 1, 1, 1, 1, 1, 1, 1}, 255},
    };
    for (const Case& c : packs) {
        Block b("OVBitPack");
        for (int i = 0; i < kBits; ++i)
            b.Put("Input" + std::to_string(i), Variant::I2(c.bits[i]));
        EXPECT_EQ(b.Call("Operate"), Variant::I2(c.byte));
    }
    const Case unpacks[] = {
        {{1, 0, 0, 0, 0, 0, 0, 1}, 129},
        {{0, 0, 0, 0, 0, 0, 0, 0}, 256},
        {{1, 1, 1, 1, 1, 1, 1, 1}, -1},
    };
    for (const Case& c : unpacks) {
        Block b("OVBitUnpack");
        b.Put("Input", Variant::I2(c.byte));
        b.Call("Operate");
        for (int i = 0; i < kBits; ++i)
            EXPECT_EQ(b.Get("Output" + std::to_string(i)), Variant::I2(c.bits[i])) << c.byte;
    }
}

}  // namespace
