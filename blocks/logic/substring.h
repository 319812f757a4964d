#pragma once
// SubString: whether the text of InputSubString occurs in the text of
// InputString, with the comparison blocks' two text options. The outcome is
// reported as the SubString / NotSubString outputs and the True and Value events.
#include <cstdint>
#include <optional>

#include "blocks/logic/comparison.h"

// The containment test on plain values (also IfThenElse's Contains option).
// Both values are converted to text; a text that is exactly "0" then reads
// "FALSE" and one that is exactly "-1" reads "TRUE" (the texts of the Booleans
// and of the numbers 0 and -1); both are prepared by `options` (PrepareText).
// Holds when the text of `part` occurs anywhere in the text of `whole`; an empty
// `part` occurs in every text. nullopt when either value has no text form (an
// array, a null, an object); the values themselves are never changed.
std::optional<bool> TextContains(const Variant& whole, const Variant& part,
                                 const TextOptions& options);

// Group numbers of the two outputs, and the DISPID of the True event (Value is
// the comparison blocks' kValueEvent).
constexpr int32_t GROUP_SUBSTRING = 4;
constexpr int32_t GROUP_NOTSUBSTRING = 5;
inline constexpr EventDecl<> kTrueEvent{"True", 6, {}, "Fires when String contains the SubString."};

constexpr int32_t SUBSTRING_HELP_CONTEXT = 14;

class CSubStringCtrl : public CTextTestCtrl {
  public:
    CSubStringCtrl();

    static const DispatchTable& SubStringMembers();
    static const EventTable& SubStringEvents();
    static constexpr ControlClass kClass{&SubStringMembers, &SubStringEvents,
                                         SUBSTRING_HELP_CONTEXT};
    const ControlClass& Class() const override { return kClass; }

    Variant GetInputString() const { return InputString; }
    void SetInputString(const Variant& value) { PutInput(1, InputString, value); }
    Variant GetInputSubString() const { return InputSubString; }
    void SetInputSubString(const Variant& value) { PutInput(2, InputSubString, value); }
    // The outputs; a put stores the flag and marks the block modified, no run.
    bool GetSubString() const { return m_bSubString != FALSE; }
    void SetSubString(bool value);
    bool GetNotSubString() const { return m_bNotSubString != FALSE; }
    void SetNotSubString(bool value);
    // Runs the test at once, whatever the validity table says.
    void Operate() { Compute(); }

  protected:
    // Status 0 and both outputs FALSE; both texts read (failure: 0x80028CA0 with
    // ValidateGroup 4 and 5); RunBlock, which a handler may cancel; then
    // SubString with Value(TRUE) and True, or NotSubString with Value(FALSE) and
    // ValidateGroup(4); FireResultsWithoutRun.
    void Compute() override;
    BOOL CanRun() override { return AmbientUserMode(); }

  private:
    Variant InputString;
    Variant InputSubString;
    BOOL m_bSubString = FALSE;
    BOOL m_bNotSubString = FALSE;
};
