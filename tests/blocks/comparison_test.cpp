#include "blocks/logic/comparison.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const char* const kBlocks[] = {"OVEquality",         "OVNotEqual", "OVGreaterThan",
                               "OVGreaterThanEqual", "OVLessThan", "OVLessThanEqual"};

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
    const char* steps;  // the text settings and the inputs
    const char* outcomes;
};

TEST(Comparison, EveryBlockOnEveryBranch) {
    const CompareCase cases[] = {
        // Numbers, and texts that read as numbers.
        {"InputX=10; InputY=\"9\"", "011100"},
        {"InputX=2.5; InputY=r4 2.5", "100101"},
        {"InputX=\" 12 \"; InputY=i2 13", "010011"},
        {"InputX=empty; InputY=0", "100101"},
        {"InputX=r8 nan; InputY=1", "100011"},
        // Booleans: truth values for the two equality tests, -1 and 0 for the rest.
        {"InputX=true; InputY=5", "100011"},
        {"InputX=true; InputY=false", "010011"},
        {"InputX=true; InputY=\"no\"", "100011"},  // "-1" against "no" for the rest
        {"InputX=false; InputY=\"0\"", "100101"},
        {"InputX=\"false \"; InputY=false", "101100"},  // "false" against "0"
        // Texts: lower-cased and trimmed by default, unsigned bytes, prefixes first.
        {"InputX=\"10\"; InputY=\"9x\"", "010011"},
        {"InputX=\" Abc \"; InputY=\"abc\"", "100101"},
        {"CaseSensitive=true; InputX=\" Abc \"; InputY=\"abc\"", "010011"},
        {"IgnoreWhiteSpace=false; InputX=\"abc \"; InputY=\"abc\"", "011100"},
        {"InputX=\"\xC3\xA9\"; InputY=\"z\"", "011100"},
        {"InputX=\"ab\"; InputY=\"abc\"", "010011"},
        // Conversions that fail.
        {"InputX=i4[0, 0]; InputY=1", "EEEEEE"},
        {"InputX=1; InputY=null", "EEEEEE"},
        {"InputX=true; InputY=i4[0, 0]", "EEEEEE"},
    };
    for (const CompareCase& c : cases) {
        for (size_t i = 0; i < kComparisonTestCount; ++i) {
            const ComparisonKind& kind = kComparisonKinds[i];
            const std::string what =
                std::string(kBlocks[i]) + " case " + std::to_string(&c - cases);
            Block b(kBlocks[i]);
            // Both outputs start TRUE, so a failure shows that it changed neither.
            const std::string outputs =
                std::string(kind.output3) + "=true; " + std::string(kind.output4) + "=true";
            harness::Drive(b, std::string(c.steps) + "; " + outputs + "; Operate");
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
