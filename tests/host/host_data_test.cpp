// The host's pure pieces: CSV text and the approximate comparison of values.
#include <gtest/gtest.h>

#include "host/csv.h"
#include "host/value_compare.h"
#include "platform/value_text.h"
#include "tests/support/value_literal.h"

namespace {

TEST(Csv, ColumnsByHeaderNumberOrFirst) {
    const auto rows = ParseCsv("t,\"level, m\"\r\n0,1.5\n\n1,\"2\"\"\"\n2\n");
    struct Case {
        std::string_view column;
        std::vector<std::string> cells;  // empty with `error` for none
        std::string_view error;
    };
    const Case cases[] = {
        {"", {"0", "1", "2"}, ""},
        {"LEVEL, M", {"1.5", "2\"", ""}, ""},
        {"2", {"1.5", "2\"", ""}, ""},
        {"3", {}, "no column 3 (the widest row has 2)"},
        {"0", {}, "column 0: columns count from 1"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> cells;
        std::string error;
        EXPECT_EQ(CsvColumn(rows, c.column, &cells, &error), c.error.empty()) << c.column;
        EXPECT_EQ(cells, c.cells) << c.column;
        EXPECT_EQ(error, c.error) << c.column;
    }
    // Without a header, the first row is data.
    std::vector<std::string> cells;
    std::string error;
    EXPECT_TRUE(CsvColumn(ParseCsv("1,2\n3,4"), "2", &cells, &error));
    EXPECT_EQ(cells, (std::vector<std::string>{"2", "4"}));
}

// Text cells, reading back by header and refusing scalars are in the for_csv transcript.
TEST(Csv, ArraysToTextAndBack) {
    std::string csv, error;
    ASSERT_TRUE(ArrayToCsv(V("r8@1,0[[1, 2.5], [3, 4]]"), "m", &csv, &error));
    EXPECT_EQ(csv, "m[1],m[2]\n1,3\n2.5,4\n");
    EXPECT_EQ(FormatValue(CsvArray({"1", " 2.5 ", "-3e2"})), "r8[1, 2.5, -300]");
}

TEST(ApproximateMismatch, ArraysElementByElement) {
    struct Case {
        std::string_view actual, expected, why;
    };
    const Case cases[] = {
        {"r8[1, 2.05, 3]", "i4[1, 2, 3]", ""},
        {"r4[[1, 2], [3, 4]]", "r8[[1, 2], [3, 4.05]]", ""},
        {"r8[1, 2.5, 3]", "r8[1, 2, 3]", "at (1): r8 2.5, expected r8 2"},
        {"r8@1,3[[1, 2], [3, 9]]", "r8@1,3[[1, 2], [3, 4]]", "at (2, 4): r8 9, expected r8 4"},
        {"r8@1[1, 2]", "r8[1, 2]", "bounds (1..2), expected (0..1)"},
        {"r8[1, 2, 3]", "r8[1, 2]", "bounds (0..2), expected (0..1)"},
        {"r8[[1, 2]]", "r8[1, 2]", "2 dimensions, expected 1"},
        {"r8[1]", "r8 1", "an array and a scalar"},
        {"r8 1", "r8[1]", "an array and a scalar"},
        {"bstr[\"a\"]", "r8[1]", "at (0): bstr \"a\", expected r8 1 (not numbers)"},
        {"r8 nan", "r8 nan", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApproximateMismatch(V(c.actual), V(c.expected), 0.1), c.why) << c.actual;
    }
}

}  // namespace
