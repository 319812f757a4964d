#include "blocks/logic/substring.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/safearray.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Trace;

const Trace kFound = {
    "RunBlock",  "Value(true)", "True", "StatusReady", "ErrorOut(self, 0, \"No Errors\")",
    "ControlOut"};
const Trace kNotFound = {"RunBlock",
                         "Value(false)",
                         "ValidateGroup(4)",
                         "StatusReady",
                         "ErrorOut(self, 0, \"No Errors\")",
                         "ControlOut"};
const Trace kMismatch = {"ValidateGroup(4)",
                         "ValidateGroup(5)",
                         "StatusReady",
                         "ErrorOut(self, -2147316576, \"Type mismatch.\")",
                         "ErrorOccurred(-2147316576, \"Type mismatch.\")",
                         "ControlOut"};

Variant Array() {
    return Variant::Array(SafeArrayCreateVector(VT_BSTR, 0, 1));
}

enum class Outcome { Found, NotFound, Mismatch };

struct SearchCase {
    Variant string, part;
    Outcome expected;
    bool caseSensitive = false;
    bool ignoreWhiteSpace = true;
};

TEST(SubString, SearchesTheTextsOfItsInputs) {
    const SearchCase cases[] = {
        {Variant::Str("Hello World"), Variant::Str("WORLD"), Outcome::Found},
        {Variant::Str("Hello World"), Variant::Str("WORLD"), Outcome::NotFound, true},
        {Variant::Str("abc"), Variant::Str("c "), Outcome::Found},
        {Variant::Str("abc"), Variant::Str("c "), Outcome::NotFound, false, false},
        {Variant::Str("  abc"), Variant::Str(" a"), Outcome::Found, false, false},
        {Variant::Str("abc"), Variant::Str(""), Outcome::Found},
        {Variant::Str(""), Variant::Str("a"), Outcome::NotFound},
        {Variant::Str("abc"), Variant::Str("abcd"), Outcome::NotFound},
        // Numbers and Booleans are searched by their texts; 0 and -1 read as
        // the Boolean names.
        {Variant::I4(1234), Variant::I4(23), Outcome::Found},
        {Variant::R8(2.5), Variant::Str("."), Outcome::Found},
        {Variant::Bool(false), Variant::Str("als"), Outcome::Found},
        {Variant::I4(0), Variant::Str("als"), Outcome::Found},
        {Variant::I4(-1), Variant::Str("RUE"), Outcome::Found},
        {Variant::Str("0"), Variant::Str("false"), Outcome::Found},
        {Variant::Str("10"), Variant::Str("0"), Outcome::NotFound},  // "0" reads "FALSE"
        {Variant::Str("-10"), Variant::I4(-1), Outcome::NotFound},
        {Variant::Bool(true), Variant::Str("TRUE"), Outcome::Found, true},
        {Variant::Bool(true), Variant::Str("true"), Outcome::NotFound, true},
        {Variant(), Variant(), Outcome::Found},
        // Values without a text form.
        {Array(), Variant::Str("a"), Outcome::Mismatch},
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
        const int32_t status = c.expected == Outcome::Mismatch ? TYPE_E_TYPEMISMATCH : 0;
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(status)) << what;
        // The search reads the inputs without changing them.
        EXPECT_EQ(b.Get("InputString"), c.string) << what;
        EXPECT_EQ(b.Get("InputSubString"), c.part) << what;
    }
}

TEST(SubString, NewBlockFindsTheEmptyTextInTheEmptyText) {
    Block b("TALLYKIT.SubStringCtrl.1");
    EXPECT_EQ(b.Get("InputString"), Variant::Str(""));
    EXPECT_EQ(b.Get("InputSubString"), Variant::Str(""));
    EXPECT_EQ(b.Get("CaseSensitive"), Variant::Bool(false));
    EXPECT_EQ(b.Get("IgnoreWhiteSpace"), Variant::Bool(true));
    auto* base = dynamic_cast<COVBaseMathCtrl*>(b.control.Get());
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->HelpContext(), SUBSTRING_HELP_CONTEXT);
    b.Call("Operate");
    EXPECT_EQ(b.Take(), kFound);
    EXPECT_EQ(b.Get("SubString"), Variant::Bool(true));
}

TEST(SubString, CancelFromRunBlockLeavesBothOutputsFalse) {
    Block b("SubString");
    b.onEvent = [&](DISPID id, std::span<const Variant>) {
        if (id == EVENTID_RUNBLOCK) b.Put("CancelBlock", Variant::I4(1));
    };
    b.Call("Operate");
    EXPECT_EQ(b.Take(), (Trace{"RunBlock", "ValidateGroup(0)"}));
    EXPECT_EQ(b.Get("SubString"), Variant::Bool(false));
    EXPECT_EQ(b.Get("NotSubString"), Variant::Bool(false));
}

TEST(SubString, DefaultMemberIsInputString) {
    Block b("SubString");
    EXPECT_EQ(b.Id("_InputString"), DISPID_VALUE);
    Variant put[] = {Variant::Str("haystack")};
    ASSERT_EQ(b.control->Invoke(DISPID_VALUE, DISPATCH_PROPERTYPUT, put, nullptr), S_OK);
    EXPECT_EQ(b.Get("InputString"), Variant::Str("haystack"));
    Variant got;
    ASSERT_EQ(b.control->Invoke(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, &got), S_OK);
    EXPECT_EQ(got, Variant::Str("haystack"));
}

TEST(SubString, WiredRunWaitsForBothInputs) {
    Block b("SubString");
    b.Invalidate({"InputString", "InputSubString"});
    b.Take();
    b.Put("InputSubString", Variant::Str("needle"));
    EXPECT_EQ(b.Take(), Trace{});
    b.Put("InputString", Variant::Str("no pins here"));
    EXPECT_EQ(b.Take(), kNotFound);
    EXPECT_EQ(b.Get("NotSubString"), Variant::Bool(true));
}

TEST(SubString, PersistsInputsAsTextWithTheEmptyTextAsFallback) {
    Block b("SubString");
    b.Put("InputString", Variant::I4(1234));
    b.Put("InputSubString", Array());
    b.Put("CaseSensitive", Variant::Bool(true));
    PropertyBag bag;
    b.control->Save(bag);
    EXPECT_EQ(*bag.Read("InputString"), Variant::Str("1234"));
    EXPECT_EQ(*bag.Read("InputSubString"), Variant::Str(""));
    std::vector<std::string> names;
    for (const PropertyBag::Property& p : bag.Properties())
        names.push_back(p.name);
    const std::vector<std::string> own(names.end() - 4, names.end());
    EXPECT_EQ(own, (std::vector<std::string>{"InputString", "InputSubString", "CaseSensitive",
                                             "IgnoreWhiteSpace"}));
    Block loaded("SubString");
    loaded.control->Load(bag);
    EXPECT_EQ(loaded.Get("InputString"), Variant::Str("1234"));
    EXPECT_EQ(loaded.Get("InputSubString"), Variant::Str(""));
    EXPECT_EQ(loaded.Get("CaseSensitive"), Variant::Bool(true));

    PropertyBag empty;
    Block fresh("SubString");
    fresh.control->Load(empty);
    EXPECT_EQ(fresh.Get("InputString"), Variant::Str(""));
    EXPECT_EQ(fresh.Get("IgnoreWhiteSpace"), Variant::Bool(true));
}

}  // namespace
