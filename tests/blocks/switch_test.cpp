#include "blocks/routing/switch_block.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::TempFile;
using harness::Trace;

// The exact order of the groups and results is in the golden transcript;
// here each case checks the event that leads the run and the status.
struct SwitchCase {
    const char* what;
    Variant list;
    Variant input;
    std::string first;  // the run's first event
    HRESULT status;
};

TEST(Switch, RoutesToTheFirstMatchingCase) {
    const Variant three = V("r8[1, 2, 3]");
    const std::string gap = TempFile("gap.txt", "1,,3\n");
    const std::string blank = TempFile("blank.txt", "\n\n");
    const SwitchCase cases[] = {
        {"double case", three, Variant::R8(2), "Output2(2)", S_OK},
        {"no match is no error", three, Variant::R8(5), "DefaultOut(5)", S_OK},
        {"only eight cases", V("r8[1, 2, 3, 4, 5, 6, 7, 8, 9, 10]"), Variant::R8(10),
         "DefaultOut(10)", S_OK},
        {"truncated integer case", V("i4[7]"), Variant::R8(7.6), "Output1(7.6)", S_OK},
        // Files of numbers and of texts are in the golden transcript; here an
        // empty piece keeps its case's place, and the input becomes text.
        {"number becomes text", Variant::Str(gap), Variant::I4(3), "Output3(\"3\")", S_OK},
        {"neither path nor list", Variant::R8(1), Variant::R8(1), "ValidateGroup(4)",
         TYPE_E_TYPEMISMATCH},
        {"a file without values is no error", Variant::Str(blank), Variant::R8(1), "DefaultOut(1)",
         S_OK},
        {"empty path", Variant::Str(""), Variant::R8(1), "DefaultOut(1)", ERROR_FILE_NOT_FOUND_HR},
        {"missing file", Variant::Str("/nonexistent/tk/cases.txt"), Variant::R8(1), "DefaultOut(1)",
         ERROR_READ_FAULT_HR},
        {"two dimensions", V("r8[[0, 0], [0, 0]]"), Variant::R8(0), "DefaultOut(0)", E_INVALIDARG},
        {"unsupported elements", V("date[1]"), Variant::R8(1), "DefaultOut(1)",
         TYPE_E_TYPEMISMATCH},
        {"input without a number", three, Variant::Str("x"), "DefaultOut(\"x\")",
         TYPE_E_TYPEMISMATCH},
    };
    for (const SwitchCase& c : cases) {
        Block b("OVSwitch");
        b.Put("LookupTable", c.list);
        b.Put("Value", c.input);
        b.Call("Operate");
        const Trace trace = b.Take();
        EXPECT_EQ(trace.empty() ? "" : trace.front(), c.first) << c.what;
        EXPECT_EQ(b.Get("StatusCode"), Variant::I4(c.status)) << c.what;
    }
}

}  // namespace
