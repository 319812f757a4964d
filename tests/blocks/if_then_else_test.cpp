#include "blocks/logic/if_then_else.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Site;
using harness::Trace;

using harness::RunTrace;

const Trace kThen = RunTrace({"RunBlock", "Then", "ValidateGroup(4)", "StatusReady"});
const Trace kElse = RunTrace({"RunBlock", "Else", "ValidateGroup(3)", "StatusReady"});
const Trace kNeither = RunTrace({"StatusReady"});
const Trace kMismatch =
    RunTrace({"ValidateGroup(3)", "ValidateGroup(4)", "StatusReady"}, TYPE_E_TYPEMISMATCH);

const Variant kArray = V("r8[0, 0]");  // a kind no rule converts

struct BranchCase {
    int16_t compare;
    Variant x, y;
    Branch expected;
    bool caseSensitive = false;
    bool ignoreWhiteSpace = true;
};

TEST(IfThenElse, EveryOptionBranchesAsItsTestSays) {
    const BranchCase cases[] = {
        // The comparison road, with both text options. CompareValues itself is
        // covered by the comparison blocks' tests; here each option must reach its test.
        {0, Variant::I4(10), Variant::Str("10"), Branch::Then},
        {0, Variant::Str(" Abc "), Variant::Str("abc"), Branch::Else, true},
        {0, Variant::Str("abc "), Variant::Str("abc"), Branch::Else, false, false},
        {0, Variant::Bool(true), Variant::Str("no"), Branch::Then},
        {1, Variant::Str("a"), Variant::Str("b"), Branch::Then},
        {2, Variant::Str("10"), Variant::Str("9x"), Branch::Else},
        {3, Variant::I4(2), Variant::I4(2), Branch::Then},
        {3, Variant::I4(3), Variant::I4(2), Branch::Then},
        {4, Variant::I4(1), Variant::I4(2), Branch::Then},
        {4, Variant::I4(2), Variant::I4(2), Branch::Else},
        {4, Variant::I4(3), Variant::I4(2), Branch::Else},
        {5, Variant::I4(1), Variant::I4(2), Branch::Then},
        {5, Variant::I4(2), Variant::I4(2), Branch::Then},
        // And, Or, Xor on truth values.
        {6, Variant::Str("yes"), Variant::I4(0), Branch::Else},
        {6, Variant::R8(0.5), Variant::Bool(true), Branch::Then},
        {7, Variant::I4(0), Variant::I4(0), Branch::Else},
        {7, Variant::I4(0), Variant::Str("x"), Branch::Then},
        {7, Variant(), Variant::Str(""), Branch::Else},
        {8, Variant::Bool(true), Variant::Bool(false), Branch::Then},
        {8, Variant::Bool(true), Variant::Bool(true), Branch::Else},
        {8, Variant::Str("3 apples"), Variant::I4(0), Branch::Then},
        // Contains, with the text options; TextContains is covered by SubString's tests.
        {9, Variant::Str("Hello World"), Variant::Str("world"), Branch::Then},
        {9, Variant::Str("Hello World"), Variant::Str("world"), Branch::Else, true},
        // Outside the enumeration: no test at all, not even a conversion.
        {10, Variant::I4(1), Variant::I4(1), Branch::Neither},
        {-1, kArray, Variant::I4(1), Branch::Neither},
        // Conversions that fail, per road.
        {6, kArray, Variant::Bool(true), Branch::Mismatch},
        {7, Variant::Null(), Variant::I4(1), Branch::Mismatch},
        {9, Variant::Str("abc"), kArray, Branch::Mismatch},
    };
    for (const BranchCase& c : cases) {
        Block b("IfThenElse");
        const std::string what = "case " + std::to_string(&c - cases);
        ASSERT_EQ(b.Put("Compare", Variant::I2(c.compare)), S_OK) << what;
        b.Put("CaseSensitive", Variant::Bool(c.caseSensitive));
        b.Put("IgnoreWhiteSpace", Variant::Bool(c.ignoreWhiteSpace));
        b.Put("InputX", c.x);
        b.Put("InputY", c.y);
        // Outputs from an earlier run are cleared by every run.
        b.Put("ValueThen", Variant::Bool(true));
        b.Put("ValueElse", Variant::Bool(true));
        b.Take();
        b.Call("Operate");
        const Trace expected[] = {kThen, kElse, kNeither, kMismatch};
        EXPECT_EQ(b.Take(), expected[static_cast<size_t>(c.expected)]) << what;
        EXPECT_EQ(b.Get("ValueThen"), Variant::Bool(c.expected == Branch::Then)) << what;
        EXPECT_EQ(b.Get("ValueElse"), Variant::Bool(c.expected == Branch::Else)) << what;
    }
}

TEST(IfThenElse, DefaultMemberIsInputX) {
    Block b("IfThenElse");
    EXPECT_EQ(b.Id("_InputX"), DISPID_VALUE);
    Variant put[] = {Variant::Str("seven")};
    ASSERT_EQ(b.control->Invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, put, nullptr), S_OK);
    EXPECT_EQ(b.Get("InputX"), Variant::Str("seven"));
    // Its put is InputX's put: in wired mode it is the awaited input.
    b.Invalidate({"InputX"});
    b.Take();
    Variant again[] = {Variant::I4(0)};
    b.control->Invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, again, nullptr);
    EXPECT_EQ(b.Take(), kThen);
}

TEST(IfThenElse, PutsNotifyTheContainerInDesignMode) {
    Site site;
    site.userMode = false;
    Block b("IfThenElse");
    b.control->SetClientSite(&site);
    b.Put("InputX", Variant::I4(3));
    b.Put("InputY", Variant::I4(4));
    b.Put("Compare", Variant::I2(4));
    b.Put("CaseSensitive", Variant::Bool(true));
    b.Put("IgnoreWhiteSpace", Variant::Bool(false));
    EXPECT_EQ(site.notices, (std::vector<DISPID>{1, 2, 6, 7, 8}));
    b.control->SetClientSite(nullptr);
}

}  // namespace
