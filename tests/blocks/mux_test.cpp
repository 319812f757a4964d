#include "blocks/routing/mux.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const Trace kSuccess = harness::RunTrace({"RunBlock", "StatusReady"});
const Trace kInvalidIndex = harness::RunTrace({"ValidateGroup(1)"}, ERROR_INVALID_DATA_HR);

TEST(Mux, DeliversTheSelectedInputOfAnyKind) {
    Block b("OVMux");
    b.Put("Input3", Variant::Str("three"));
    b.Put("Input7", Variant::R8(7.5));
    struct Case {
        int32_t index;
        Variant value;
        Trace trace;
    };
    const Case cases[] = {
        {3, Variant::Str("three"), kSuccess}, {7, Variant::R8(7.5), kSuccess},
        {0, Variant::I4(0), kSuccess},        {8, Variant::I4(0), kInvalidIndex},
        {-1, Variant::I4(0), kInvalidIndex},
    };
    for (const Case& c : cases) {
        b.Put("InputIndex", Variant::I4(c.index));
        EXPECT_EQ(b.Call("Operate"), c.value) << c.index;
        EXPECT_EQ(b.Take(), c.trace) << c.index;
    }
}

TEST(Mux, OnlyIndexAndTriggerGateAWiredRun) {
    Block b("OVMux");
    b.Invalidate({"InputIndex", "ControlIn"});
    b.Take();
    b.Put("Input3", Variant::I4(33));
    b.Put("InputIndex", Variant::I4(3));
    EXPECT_EQ(b.Take(), Trace{});
    b.Put("ControlIn", Variant::Bool(true));
    EXPECT_EQ(b.Take(), kSuccess);
    EXPECT_EQ(b.Get("Value"), Variant::I4(33));
    EXPECT_EQ(b.GetIndexed("PropertyValid", Variant::I4(4)), Variant::Bool(true));
}

TEST(Demux, FiresTheSelectedOutputAndValidatesTheRest) {
    for (int32_t index : {0, 7, 8}) {
        Block b("OVDemux");
        b.Put("Value", Variant::Str("v"));
        b.Put("OutputIndex", Variant::I4(index));
        b.Call("Operate");
        Trace expected;
        if (index < 8) expected.push_back("Output" + std::to_string(index) + "(\"v\")");
        for (int g = 4; g <= 11; ++g) {
            if (g != 4 + index) expected.push_back("ValidateGroup(" + std::to_string(g) + ")");
        }
        const Trace& results = index < 8 ? kSuccess : kInvalidIndex;
        expected.insert(expected.end(), results.begin(), results.end());
        EXPECT_EQ(b.Take(), expected) << index;
    }
}

}  // namespace
