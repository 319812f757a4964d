#include "blocks/routing/mux.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const Trace kSuccess = {"RunBlock", "StatusReady", "ErrorOut(self, 0, \"No Errors\")",
                        "ControlOut"};
const Trace kInvalidIndex = {"ValidateGroup(1)",
                             "ErrorOut(self, -2147024883, \"The data is invalid.\")",
                             "ErrorOccurred(-2147024883, \"The data is invalid.\")", "ControlOut"};

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

TEST(Mux, SavedInputsComeBackAsText) {
    Block b("OVMux");
    b.Put("Input0", Variant::I4(5));
    b.Put("Input1", Variant::R8(2.5));
    b.Put("Input2", Variant::Null());
    b.Put("InputIndex", Variant::I4(1));
    PropertyBag bag;
    b.control->Save(bag);
    Block loaded("OVMux");
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("Input0"), Variant::Str("5"));
    EXPECT_EQ(loaded.Get("Input2"), Variant::Str(""));
    EXPECT_EQ(loaded.Call("Operate"), Variant::Str("2.5"));
}

TEST(Demux, FiresTheSelectedOutputAndValidatesTheRest) {
    struct Case {
        int32_t index;
        Trace trace;
    };
    auto groups = [](Trace t, int skip) {
        for (int g = 4; g <= 11; ++g) {
            if (g != skip) t.push_back("ValidateGroup(" + std::to_string(g) + ")");
        }
        return t;
    };
    auto then = [](Trace t, const Trace& tail) {
        t.insert(t.end(), tail.begin(), tail.end());
        return t;
    };
    const Case cases[] = {
        {0, then(groups({"Output0(\"v\")"}, 4), kSuccess)},
        {2, then(groups({"Output2(\"v\")"}, 6), kSuccess)},
        {7, then(groups({"Output7(\"v\")"}, 11), kSuccess)},
        {8, then(groups({}, 0), kInvalidIndex)},
    };
    for (const Case& c : cases) {
        Block b("OVDemux");
        b.Put("Value", Variant::Str("v"));
        b.Put("OutputIndex", Variant::I4(c.index));
        b.Call("Operate");
        EXPECT_EQ(b.Take(), c.trace) << c.index;
    }
}

}  // namespace
