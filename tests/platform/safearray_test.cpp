#include "platform/safearray.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/support/value_literal.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// One row per element kind an array can hold: a nonzero sample, what a new
// element reads as, and a value of another kind (sharing the storage type where
// one exists), refused unless the elements are variants.
struct KindCase {
    VARTYPE vt;
    Variant sample;
    Variant zero;
    Variant other;
};

std::vector<KindCase> KindCases() {
    return {
        {VT_I2, Variant::I2(-12345), Variant::I2(0), Variant::BoolRaw(-1)},
        {VT_I4, Variant::I4(-7), Variant::I4(0), Variant::Int(-7)},
        {VT_R4, Variant::R4(1.5f), Variant::R4(0), Variant::R8(1.5)},
        {VT_R8, Variant::R8(2.5), Variant::R8(0), Variant::Date(2.5)},
        {VT_CY, Variant::Cy({15000}), Variant::Cy({}), Variant::I8(15000)},
        {VT_DATE, Variant::Date(45000.5), Variant::Date(0), Variant::R8(45000.5)},
        {VT_BSTR, Variant::Str("text"), Variant::Str(""), Variant::Null()},
        {VT_ERROR, Variant::Error(DISP_E_PARAMNOTFOUND), Variant::Error(0),
         Variant::I4(DISP_E_PARAMNOTFOUND)},
        // A raw 1 (as a reset may store) must come back as 1, not as -1.
        {VT_BOOL, Variant::BoolRaw(1), Variant::BoolRaw(0), Variant::I2(1)},
        {VT_DECIMAL, Variant::Decimal({0, 2, DECIMAL_NEG, 1, 5}), Variant::Decimal({}),
         Variant::Cy({5})},
        {VT_I1, Variant::I1(-3), Variant::I1(0), Variant::UI1(253)},
        {VT_UI1, Variant::UI1(200), Variant::UI1(0), Variant::I1(-56)},
        {VT_UI2, Variant::UI2(60000), Variant::UI2(0), Variant::I2(-5536)},
        {VT_UI4, Variant::UI4(4000000000u), Variant::UI4(0), Variant::UInt(7)},
        {VT_INT, Variant::Int(-9), Variant::Int(0), Variant::I4(-9)},
        {VT_UINT, Variant::UInt(9), Variant::UInt(0), Variant::UI4(9)},
        {VT_VARIANT, Variant::Str("inner"), Variant(), Variant::I8(5)},
    };
}

// A new element is zero; regrown elements, even after shrinking to nothing,
// must not show old values.
TEST(SafeArray, EveryKindStoresOnlyItsOwnKindAndStartsAtZero) {
    for (const KindCase& c : KindCases()) {
        SCOPED_TRACE(VarTypeName(c.vt));
        SafeArrayPtr a = SafeArrayCreateVector(c.vt, -1, 2);
        ASSERT_TRUE(a);
        const int32_t at = 0;
        Variant got;
        ASSERT_EQ(SafeArrayGetElement(a.get(), &at, &got), S_OK);
        EXPECT_EQ(got, c.zero);
        ASSERT_EQ(SafeArrayPutElement(a.get(), &at, c.sample), S_OK);
        ASSERT_EQ(SafeArrayGetElement(a.get(), &at, &got), S_OK);
        EXPECT_EQ(got, c.sample);
        const bool anyKind = c.vt == VT_VARIANT;
        EXPECT_EQ(SafeArrayPutElement(a.get(), &at, c.other), anyKind ? S_OK : DISP_E_TYPEMISMATCH);
        EXPECT_EQ(a->ElementAt(1), anyKind ? c.other : c.sample);
        for (const uint32_t count : {3u, 0u, 2u}) {
            const SAFEARRAYBOUND bound{count, 0};
            ASSERT_EQ(SafeArrayRedim(a.get(), &bound), S_OK);
        }
        EXPECT_EQ(a->ElementAt(0), c.zero);
        EXPECT_EQ(a->ElementAt(1), c.zero);
    }
}

// Elements hold their storage position + 1, so expected contents show where
// each one went.
SafeArrayPtr Numbered(const std::vector<SAFEARRAYBOUND>& bounds) {
    SafeArrayPtr a = SafeArrayCreate(VT_I4, static_cast<uint32_t>(bounds.size()), bounds.data());
    std::span<int32_t> data = a->Data<int32_t>();
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<int32_t>(i + 1);
    return a;
}

TEST(SafeArray, RedimChangesTheLastDimensionInStorageOrder) {
    struct Case {
        const char* name;
        std::vector<SAFEARRAYBOUND> before;
        SAFEARRAYBOUND last;
        std::vector<int32_t> after;
    } cases[] = {
        {"grow", {{3, 0}}, {5, 0}, {1, 2, 3, 0, 0}},
        {"to empty", {{3, 0}}, {0, 0}, {}},
        {"lower bound raised, grown", {{3, -4}}, {4, 10}, {1, 2, 3, 0}},
        {"2-D grow", {{2, 0}, {3, 1}}, {4, 1}, {1, 2, 3, 4, 5, 6, 0, 0}},
        {"2-D shrink, rebased", {{2, 0}, {3, 1}}, {1, -1}, {1, 2}},
        {"2-D empty first dimension", {{0, 7}, {3, 0}}, {9, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SafeArrayPtr a = Numbered(c.before);
        ASSERT_EQ(SafeArrayRedim(a.get(), &c.last), S_OK);
        std::vector<SAFEARRAYBOUND> bounds = c.before;
        bounds.back() = c.last;
        ASSERT_EQ(a->Dims(), bounds.size());
        for (uint32_t d = 0; d < a->Dims(); ++d) {
            EXPECT_EQ(a->Bound(d).cElements, bounds[d].cElements);
            EXPECT_EQ(a->Bound(d).lLbound, bounds[d].lLbound);
        }
        const std::span<const int32_t> data = a->Data<int32_t>();
        EXPECT_EQ(std::vector<int32_t>(data.begin(), data.end()), c.after);
    }
}

TEST(SafeArray, IndicesOnePastEachLimitAreRefused) {
    // Dimension 1 runs -1..0, dimension 2 runs 4..6.
    SafeArrayPtr a = Numbered({{2, -1}, {3, 4}});
    struct Case {
        int32_t i, j;
        int64_t offset;
    } cases[] = {
        {-1, 4, 0}, {0, 6, 5},   {0, 4, 1},   {-1, 5, 2},         {-2, 4, -1},
        {1, 4, -1}, {-1, 3, -1}, {-1, 7, -1}, {INT32_MIN, 4, -1}, {0, INT32_MAX, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.i << "," << c.j);
        const int32_t indices[] = {c.i, c.j};
        EXPECT_EQ(a->Offset(indices), c.offset);
        Variant v = Variant::Str("unchanged");
        const HRESULT expected = c.offset < 0 ? DISP_E_BADINDEX : S_OK;
        EXPECT_EQ(SafeArrayGetElement(a.get(), indices, &v), expected);
        EXPECT_EQ(v, c.offset < 0 ? Variant::Str("unchanged")
                                  : Variant::I4(static_cast<int32_t>(c.offset + 1)));
        EXPECT_EQ(SafeArrayPutElement(a.get(), indices, Variant::I4(0)), expected);
    }
    const int32_t one[] = {0};
    EXPECT_EQ(a->Offset(one), -1);
    EXPECT_TRUE(a->ElementAt(a->Count()).IsEmpty());
    EXPECT_EQ(a->SetElementAt(a->Count(), Variant::I4(0)), DISP_E_BADINDEX);

    int32_t bound = 99;
    EXPECT_EQ(SafeArrayGetLBound(a.get(), 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(a.get(), 3, &bound), DISP_E_BADINDEX);
    ASSERT_EQ(SafeArrayGetLBound(a.get(), 1, &bound), S_OK);
    EXPECT_EQ(bound, -1);
    ASSERT_EQ(SafeArrayGetUBound(a.get(), 2, &bound), S_OK);
    EXPECT_EQ(bound, 6);
}

TEST(SafeArray, NullArgumentsAreRefused) {
    SafeArrayPtr a = SafeArrayCreateVector(VT_I4, 0, 1);
    const int32_t index = 0;
    int32_t bound;
    Variant v;
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(a.get(), 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(nullptr, &index, &v), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(a.get(), nullptr, &v), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(a.get(), &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(nullptr, &index, v), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(a.get(), nullptr, v), E_INVALIDARG);
    EXPECT_EQ(SafeArrayRedim(nullptr, &a->Bound(0)), E_INVALIDARG);
    EXPECT_EQ(SafeArrayRedim(a.get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopy(a.get(), nullptr), E_INVALIDARG);
    EXPECT_FALSE(SafeArrayCreate(VT_I4, 1, nullptr));
    SafeArrayPtr copy = SafeArrayCreateVector(VT_I4, 0, 1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_FALSE(copy);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, CreationChecksShapeAndSize) {
    struct Case {
        const char* name;
        VARTYPE vt;
        std::vector<SAFEARRAYBOUND> bounds;
        bool created;
    } cases[] = {
        {"no dimension", VT_R8, {}, false},
        {"three dimensions", VT_R8, {{1, 0}, {1, 0}, {1, 0}}, false},
        {"array kind", VT_ARRAY | VT_R8, {{1, 0}}, false},
        {"last index is INT32_MAX", VT_R8, {{1, INT32_MAX}}, true},
        {"one past INT32_MAX", VT_R8, {{2, INT32_MAX}}, false},
        {"empty at INT32_MIN + 1", VT_R8, {{0, INT32_MIN + 1}}, true},
        {"empty at INT32_MIN", VT_R8, {{0, INT32_MIN}}, false},
        {"count overflows", VT_BSTR, {{UINT32_MAX, INT32_MIN}, {UINT32_MAX, INT32_MIN}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SafeArrayPtr a =
            SafeArrayCreate(c.vt, static_cast<uint32_t>(c.bounds.size()), c.bounds.data());
        EXPECT_EQ(a != nullptr, c.created);
    }
    SafeArrayPtr a = Numbered({{UINT32_MAX, INT32_MIN}, {0, 0}});
    const std::pair<SAFEARRAYBOUND, HRESULT> redims[] = {
        {{UINT32_MAX, INT32_MIN}, E_OUTOFMEMORY},
        {{2, INT32_MAX}, E_INVALIDARG},
    };
    for (const auto& [bound, expected] : redims) {
        EXPECT_EQ(SafeArrayRedim(a.get(), &bound), expected);
        EXPECT_EQ(a->Bound(1).cElements, 0u);
        EXPECT_EQ(a->Bound(1).lLbound, 0);
    }
}

TEST(SafeArray, MemoryExhaustionIsReportedNotFatal) {
    if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's allocator aborts instead of failing";
    // 2^47 doubles: within the vector's limits, far beyond any address space.
    const SAFEARRAYBOUND huge[] = {{1u << 16, 0}, {1u << 31, 0}};
    EXPECT_FALSE(SafeArrayCreate(VT_R8, 2, huge));
    SafeArrayPtr a = Numbered({{1u << 16, 0}, {1, 0}});
    EXPECT_EQ(SafeArrayRedim(a.get(), &huge[1]), E_OUTOFMEMORY);
    EXPECT_EQ(a->Count(), size_t{1} << 16);
    EXPECT_EQ(a->Data<int32_t>()[65535], 65536);
}

TEST(SafeArray, CopiesAreDeepAndIndependent) {
    const char* text = R"(variant@-1,7[[bstr@3["deep"]], [bstr "flat"]])";
    Variant source = V(text);
    SafeArrayPtr copy;
    ASSERT_EQ(SafeArrayCopy(source.parray(), &copy), S_OK);

    // Change everything reachable from the source; the copy must not see it.
    SafeArray& a = *source.parray();
    a.Data<Variant>()[0].parray()->Data<std::string>()[0] = "changed";
    a.Data<Variant>()[1].bstrVal() = "changed";
    const SAFEARRAYBOUND grown{3, 0};
    ASSERT_EQ(SafeArrayRedim(&a, &grown), S_OK);
    EXPECT_EQ(Variant::Array(std::move(copy)), V(text));
}

}  // namespace
