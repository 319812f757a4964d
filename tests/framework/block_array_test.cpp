#include "framework/block_array.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

#include "tests/support/value_literal.h"

namespace {

// Keeps a lowered memory budget for the length of a test.
struct ByteLimit {
    explicit ByteLimit(size_t bytes) { SetArrayByteLimit(bytes); }
    ~ByteLimit() { SetArrayByteLimit(0); }
};

struct CreateCase {
    VARTYPE vt;
    int64_t lower, count;
    bool created;
};

TEST(BlockArray, CreatesOnlyWhatEveryIndexOfCanName) {
    const ByteLimit limit(1 << 20);
    const CreateCase cases[] = {
        {VT_I2, 0, 3, true},
        {VT_I4, -5, 3, true},
        {VT_R4, 0, 0, true},
        {VT_VARIANT, 0, 1, true},
        // Types no array holds.
        {VT_I8, 0, 1, false},
        {VT_ARRAY | VT_R8, 0, 1, false},
        // Bounds at the limits of 32 bits.
        {VT_I1, INT32_MIN, 1, true},
        {VT_I1, INT32_MIN, 0, false},
        {VT_I1, INT32_MAX, 1, true},
        {VT_I1, INT32_MAX, 2, false},
        {VT_I1, INT64_C(1) << 31, 1, false},
        {VT_I1, 0, -1, false},
        {VT_I1, 0, INT64_C(1) << 32, false},
        // Over the memory budget.
        {VT_I1, 0, 1 << 20, true},
        {VT_I1, 0, (1 << 20) + 1, false},
        {VT_R8, 0, INT32_MAX, false},
    };
    for (const CreateCase& c : cases) {
        SafeArrayPtr array = CreateBlockVector(c.vt, c.lower, c.count);
        EXPECT_EQ(array != nullptr, c.created) << c.vt << " " << c.lower << " " << c.count;
    }
    EXPECT_EQ(CreateBlockArray(VT_R8, {{0, 2}, {-3, 4}})->Count(), 8u);
    EXPECT_EQ(CreateBlockArray(VT_R8, {{0, 1 << 10}, {0, 1 << 10}}), nullptr);  // 8 MB
    EXPECT_EQ(CreateBlockArray(VT_R8, {{0, 1}, {0, 1}, {0, 1}}), nullptr);
}

TEST(BlockArray, ResizeKeepsStorageOrderAndRefusesWhatCannotBeHeld) {
    const ByteLimit limit(1 << 20);
    Variant v = V("i4[1, 2]");
    SafeArray& a = *ArrayOf(v);
    EXPECT_EQ(ResizeBlockArray(a, 0, 4), S_OK);
    EXPECT_EQ(v, V("i4[1, 2, 0, 0]"));
    EXPECT_EQ(ResizeBlockArray(a, -2, 4), S_OK);  // renumbers: 1 is now at -2
    EXPECT_EQ(v, V("i4@-2[1, 2, 0, 0]"));
    EXPECT_EQ(ResizeBlockArray(a, 0, -1), E_INVALIDARG);
    EXPECT_EQ(ResizeBlockArray(a, INT32_MAX, 2), E_INVALIDARG);
    EXPECT_EQ(ResizeBlockArray(a, 0, INT32_MAX), E_OUTOFMEMORY);
    EXPECT_EQ(v, V("i4@-2[1, 2, 0, 0]"));
}

TEST(BlockArray, RebuiltOutputsStartFromZeros) {
    Variant previous = V("r8[1, 2]");
    EXPECT_EQ(Variant::Array(RecreateBlockVector(previous, VT_R8, 0, 2, Reuse::ZeroFill)),
              V("r8[0, 0]"));
    EXPECT_EQ(previous, Variant());
    previous = V("r8[1, 2]");
    EXPECT_EQ(Variant::Array(RecreateBlockVector(previous, VT_R8, 1, 2, Reuse::ZeroFill)),
              V("r8@1[0, 0]"));
    EXPECT_EQ(RecreateBlockVector(previous, VT_R8, 0, -1, Reuse::ZeroFill), nullptr);
}

TEST(BlockArray, IndexChecksAreSignedAndExactAtTheLimits) {
    EXPECT_FALSE(InBounds({0, 0}, 0));
    EXPECT_TRUE(InBounds({1, INT32_MIN}, INT32_MIN));
    EXPECT_FALSE(InBounds({1, INT32_MAX}, int64_t{INT32_MAX} + 1));
    EXPECT_EQ(UpperIndex({0, INT32_MIN}), int64_t{INT32_MIN} - 1);
    // (row, index) of a 3 by 4 array, the row running fastest.
    const Variant rows = V("r8@0,1[[1, 2, 3, 4], [5, 6, 7, 8], [9, 10, 11, 12]]");
    EXPECT_EQ(ElementOffset(*ArrayOf(rows), 2, 1), 2);
    EXPECT_EQ(ElementOffset(*ArrayOf(rows), 1, 2), 4);
    EXPECT_EQ(ElementOffset(*ArrayOf(rows), 3, 1), -1);
    EXPECT_EQ(ElementOffset(*ArrayOf(rows), 0, 0), -1);
}

struct ConvertCase {
    const char* value;
    VARTYPE into;
    HRESULT result;
    const char* converted;
};

// Texts and rounded doubles entering integer arrays are in the array blocks' tests.
TEST(BlockArray, ElementsEnterInTheArraysType) {
    const ConvertCase cases[] = {
        {"2.5", VT_I2, S_OK, "i2 2"},
        {"3e9", VT_I4, DISP_E_OVERFLOW, "3e9"},
        {"300", VT_UI1, DISP_E_OVERFLOW, "300"},
        {"1", VT_BSTR, S_OK, "\"1\""},
        {"\"x\"", VT_VARIANT, DISP_E_TYPEMISMATCH, "\"x\""},
        {"r8[1]", VT_R8, DISP_E_TYPEMISMATCH, "r8[1]"},
    };
    for (const ConvertCase& c : cases) {
        Variant v = V(c.value);
        EXPECT_EQ(ConvertToElement(v, c.into), c.result) << c.value;
        EXPECT_EQ(v, V(c.converted)) << c.value;
    }
}

TEST(BlockArray, CopiesConvertElementByElementAndSkipFailures) {
    const Variant src = V("bstr[\"1\", \"x\", \"3\"]");
    Variant dst = V("i4[-1, -1, -1]");
    EXPECT_EQ(CopyElements(*ArrayOf(src), {}, *ArrayOf(dst), {}, 3), 2u);
    EXPECT_EQ(dst, V("i4[1, -1, 3]"));
    // Same type, strided on both sides: two runs of two.
    const Variant grid = V("bstr[\"a\", \"b\", \"c\", \"d\"]");
    Variant out = V("bstr[\"\", \"\", \"\", \"\"]");
    CopyElements(*ArrayOf(grid), {.step = 2, .runStep = 1}, *ArrayOf(out),
                 {.step = 1, .runStep = 2}, 2, 2);
    EXPECT_EQ(out, V("bstr[\"a\", \"c\", \"b\", \"d\"]"));
}

TEST(BlockArray, BulkReadsReportTheFirstFailure) {
    struct ReadCase {
        const char* value;
        HRESULT result;
        std::vector<double> numbers;
    };
    const ReadCase cases[] = {
        {"r8@5[1.5, -2]", S_OK, {1.5, -2}},      {"ui1[200]", S_OK, {200}},
        {"bstr[\" 2.5 \"]", S_OK, {2.5}},        {"bstr[\"1\", \"x\"]", TYPE_E_TYPEMISMATCH, {1}},
        {"bool[true]", TYPE_E_TYPEMISMATCH, {}}, {"r8[]", S_OK, {}},
        {"1.0", TYPE_E_TYPEMISMATCH, {}},        {"r8[[1], [2]]", TYPE_E_TYPEMISMATCH, {}},
    };
    for (const ReadCase& c : cases) {
        std::vector<double> numbers{42};
        EXPECT_EQ(ReadNumericVector(V(c.value), &numbers), c.result) << c.value;
        EXPECT_EQ(numbers, c.numbers) << c.value;
    }
    std::vector<float> floats;
    EXPECT_EQ(ReadNumericVector(V("r8[1e300]"), &floats), TYPE_E_TYPEMISMATCH);
    const Variant skipped = V("bstr[\"x\", \"4\"]");
    EXPECT_EQ(ReadNumbers(
                  *ArrayOf(skipped), [](VARTYPE) { return true; }, BadElement::Skip, &floats),
              S_OK);
    EXPECT_EQ(floats, std::vector<float>{4});

    const double samples[] = {0.25, 8};
    Variant made;
    EXPECT_EQ(MakeNumericVector<double>(samples, -1, &made), S_OK);
    EXPECT_EQ(made, V("r8@-1[0.25, 8]"));
    const ByteLimit limit(4);
    EXPECT_EQ(MakeNumericVector<double>(samples, 0, &made), E_OUTOFMEMORY);
}

}  // namespace
