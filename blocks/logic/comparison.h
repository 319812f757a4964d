#pragma once
// The six comparison blocks: OVEquality, OVNotEqual, OVGreaterThan,
// OVGreaterThanEqual, OVLessThan and OVLessThanEqual. They share one layout and
// one algorithm (numbers first, then texts, and for the two equality tests
// Booleans as truth values); they differ only by the data in their
// ComparisonKind.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "blocks/logic/text_test_block.h"
#include "framework/family_block.h"

enum class ComparisonTest : uint8_t {
    Equal,
    NotEqual,
    GreaterThan,
    GreaterThanEqual,
    LessThan,
    LessThanEqual,
};
constexpr size_t kComparisonTestCount = 6;

// Prepares a text for comparison: lower-cased (byte-wise, "C" rules) unless
// `caseSensitive`, and trimmed of leading and trailing white space when
// `ignoreWhiteSpace`.
std::string PrepareText(std::string text, const TextOptions& options);

// Applies `test` to `x` and `y` as the comparison blocks do, on plain values:
// - Equal and NotEqual only: when either holds a Boolean, each text input is
//   first replaced in place by ConvertStringInput, then both are read as truth
//   values and the test is whether those are equal (or differ);
// - otherwise, when both convert to double, the numbers are compared (a NaN on
//   either side holds for Equal, LessThan and LessThanEqual and fails for the
//   others);
// - otherwise both are converted to text, prepared by `options`, and compared
//   as unsigned bytes (a prefix sorts first).
// Returns whether the test holds, or nullopt when a conversion the test needs
// fails (an array, a null, a value without a text form). The in-place text
// replacement of the Boolean branch stays even then.
std::optional<bool> CompareValues(ComparisonTest test, Variant& x, Variant& y,
                                  const TextOptions& options);

// What tells one comparison block from another.
struct ComparisonKind {
    ComparisonTest test;
    std::string_view shortName;  // "OVEquality"
    int32_t helpContext;
    std::string_view output3, help3;            // DISPID 3 output (group 4): "Equal", ...
    std::string_view output4, help4;            // DISPID 4 output (group 5): "NotEqual", ...
    bool holdSetsOutput4;                       // NotEqual: a holding test sets its DISPID 4 output
    std::string_view dataEvent, dataEventHelp;  // DISPID 6: "DataEqual", ...
    bool defaultMember;                         // Equality alone has `_InputX` (DISPID 0)
};

// Indexed by ComparisonTest.
extern const ComparisonKind kComparisonKinds[kComparisonTestCount];

// Group numbers of the two outputs.
constexpr int32_t GROUP_OUTPUT3 = 4;
constexpr int32_t GROUP_OUTPUT4 = 5;
// The data event, named by each kind (ComparisonKind::dataEvent), and the
// Value event, which SubString shares.
inline constexpr EventDecl<> kDataEvent{"Data", 6, {}, ""};
inline constexpr EventDecl<bool> kValueEvent{
    "Value", 7, {"bValue"}, "Fires with comparison status."};

class COVComparisonCtrl : public CTextTestCtrl {
  public:
    explicit COVComparisonCtrl(ComparisonTest test);

    // The member and event tables of one kind (names differ between kinds).
    static const DispatchTable& ComparisonMembers(ComparisonTest test);
    static const EventTable& ComparisonEvents(ComparisonTest test);
    // Indexed by ComparisonTest.
    static const ControlClass kKindClasses[kComparisonTestCount];
    const ControlClass& Class() const override {
        return kKindClasses[static_cast<size_t>(kind_.test)];
    }
    const ComparisonKind& Kind() const { return kind_; }

    Variant GetInputX() const { return InputX; }
    void SetInputX(const Variant& value) { PutInput(1, InputX, value); }
    Variant GetInputY() const { return InputY; }
    void SetInputY(const Variant& value) { PutInput(2, InputY, value); }
    bool GetOutput3() const { return m_bOutput3 != FALSE; }
    void SetOutput3(bool value);
    bool GetOutput4() const { return m_bOutput4 != FALSE; }
    void SetOutput4(bool value);
    void Operate() { Compute(); }

  protected:
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    const ComparisonKind& kind_;
    Variant InputX;
    Variant InputY;
    BOOL m_bOutput3 = FALSE;
    BOOL m_bOutput4 = FALSE;
};

using COVEqualityCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::Equal>;
using COVNotEqualCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::NotEqual>;
using COVGreaterThanCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::GreaterThan>;
using COVGreaterThanEqualCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::GreaterThanEqual>;
using COVLessThanCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::LessThan>;
using COVLessThanEqualCtrl = FamilyBlock<COVComparisonCtrl, ComparisonTest::LessThanEqual>;
