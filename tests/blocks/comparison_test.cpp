#include "blocks/logic/comparison.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "framework/status.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const char* const kBlocks[] = {"OVEquality",         "OVNotEqual", "OVGreaterThan",
                               "OVGreaterThanEqual", "OVLessThan", "OVLessThanEqual"};

const Variant kArray = V("i4[0, 0]");  // a kind no rule converts

const Trace kMismatchTrace =
    harness::RunTrace({"ValidateGroup(4)", "ValidateGroup(5)", "StatusReady"}, TYPE_E_TYPEMISMATCH);

// The whole trace of a successful run of `block`.
Trace Success(const ComparisonKind& kind, bool holds) {
    return harness::RunTrace({"RunBlock", holds ? "Value(true)" : "Value(false)",
                              holds ? std::string(kind.dataEvent) : "ValidateGroup(4)",
                              "StatusReady"});
}

// One comparison: the outcome for each of the six blocks, in kBlocks order
// ('1' holds, '0' fails, 'E' type mismatch).
struct CompareCase {
    Variant x, y;
    const char* outcomes;
    bool caseSensitive = false;
    bool ignoreWhiteSpace = true;
};

TEST(Comparison, EveryBlockOnEveryBranch) {
    const double nan = std::nan("");
    const CompareCase cases[] = {
        // Numbers, and texts that read as numbers.
        {Variant::I4(10), Variant::Str("9"), "011100"},
        {Variant::R8(2.5), Variant::R4(2.5f), "100101"},
        {Variant::Str(" 12 "), Variant::I2(13), "010011"},
        {Variant(), Variant::I4(0), "100101"},
        {Variant::R8(nan), Variant::I4(1), "100011"},
        // Booleans: truth values for the two equality tests, -1 and 0 for the rest.
        {Variant::Bool(true), Variant::I4(5), "100011"},
        {Variant::Bool(true), Variant::Bool(false), "010011"},
        {Variant::Bool(true), Variant::Str("no"), "100011"},  // "-1" against "no" for the rest
        {Variant::Bool(false), Variant::Str("0"), "100101"},
        {Variant::Str("false "), Variant::Bool(false), "101100"},  // "false" against "0"
        // Texts: lower-cased and trimmed by default, unsigned bytes, prefixes first.
        {Variant::Str("10"), Variant::Str("9x"), "010011"},
        {Variant::Str(" Abc "), Variant::Str("abc"), "100101"},
        {Variant::Str(" Abc "), Variant::Str("abc"), "010011", true},
        {Variant::Str("abc "), Variant::Str("abc"), "011100", false, false},
        {Variant::Str("\xC3\xA9"), Variant::Str("z"), "011100"},
        {Variant::Str("ab"), Variant::Str("abc"), "010011"},
        // Conversions that fail.
        {kArray, Variant::I4(1), "EEEEEE"},
        {Variant::I4(1), Variant::Null(), "EEEEEE"},
        {Variant::Bool(true), kArray, "EEEEEE"},
    };
    for (const CompareCase& c : cases) {
        for (size_t i = 0; i < kComparisonTestCount; ++i) {
            const ComparisonKind& kind = kComparisonKinds[i];
            const std::string what =
                std::string(kBlocks[i]) + " case " + std::to_string(&c - cases);
            Block b(kBlocks[i]);
            b.Put("InputX", c.x);
            b.Put("InputY", c.y);
            b.Put("CaseSensitive", Variant::Bool(c.caseSensitive));
            b.Put("IgnoreWhiteSpace", Variant::Bool(c.ignoreWhiteSpace));
            // Both outputs start TRUE, so a failure shows that it changed neither.
            b.Put(kind.output3, Variant::Bool(true));
            b.Put(kind.output4, Variant::Bool(true));
            b.Call("Operate");
            if (c.outcomes[i] == 'E') {
                EXPECT_EQ(b.Take(), kMismatchTrace) << what;
                EXPECT_EQ(b.Get(kind.output3), Variant::Bool(true)) << what;
                EXPECT_EQ(b.Get(kind.output4), Variant::Bool(true)) << what;
                continue;
            }
            const bool holds = c.outcomes[i] == '1';
            EXPECT_EQ(b.Take(), Success(kind, holds)) << what;
            const bool set4 = holds == kind.holdSetsOutput4;
            EXPECT_EQ(b.Get(kind.output3), Variant::Bool(!set4)) << what;
            EXPECT_EQ(b.Get(kind.output4), Variant::Bool(set4)) << what;
        }
    }
}

TEST(Comparison, NewBlocksFollowTheirKind) {
    for (size_t i = 0; i < kComparisonTestCount; ++i) {
        const ComparisonKind& kind = kComparisonKinds[i];
        Block b(kBlocks[i]);
        EXPECT_EQ(b.control->GetTypeInfo()->Find(DISPID_VALUE) != nullptr, i == 0) << kBlocks[i];
        // The outputs lie beyond the validity table: they can never be awaited.
        b.Invalidate({kind.output3});
        EXPECT_TRUE(b.GetIndexed("PropertyValid", Variant::I4(3)).boolVal()) << kBlocks[i];
    }
    Block eq("OVEquality");
    Variant args[] = {Variant::Str("via default")};
    EXPECT_EQ(eq.control->Invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, args, nullptr), S_OK);
    EXPECT_EQ(eq.Get("InputX"), Variant::Str("via default"));
}

}  // namespace
