#include "blocks/logic/substring.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

using harness::RunTrace;

const Trace kFound = RunTrace({"RunBlock", "Value(true)", "True", "StatusReady"});
const Trace kNotFound = RunTrace({"RunBlock", "Value(false)", "ValidateGroup(4)", "StatusReady"});
const Trace kMismatch =
    RunTrace({"ValidateGroup(4)", "ValidateGroup(5)", "StatusReady"}, TYPE_E_TYPEMISMATCH);

enum class Outcome { Found, NotFound, Mismatch };

struct SearchCase {
    const char* steps;  // the text settings and the inputs
    Outcome expected;
};

TEST(SubString, SearchesTheTextsOfItsInputs) {
    const SearchCase cases[] = {
        {"InputString=\"abc\"; InputSubString=\"c \"", Outcome::Found},
        {"IgnoreWhiteSpace=false; InputString=\"abc\"; InputSubString=\"c \"", Outcome::NotFound},
        {"IgnoreWhiteSpace=false; InputString=\"  abc\"; InputSubString=\" a\"", Outcome::Found},
        {"InputString=\"abc\"; InputSubString=\"\"", Outcome::Found},
        // Numbers and Booleans are searched by their texts; 0 and -1 read as
        // the Boolean names.
        {"InputString=0; InputSubString=\"als\"", Outcome::Found},
        {"InputString=-1; InputSubString=\"RUE\"", Outcome::Found},
        {"InputString=\"0\"; InputSubString=\"false\"", Outcome::Found},
        {"InputString=\"-10\"; InputSubString=-1", Outcome::NotFound},
        {"CaseSensitive=true; InputString=true; InputSubString=\"TRUE\"", Outcome::Found},
        {"CaseSensitive=true; InputString=true; InputSubString=\"true\"", Outcome::NotFound},
        {"InputString=empty; InputSubString=empty", Outcome::Found},
        // Values without a text form.
        {"InputString=\"a\"; InputSubString=null", Outcome::Mismatch},
    };
    for (const SearchCase& c : cases) {
        Block b("SubString");
        harness::Drive(b, std::string(c.steps) + "; SubString=true; NotSubString=true");
        b.Take();
        b.Call("Operate");
        const Trace expected[] = {kFound, kNotFound, kMismatch};
        EXPECT_EQ(b.Take(), expected[static_cast<size_t>(c.expected)]) << c.steps;
        EXPECT_EQ(b.Get("SubString"), Variant::Bool(c.expected == Outcome::Found)) << c.steps;
        EXPECT_EQ(b.Get("NotSubString"), Variant::Bool(c.expected == Outcome::NotFound)) << c.steps;
        harness::ExpectMembers(b, c.steps, std::string("inputs kept: ") + c.steps);
    }
}

}  // namespace
