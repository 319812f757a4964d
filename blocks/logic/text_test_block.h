#pragma once
// What the comparison, IfThenElse and SubString blocks share: the two text
// options (one declaration, placed at each block's DISPIDs) and the run that
// decides between two outputs.
#include <cstdint>
#include <vector>

#include "framework/base_math_ctrl.h"

// The two options of the text comparison.
struct TextOptions {
    bool caseSensitive = false;
    bool ignoreWhiteSpace = true;
};

class CTextTestCtrl : public COVBaseMathCtrl {
  public:
    bool GetCaseSensitive() const { return m_bCaseSensitive != FALSE; }
    void SetCaseSensitive(bool value);
    bool GetIgnoreWhiteSpace() const { return m_bIgnoreWhiteSpace != FALSE; }
    void SetIgnoreWhiteSpace(bool value);

    // `own` followed by the rows of CaseSensitive (persisted, FALSE when new)
    // and IgnoreWhiteSpace (persisted, TRUE when new) at a block's DISPIDs.
    static std::vector<MemberDesc> WithTextOptions(std::vector<MemberDesc> own,
                                                   DISPID caseSensitive, DISPID ignoreWhiteSpace);

  protected:
    // The DISPIDs are those the block's table gives the two options; their
    // puts give the bound-change notice under them.
    CTextTestCtrl(int32_t inputCount, DISPID caseSensitive, DISPID ignoreWhiteSpace);

    TextOptions Options() const {
        return {m_bCaseSensitive != FALSE, m_bIgnoreWhiteSpace != FALSE};
    }

    // A test whose inputs did not convert: status 0x80028CA0, ValidateGroup
    // for both output groups, then FireResultsWithoutRun.
    void FinishMismatch(int32_t groupA, int32_t groupB);
    // A test that decided: RunBlock, which a handler may cancel; unless it
    // did, `deliver` sets the outputs and fires the block's own events; then
    // FireResultsWithoutRun.
    template <class Deliver>
    void FinishDecided(Deliver&& deliver) {
        m_bCancelBlock = FALSE;
        Fire(kRunBlock);
        if (!m_bCancelBlock) deliver();
        FireResultsWithoutRun(this);
    }

  private:
    DISPID caseSensitiveId_;
    DISPID ignoreWhiteSpaceId_;
    BOOL m_bCaseSensitive = FALSE;
    BOOL m_bIgnoreWhiteSpace = TRUE;
};
