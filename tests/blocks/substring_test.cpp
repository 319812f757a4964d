#include "blocks/logic/substring.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/safearray.h"
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
    Variant string, part;
    Outcome expected;
    bool caseSensitive = false;
    bool ignoreWhiteSpace = true;
};

TEST(SubString, SearchesTheTextsOfItsInputs) {
    const SearchCase cases[] = {
        {Variant::Str("abc"), Variant::Str("c "), Outcome::Found},
        {Variant::Str("abc"), Variant::Str("c "), Outcome::NotFound, false, false},
        {Variant::Str("  abc"), Variant::Str(" a"), Outcome::Found, false, false},
        {Variant::Str("abc"), Variant::Str(""), Outcome::Found},
        // Numbers and Booleans are searched by their texts; 0 and -1 read as
        // the Boolean names.
        {Variant::I4(0), Variant::Str("als"), Outcome::Found},
        {Variant::I4(-1), Variant::Str("RUE"), Outcome::Found},
        {Variant::Str("0"), Variant::Str("false"), Outcome::Found},
        {Variant::Str("-10"), Variant::I4(-1), Outcome::NotFound},
        {Variant::Bool(true), Variant::Str("TRUE"), Outcome::Found, true},
        {Variant::Bool(true), Variant::Str("true"), Outcome::NotFound, true},
        {Variant(), Variant(), Outcome::Found},
        // Values without a text form.
        {Variant::Str("a"), Variant::Null(), Outcome::Mismatch},
    };
    for (const SearchCase& c : cases) {
        Block b("SubString");
        const std::string what = "case " + std::to_string(&c - cases);
        b.Put("CaseSensitive", Variant::Bool(c.caseSensitive));
        b.Put("IgnoreWhiteSpace", Variant::Bool(c.ignoreWhiteSpace));
        b.Put("InputString", c.string);
        b.Put("InputSubString", c.part);
        b.Put("SubString", Variant::Bool(true));
        b.Put("NotSubString", Variant::Bool(true));
        b.Take();
        b.Call("Operate");
        const Trace expected[] = {kFound, kNotFound, kMismatch};
        EXPECT_EQ(b.Take(), expected[static_cast<size_t>(c.expected)]) << what;
        EXPECT_EQ(b.Get("SubString"), Variant::Bool(c.expected == Outcome::Found)) << what;
        EXPECT_EQ(b.Get("NotSubString"), Variant::Bool(c.expected == Outcome::NotFound)) << what;
        // The search reads the inputs without changing them.
        EXPECT_EQ(b.Get("InputString"), c.string) << what;
        EXPECT_EQ(b.Get("InputSubString"), c.part) << what;
    }
}

}  // namespace
