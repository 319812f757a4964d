#include "blocks/formula/formula_block.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/status.h"
#include "platform/property_bag.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const uint64_t kNaN = kFormulaNotANumberBits;
const uint64_t kInfinity = kFormulaInfinityBits;

// Runs the block as a whole through PropertyValid(0), as a host does once its
// inputs are in place.
void RunWhole(Block& b) {
    b.PutIndexed("PropertyValid", Variant::I4(0), Variant::Bool(true));
}

uint64_t OutputBits(Block& b) {
    return std::bit_cast<uint64_t>(b.Get("Output1").dblVal());
}

struct ComputeCase {
    const char* what;
    const char* formula;
    std::vector<std::pair<int, const char*>> names;  // (input 1..8, name)
    std::vector<double> inputs;                      // Input1, Input2, ...
    std::optional<double> value;                     // or, when absent, `bits`
    uint64_t bits;
    int32_t status;
};

TEST(FormulaBlock, ComputeBindsInputsByName) {
    const std::string deep = std::string(300, '(') + "1" + std::string(300, ')');
    const char* all = "Input1+Input2+Input3+Input4+Input5+Input6+Input7+Input8";
    const int32_t kUndefined = FormulaCode(0x8D000013);
    const ComputeCase cases[] = {
        {"default names", "Input1+Input2", {}, {2, 3}, 5.0, 0, 0},
        {"all eight", all, {}, {1, 2, 3, 4, 5, 6, 7, 8}, 36.0, 0, 0},
        {"own name", "x*2", {{1, "x"}}, {4}, 8.0, 0, 0},
        {"default beside own", "Input1*2", {{1, "x"}}, {4}, 8.0, 0, 0},
        {"later input wins", "a", {{1, "a"}, {2, "A"}}, {1, 2}, 2.0, 0, 0},
        {"default name given away", "Input1", {{3, "Input1"}}, {1, 0, 3}, 3.0, 0, 0},
        {"given-away default is not the input's", "Input3", {{3, "Input1"}}, {1, 0, 3}, 3.0, 0, 0},
        {"cleared name keeps the default", "Input1", {{1, ""}}, {7}, 7.0, 0, 0},
        {"cleared name is gone", "Input2", {{2, ""}}, {0, 9}, 9.0, 0, 0},
        {"names ignore case", "INPUT2 - input1", {}, {1, 5}, 4.0, 0, 0},
        {"divide by zero", "1/Input1", {}, {0}, std::nullopt, kInfinity, FormulaCode(0x8D000012)},
        {"undefined name", "y", {}, {}, std::nullopt, kNaN, kUndefined},
        {"old name of a renamed input", "x", {{1, "z"}}, {}, std::nullopt, kNaN, kUndefined},
        {"deep parentheses", deep.c_str(), {}, {}, 1.0, 0, 0},
    };
    for (const ComputeCase& c : cases) {
        SCOPED_TRACE(c.what);
        Block b("Formula");
        for (auto [input, name] : c.names) {
            b.Put("Input" + std::to_string(input) + "Name", Variant::Str(name));
        }
        for (size_t i = 0; i < c.inputs.size(); ++i) {
            b.Put("Input" + std::to_string(i + 1), Variant::R8(c.inputs[i]));
        }
        b.Put("Formula", Variant::Str(c.formula));
        RunWhole(b);
        if (c.value) {
            EXPECT_EQ(b.Get("Output1"), Variant::R8(*c.value));
        } else {
            EXPECT_EQ(OutputBits(b), c.bits);
        }
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status));
    }
}

// Every status runs the block and announces it ready. A negative code's text
// is the system's (here the fallback); a positive one keeps the engine's message.
TEST(FormulaBlock, StatusTextsByTheCodesSign) {
    const int32_t empty = FormulaCode(0x8D000011);
    std::string nested;
    for (int i = 0; i < 300; ++i)
        nested += "1+(";
    const struct {
        std::string formula;
        int32_t code;
        std::string text;
    } rows[] = {
        {"", empty, StatusText(empty)},
        {nested + "1" + std::string(300, ')'), 20, "Evaluation stack overflow occurred!!!"},
    };
    for (const auto& r : rows) {
        Block b("Formula");
        b.Put("Formula", Variant::Str(r.formula));
        b.Take();
        RunWhole(b);
        const std::string status = std::to_string(r.code) + ", \"" + r.text + "\"";
        EXPECT_EQ(b.Take(), (Trace{"RunBlock", "StatusReady", "ErrorOut(self, " + status + ")",
                                   "ErrorOccurred(" + status + ")", "ControlOut"}));
    }
}

TEST(FormulaBlock, InputsAndFormulaAreTheValidityTable) {
    Block b("Formula");
    b.Invalidate({"Formula", "Input8"});
    b.Take();
    // Names and the output are no inputs: their puts neither run nor announce.
    b.Put("Input1Name", Variant::Str("x"));
    b.Put("Output1", Variant::R8(42));
    for (int n = 1; n <= 7; ++n)
        b.Put("Input" + std::to_string(n), Variant::R8(n));
    EXPECT_EQ(b.Take(), Trace{});
    b.Put("_Formula", Variant::Str("x + Input8"));
    EXPECT_EQ(b.Take(), Trace{});
    EXPECT_EQ(b.Get("Formula"), Variant::Str("x + Input8"));
    b.Put("Input8", Variant::R8(10));
    EXPECT_EQ(b.Take().front(), "RunBlock");
    EXPECT_EQ(b.Get("Output1"), Variant::R8(11));
}

// Later computes reuse the binding of names to inputs; every change of a name
// or an input must still reach the formula.
TEST(FormulaBlock, RebindsAfterNameChanges) {
    const struct {
        const char* steps;
        const char* after;  // members after the steps and a run
    } runs[] = {
        {"Formula=\"x - Input1\"; Input1Name=\"x\"; Input1=r8 5; Input2=r8 2", "Output1=r8 0"},
        {"Input1=r8 6", "Output1=r8 0"},
        {"Input2Name=\"X\"", "Output1=r8 -4"},  // x now reads Input2
        // Input1 now reads Input2 too.
        {"Input1Name=\"\"; Input2Name=\"Input1\"; Formula=\"Input1\"", "Output1=r8 2"},
        {"Formula=\"x\"", "StatusCode=-1929379821"},  // 0x8D000013: x names no input
    };
    Block b("Formula");
    for (const auto& r : runs) {
        harness::Drive(b, r.steps);
        RunWhole(b);
        harness::ExpectMembers(b, r.after, r.steps);
    }
}

TEST(FormulaBlock, SavesNamesAndALoadedBlockComputesAtOnce) {
    Block b("Formula");
    harness::Drive(b, "Input2Name=\"rate\"; Input1=0.1; Input2=3; Formula=\"Input1 * rate\"");
    PropertyBag bag;
    b.control->Save(bag);
    harness::ExpectBag(
        bag, "Formula=\"Input1 * rate\"; Input2Name=\"rate\"; Input8Name=\"Input8\"; Input1=r8 0.1",
        "saved");
    Block loaded("Formula");
    loaded.control->Load(bag);
    RunWhole(loaded);
    EXPECT_EQ(loaded.Get("StatusCode"), Variant::I4(0));
    EXPECT_EQ(loaded.Get("Output1"), Variant::R8(0.1 * 3));
}

TEST(FormulaBlock, NamesAreHiddenMembers) {
    Block b("Formula");
    const MemberDesc* name = b.control->Members().Find("Input5Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->dispid, 15);
    EXPECT_TRUE(name->hidden);
    const MemberDesc* input = b.control->Members().Find(DISPID(9));
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->help, "Eigth input value into the formula");
}

}  // namespace
