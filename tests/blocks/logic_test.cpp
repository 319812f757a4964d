#include "blocks/logic/logic.h"

#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>

#include "framework/status.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const char* const kBlocks[] = {"OVAnd", "OVOr", "OVXor", "OVNand", "OVNor", "OVNot"};
const Trace kMismatch = harness::RunTrace({"ValidateGroup(1)"}, TYPE_E_TYPEMISMATCH);

const Variant kArray = V("i4[0, 0]");  // a kind no rule converts

struct LogicCase {
    LogicOp op;
    Variant x, y;        // y unused by Not
    Variant value = {};  // empty: type mismatch (every result has a kind)
};

TEST(Logic, TableOfOutcomes) {
    using enum LogicOp;
    const LogicCase cases[] = {
        // Logical path: a Boolean operand, any non-zero is true.
        {And, Variant::Bool(true), Variant::I4(0), Variant::Bool(false)},
        {Or, Variant::Bool(true), Variant::I4(0), Variant::Bool(true)},
        {Xor, Variant::Bool(true), Variant::Bool(true), Variant::Bool(false)},
        {Nand, Variant::BoolRaw(1), Variant::Str("abc"), Variant::Bool(false)},
        {Nor, Variant::Str("false"), Variant::Bool(false), Variant::Bool(true)},
        {And, Variant::Bool(true), Variant(), Variant::Bool(false)},
        {Not, Variant::BoolRaw(1), {}, Variant::Bool(false)},
        // Integer path: the wider class gives the kind, the first on a tie.
        {And, Variant::R8(2.5), Variant::I4(7), Variant::I4(2)},
        {Or, Variant::UI1(0x0F), Variant::I1(-16), Variant::UI1(0xFF)},
        {And, Variant::UI4(0xFFFFFFFF), Variant::I4(-1), Variant::UI4(0xFFFFFFFF)},
        {And, Variant::Int(0x12345), Variant::Int(0x1FFFF), Variant::Int(0x2345)},
        // The 0/1 rule of Xor, Nand, Nor and Not.
        {Nand, Variant::I4(1), Variant::I4(1), Variant::I4(0)},
        {Nor, Variant::I4(0), Variant::I4(0), Variant::I4(1)},
        {Nor, Variant::UInt(0), Variant::UInt(2), Variant::UInt(0xFFFD)},
        {Xor, Variant::Int(1), Variant::UInt(3), Variant::Int(2)},
        {Not, Variant::I4(1), {}, Variant::I4(0)},
        {Not, Variant::UI1(2), {}, Variant::UI1(253)},
        {Not, Variant::R8(1.5), {}, Variant::I4(-3)},
        {Not, Variant::Str("0"), {}, Variant::I4(1)},
        // Type mismatches.
        {And, Variant::I4(5), Variant()},
        {Nand, Variant::I4(5), Variant()},
        {And, Variant::R8(3e9), Variant::I4(1)},
        {Or, kArray, Variant::Bool(true)},
        {Xor, Variant::I8(1), Variant::I4(1)},
        {Xor, Variant::I2(1), Variant::Int(100000)},
        {Not, Variant(), {}},
    };
    for (const LogicCase& c : cases) {
        Variant inputs[] = {c.x, c.y};
        const std::optional<Variant> got =
            ComputeLogic(c.op, std::span(inputs, c.op == Not ? 1 : 2));
        EXPECT_EQ(got.value_or(Variant()), c.value) << "case " << &c - cases;
    }
}

// The block around the core: a result is stored; on a mismatch
// And and Or keep their Value, the others are left empty.
TEST(Logic, BlocksStoreOrOnAMismatchKeepOrEmpty) {
    for (const std::string cls : kBlocks) {
        const std::string input = cls == "OVNot" ? "Input" : "InputX";
        const bool keeps = cls == "OVAnd" || cls == "OVOr";
        Block b(cls);
        harness::Drive(b, "Value=i4 -123; " + input + "=i4 1");
        const Variant result = b.Call("Operate");
        EXPECT_EQ(result, b.Get("Value")) << cls;
        EXPECT_NE(result, Variant::I4(-123)) << cls;
        harness::Drive(b, "Value=i4 -123; " + input + "=i4[0]");
        b.Take();
        EXPECT_EQ(b.Call("Operate"), keeps ? Variant::I4(-123) : Variant()) << cls;
        EXPECT_EQ(b.Get("Value"), keeps ? Variant::I4(-123) : Variant()) << cls;
        EXPECT_EQ(b.Take(), kMismatch) << cls;
    }
}

// A run leaves the conversions it made to text and Boolean inputs in place, in
// the logic, comparison and branch blocks alike; what it does not read stays.
TEST(Logic, ConversionsStayInTheInputs) {
    const struct {
        const char* cls;
        const char* steps;
        const char* after;
    } cases[] = {
        {"OVOr", "InputX=2.5; InputY=r4 3.5; Operate", "InputX=i4 2; InputY=i4 4"},
        {"OVXor", "InputX=3e9; InputY=1; Operate", "InputX=r8 3e9; InputY=i4 1"},
        {"OVNor", "InputX=\" x \"; InputY=\"-3z\"; Operate", "InputX=true; InputY=i4 -3"},
        {"OVNotEqual", "InputX=\" 7up\"; InputY=false; Operate", "InputX=i4 7; InputY=false"},
        {"OVEquality", "InputX=\"yes\"; InputY=i4[0, 0]; Operate",
         "InputX=\"yes\"; InputY=i4[0, 0]"},  // no Boolean
        {"OVGreaterThan", "InputX=true; InputY=\"no\"; Operate", "InputX=true; InputY=\"no\""},
        {"IfThenElse", "Compare=i2 7; InputX=\" 12abc\"; InputY=\" False \"; Operate",
         "InputX=i4 12; InputY=false"},
        // Outside the enumeration nothing is read.
        {"IfThenElse", "Compare=i2 11; InputX=\"yes\"; InputY=\"no\"; Operate",
         "InputX=\"yes\"; InputY=\"no\""},
        // The replacement stays even when the other input then fails.
        {"IfThenElse", "Compare=i2 6; InputX=\"yes\"; InputY=r8[0, 0]; Operate",
         "InputX=true; InputY=r8[0, 0]"},
    };
    for (const auto& c : cases) {
        Block b(c.cls);
        harness::Drive(b, c.steps);
        harness::ExpectMembers(b, c.after, c.steps);
    }
}

// A RunBlock handler that cancels stops the output events: the comparisons
// keep their outputs, the branch and search blocks leave both FALSE. The flag
// is cleared only before RunBlock, so a following run that fails before it
// still ends as cancelled; a whole run clears it.
TEST(Logic, CancelFromRunBlock) {
    const struct {
        const char* cls;
        const char* steps;
        const char* outputs;
        const char* failing;  // steps of a run that never reaches RunBlock
        Trace failed;
    } cases[] = {
        {"OVGreaterThan",
         "InputX=2; Operate",
         "GreaterThan=true",
         "InputX=i4[0]; Operate",
         {"ValidateGroup(4)", "ValidateGroup(5)", "ValidateGroup(0)"}},
        {"IfThenElse",
         "Compare=i2 0; Operate",
         "ValueThen=false; ValueElse=false",
         "Compare=i2 12; Operate",
         {"ValidateGroup(0)"}},
        {"SubString", "Operate", "SubString=false; NotSubString=false", "", {}},
    };
    for (const auto& c : cases) {
        Block b(c.cls);
        b.onEvent = [&b](DISPID id, std::span<const Variant>) {
            if (id == EVENTID_RUNBLOCK) b.Put("CancelBlock", Variant::I4(1));
        };
        harness::Drive(b, c.steps);
        EXPECT_EQ(b.Take(), (Trace{"RunBlock", "ValidateGroup(0)"})) << c.cls;
        harness::ExpectMembers(b, c.outputs, c.cls);
        b.onEvent = nullptr;
        harness::Drive(b, c.failing);
        EXPECT_EQ(b.Take(), c.failed) << c.cls;
        harness::Drive(b, c.steps);
        EXPECT_EQ(b.Take().back(), "ControlOut") << c.cls;
    }
}

TEST(Logic, MembersFollowTheInputs) {
    for (const char* cls : kBlocks) {
        Block b(cls);
        const DISPID value = cls == std::string("OVNot") ? 2 : 3;
        EXPECT_EQ(b.Id("Value"), value) << cls;
        EXPECT_EQ(b.Id("Operate"), value + 1) << cls;
        EXPECT_EQ(b.Id("BooleanType"), value + 2) << cls;
    }
}

}  // namespace
