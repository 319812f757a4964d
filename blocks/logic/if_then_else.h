#pragma once
// IfThenElse: one of ten tests, chosen by Compare, applied to InputX and
// InputY; fires Then when the test holds and Else when it does not, and records
// which in ValueThen and ValueElse. Six tests are the comparison blocks' own,
// three combine the inputs as truth values, the last searches one text in the
// other as the SubString block does.
#include <array>
#include <cstdint>
#include <string_view>

#include "blocks/logic/comparison.h"

// The tests Compare chooses from (type library enumeration).
enum class COMPARISON_OPTIONS : int16_t {
    Equal = 0,
    Not_Equal = 1,
    Greater_Than = 2,
    Greater_Than_Or_Equal = 3,
    Less_Than = 4,
    Less_Than_Or_Equal = 5,
    And = 6,
    Or = 7,
    Xor = 8,
    Contains = 9,
};
constexpr size_t kComparisonOptionCount = 10;

// How a test reads its inputs.
enum class ConditionRoad : uint8_t {
    Comparison,  // CompareValues with `test`
    Truth,       // truth values combined by `holdsByTrueCount`
    Contains,    // TextContains(X, Y)
};

struct ComparisonOptionDesc {
    COMPARISON_OPTIONS value;
    std::string_view name;       // the enumerator's type-library name
    std::string_view pageEntry;  // its entry in the property page's list
    ConditionRoad road;
    ComparisonTest test;                   // Comparison road only
    std::array<bool, 3> holdsByTrueCount;  // Truth road: by how many inputs are true
};

// Indexed by the option's value.
extern const ComparisonOptionDesc kComparisonOptions[kComparisonOptionCount];

enum class Branch : uint8_t {
    Then,      // the test holds
    Else,      // the test does not hold
    Neither,   // Compare is outside the enumeration: no test, no error
    Mismatch,  // a conversion the test needs failed (status 0x80028CA0)
};

// Applies option `compare` to `x` and `y` on plain values:
// - Equal .. Less_Than_Or_Equal: CompareValues (comparison.h) with the matching
//   test; for Equal and Not_Equal a Boolean input turns text inputs in place
//   into what ConvertStringInput makes of them;
// - And, Or, Xor: every text input is first replaced in place by
//   ConvertStringInput; when neither input then holds a Boolean both must have
//   a text form; each input is then read as a truth value (a number is true
//   when it is not zero) and And holds when both are true, Or when at least
//   one is, Xor when exactly one is;
// - Contains: TextContains(x, y, options) (substring.h); nothing is changed.
// Returns Neither for a `compare` outside 0..9 (the inputs are untouched), and
// Mismatch when a needed conversion fails (in-place replacements made before
// the failure stay).
Branch DecideBranch(int16_t compare, Variant& x, Variant& y, const TextOptions& options);

// Group numbers of the two branches' outputs, and their events.
constexpr int32_t GROUP_THEN = 3;
constexpr int32_t GROUP_ELSE = 4;
inline constexpr EventDecl<> kThenEvent{"Then", 6, {}, "Fires when comparison is evaluated True."};
// Type-library help texts stay as published, spelling included.
inline constexpr EventDecl<> kElseEvent{
    "Else", 7, {}, "Fires when comparision is evaluated False."};

constexpr int32_t IFTHENELSE_HELP_CONTEXT = 13;

// Unlike the other blocks it keeps the base's CanRun (always TRUE), so in
// wired mode it also runs while its container is in design mode.
class CIfThenElseCtrl : public CTextTestCtrl {
  public:
    CIfThenElseCtrl();

    static const DispatchTable& IfThenElseMembers();
    static const EventTable& IfThenElseEvents();
    static constexpr ControlClass kClass{&IfThenElseMembers, &IfThenElseEvents,
                                         IFTHENELSE_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputX() const { return InputX; }
    void SetInputX(const Variant& value) { PutInput(1, InputX, value); }
    Variant GetInputY() const { return InputY; }
    void SetInputY(const Variant& value) { PutInput(2, InputY, value); }
    // The outputs; a put stores the flag and marks the block modified, no run.
    bool GetValueThen() const { return m_bValueThen != FALSE; }
    void SetValueThen(bool value);
    bool GetValueElse() const { return m_bValueElse != FALSE; }
    void SetValueElse(bool value);
    // Runs the test at once, whatever the validity table says.
    void Operate() { Compute(); }
    // Any 16-bit value is stored; one outside the enumeration makes a run
    // complete with neither branch.
    int16_t GetCompare() const { return m_nCompare; }
    void SetCompare(int16_t value);

  protected:
    // Status 0 and both outputs FALSE, then by DecideBranch: Neither goes
    // straight to the end; Mismatch sets 0x80028CA0 and fires ValidateGroup 3
    // and 4; otherwise RunBlock (a handler may cancel), then ValueThen, Then and
    // ValidateGroup(4), or ValueElse, Else and ValidateGroup(3). Every road ends
    // with FireResultsWithoutRun.
    void Compute() override;

  private:
    Variant InputX;
    Variant InputY;
    BOOL m_bValueThen = FALSE;
    BOOL m_bValueElse = FALSE;
    int16_t m_nCompare = 0;
};
