#pragma once
// The value kinds (VARTYPE codes) and one table of facts about each, which the
// value type, the conversions, the arrays and the text forms all read, so that
// adding or changing a kind is one row.
#include <cstddef>
#include <cstdint>
#include <string_view>

using VARTYPE = uint16_t;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_TYPEMASK = 0x0FFF,
};

enum class IntegerClass : uint8_t { kNone, kSigned, kUnsigned };

struct ValueKind {
    VARTYPE vt;
    std::string_view name;  // as hosts print and read it ("r8", "bstr")
    uint8_t payloadBytes;   // payload bytes that identify a value held inline
    IntegerClass integer;   // integer kinds are `payloadBytes` wide
    bool byPointer;         // the payload is an owned string or a counted object
    bool storable;          // an element kind of the arrays blocks store and fetch
    bool convertible;       // a target VariantChangeType can produce from other kinds
};

// Every kind a value may hold, arrays aside (VT_VARIANT only as an element kind).
inline constexpr ValueKind kValueKinds[] = {
    {VT_EMPTY, "empty", 0, IntegerClass::kNone, false, false, true},
    {VT_NULL, "null", 0, IntegerClass::kNone, false, false, true},
    {VT_I1, "i1", 1, IntegerClass::kSigned, false, true, true},
    {VT_UI1, "ui1", 1, IntegerClass::kUnsigned, false, true, true},
    {VT_I2, "i2", 2, IntegerClass::kSigned, false, true, true},
    {VT_UI2, "ui2", 2, IntegerClass::kUnsigned, false, true, true},
    {VT_I4, "i4", 4, IntegerClass::kSigned, false, true, true},
    {VT_UI4, "ui4", 4, IntegerClass::kUnsigned, false, true, true},
    {VT_I8, "i8", 8, IntegerClass::kSigned, false, false, true},
    {VT_UI8, "ui8", 8, IntegerClass::kUnsigned, false, false, true},
    {VT_INT, "int", 4, IntegerClass::kSigned, false, true, true},
    {VT_UINT, "uint", 4, IntegerClass::kUnsigned, false, true, true},
    {VT_R4, "r4", 4, IntegerClass::kNone, false, true, true},
    {VT_R8, "r8", 8, IntegerClass::kNone, false, true, true},
    {VT_CY, "cy", 8, IntegerClass::kNone, false, true, true},
    {VT_DATE, "date", 8, IntegerClass::kNone, false, true, true},
    {VT_BOOL, "bool", 2, IntegerClass::kNone, false, true, true},
    {VT_BSTR, "bstr", 0, IntegerClass::kNone, true, true, true},
    {VT_ERROR, "error", 4, IntegerClass::kNone, false, true, false},
    {VT_DISPATCH, "dispatch", 0, IntegerClass::kNone, true, false, false},
    {VT_DECIMAL, "decimal", 16, IntegerClass::kNone, false, true, true},
    {VT_VARIANT, "variant", 0, IntegerClass::kNone, false, false, false},
};

// The row of a kind; null for codes that are no value kind (arrays included).
constexpr const ValueKind* FindValueKind(VARTYPE vt) {
    for (const ValueKind& kind : kValueKinds) {
        if (kind.vt == vt) return &kind;
    }
    return nullptr;
}

// Whether a value of this kind owns nothing, so that it copies and moves as
// its bits. Spelled out rather than looked up: every value copy asks.
constexpr bool IsPlainKind(VARTYPE vt) {
    // Two tests instead of three: BSTR and DISPATCH are the pair {8, 9}.
    static_assert(VT_BSTR == 8 && VT_DISPATCH == 9);
    return (vt & VT_ARRAY) == 0 && (vt | 1) != VT_DISPATCH;
}

static_assert(
    [] {
        for (const ValueKind& kind : kValueKinds) {
            if (IsPlainKind(kind.vt) == kind.byPointer) return false;
        }
        return true;
    }(),
    "IsPlainKind disagrees with the table");

// Whether `rows` (a table keyed by `.vt`) lists each kind of kValueKinds for
// which `selected` holds exactly once, and no other: the check that keeps a
// per-kind table of functions in step with the facts.
template <class Row, size_t N, class Selected>
constexpr bool InStepWithValueKinds(const Row (&rows)[N], Selected selected) {
    size_t listed = 0;
    for (const ValueKind& kind : kValueKinds) {
        size_t times = 0;
        for (const Row& row : rows)
            times += row.vt == kind.vt;
        if (times != (selected(kind) ? 1u : 0u)) return false;
        listed += times;
    }
    return listed == N;
}
