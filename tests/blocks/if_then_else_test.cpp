#include "blocks/logic/if_then_else.h"

#include <gtest/gtest.h>

#include <string>

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

struct BranchCase {
    const char* steps;  // Compare, the text options and the inputs
    Branch expected;
};

TEST(IfThenElse, EveryOptionBranchesAsItsTestSays) {
    const BranchCase cases[] = {
        // The comparison road, with both text options. CompareValues itself is
        // covered by the comparison blocks' tests; here each option must reach its test.
        {"Compare=i2 0; InputX=10; InputY=\"10\"", Branch::Then},
        {"Compare=i2 0; CaseSensitive=true; InputX=\" Abc \"; InputY=\"abc\"", Branch::Else},
        {"Compare=i2 0; IgnoreWhiteSpace=false; InputX=\"abc \"; InputY=\"abc\"", Branch::Else},
        {"Compare=i2 0; InputX=true; InputY=\"no\"", Branch::Then},
        {"Compare=i2 1; InputX=\"a\"; InputY=\"b\"", Branch::Then},
        {"Compare=i2 2; InputX=\"10\"; InputY=\"9x\"", Branch::Else},
        {"Compare=i2 3; InputX=2; InputY=2", Branch::Then},
        {"Compare=i2 3; InputX=3; InputY=2", Branch::Then},
        {"Compare=i2 4; InputX=1; InputY=2", Branch::Then},
        {"Compare=i2 4; InputX=2; InputY=2", Branch::Else},
        {"Compare=i2 4; InputX=3; InputY=2", Branch::Else},
        {"Compare=i2 5; InputX=1; InputY=2", Branch::Then},
        {"Compare=i2 5; InputX=2; InputY=2", Branch::Then},
        // And, Or, Xor on truth values.
        {"Compare=i2 6; InputX=\"yes\"; InputY=0", Branch::Else},
        {"Compare=i2 6; InputX=0.5; InputY=true", Branch::Then},
        {"Compare=i2 7; InputX=0; InputY=0", Branch::Else},
        {"Compare=i2 7; InputX=0; InputY=\"x\"", Branch::Then},
        {"Compare=i2 7; InputX=empty; InputY=\"\"", Branch::Else},
        {"Compare=i2 8; InputX=true; InputY=false", Branch::Then},
        {"Compare=i2 8; InputX=true; InputY=true", Branch::Else},
        {"Compare=i2 8; InputX=\"3 apples\"; InputY=0", Branch::Then},
        // Contains, with the text options; TextContains is covered by SubString's tests.
        {"Compare=i2 9; InputX=\"Hello World\"; InputY=\"world\"", Branch::Then},
        {"Compare=i2 9; CaseSensitive=true; InputX=\"Hello World\"; InputY=\"world\"",
         Branch::Else},
        // Outside the enumeration: no test at all, not even a conversion.
        {"Compare=i2 10; InputX=1; InputY=1", Branch::Neither},
        {"Compare=i2 -1; InputX=r8[0, 0]; InputY=1", Branch::Neither},
        // Conversions that fail, per road.
        {"Compare=i2 6; InputX=r8[0, 0]; InputY=true", Branch::Mismatch},
        {"Compare=i2 7; InputX=null; InputY=1", Branch::Mismatch},
        {"Compare=i2 9; InputX=\"abc\"; InputY=r8[0, 0]", Branch::Mismatch},
    };
    for (const BranchCase& c : cases) {
        Block b("IfThenElse");
        // Outputs from an earlier run are cleared by every run.
        harness::Drive(b, std::string(c.steps) + "; ValueThen=true; ValueElse=true");
        b.Take();
        b.Call("Operate");
        const Trace expected[] = {kThen, kElse, kNeither, kMismatch};
        EXPECT_EQ(b.Take(), expected[static_cast<size_t>(c.expected)]) << c.steps;
        EXPECT_EQ(b.Get("ValueThen"), Variant::Bool(c.expected == Branch::Then)) << c.steps;
        EXPECT_EQ(b.Get("ValueElse"), Variant::Bool(c.expected == Branch::Else)) << c.steps;
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
