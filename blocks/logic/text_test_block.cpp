#include "blocks/logic/text_test_block.h"

CTextTestCtrl::CTextTestCtrl(int32_t inputCount, DISPID caseSensitive, DISPID ignoreWhiteSpace)
    : COVBaseMathCtrl(inputCount),
      caseSensitiveId_(caseSensitive),
      ignoreWhiteSpaceId_(ignoreWhiteSpace) {}

std::vector<MemberDesc> CTextTestCtrl::WithTextOptions(std::vector<MemberDesc> own,
                                                       DISPID caseSensitive,
                                                       DISPID ignoreWhiteSpace) {
    using C = CTextTestCtrl;
    own.insert(own.end(),
               {
                   Property<&C::GetCaseSensitive, &C::SetCaseSensitive>(
                       "CaseSensitive", caseSensitive, "True for case sensitive comparison.")
                       .Persist<&C::m_bCaseSensitive>("CaseSensitive", {VT_BOOL, 0})
                       .Reset<&C::m_bCaseSensitive>({VT_BOOL, 0}),
                   Property<&C::GetIgnoreWhiteSpace, &C::SetIgnoreWhiteSpace>(
                       "IgnoreWhiteSpace", ignoreWhiteSpace,
                       "True to ignore leading and trailing whitespace.")
                       .Persist<&C::m_bIgnoreWhiteSpace>("IgnoreWhiteSpace", {VT_BOOL, 1})
                       .Reset<&C::m_bIgnoreWhiteSpace>({VT_BOOL, 1}),
               });
    return own;
}

void CTextTestCtrl::SetCaseSensitive(bool value) {
    PutBoundSetting(caseSensitiveId_, m_bCaseSensitive, value);
}

void CTextTestCtrl::SetIgnoreWhiteSpace(bool value) {
    PutBoundSetting(ignoreWhiteSpaceId_, m_bIgnoreWhiteSpace, value);
}

void CTextTestCtrl::FinishMismatch(int32_t groupA, int32_t groupB) {
    m_lStatusCode = TYPE_E_TYPEMISMATCH;
    Fire(kValidateGroup, groupA);
    Fire(kValidateGroup, groupB);
    FireResultsWithoutRun(this);
}
