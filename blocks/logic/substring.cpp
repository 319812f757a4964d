#include "blocks/logic/substring.h"

#include <string>

#include "platform/property_bag.h"

namespace {

// The text a value is searched as. Booleans print as "0" and "-1", so those
// two texts are read back as the Boolean names a user would type.
std::optional<std::string> SearchText(const Variant& value, const TextOptions& options) {
    Variant text;
    if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return std::nullopt;
    std::string s = text.bstrVal();
    if (s == "0") s = "FALSE";
    if (s == "-1") s = "TRUE";
    return PrepareText(std::move(s), options);
}

}  // namespace

std::optional<bool> TextContains(const Variant& whole, const Variant& part,
                                 const TextOptions& options) {
    const std::optional<std::string> haystack = SearchText(whole, options);
    const std::optional<std::string> needle = SearchText(part, options);
    if (!haystack || !needle) return std::nullopt;
    return haystack->find(*needle) != std::string::npos;
}

// --- the block --------------------------------------------------------------

CSubStringCtrl::CSubStringCtrl() : COVBaseMathCtrl(3) {}

const DispatchTable& CSubStringCtrl::SubStringMembers() {
    using C = CSubStringCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        {
            Property<&C::GetInputString, &C::SetInputString>("InputString", 1, "Text to search in"),
            Property<&C::GetInputString, &C::SetInputString>("_InputString", DISPID_VALUE,
                                                             "Text to search in")
                .Hidden(),
            Property<&C::GetInputSubString, &C::SetInputSubString>("InputSubString", 2,
                                                                   "Text to search for"),
            Property<&C::GetSubString, &C::SetSubString>("SubString", 3,
                                                         "True if String contains SubString.")
                .HiddenPut(),
            Property<&C::GetNotSubString, &C::SetNotSubString>(
                "NotSubString", 4, "True if String does not contain SubString.")
                .HiddenPut(),
            Method<&C::Operate>("Operate", 5, "Searches at once"),
            Property<&C::GetCaseSensitive, &C::SetCaseSensitive>(
                "CaseSensitive", 6, "True for case sensitive comparison."),
            Property<&C::GetIgnoreWhiteSpace, &C::SetIgnoreWhiteSpace>(
                "IgnoreWhiteSpace", 7, "True to ignore leading and trailing whitespace."),
        });
    return table;
}

const EventTable& CSubStringCtrl::SubStringEvents() {
    static const EventTable table(
        &COVBaseMathCtrl::BaseEvents(),
        {
            {"True", EVENTID_TRUE, {}, {}, "Fires when String contains the SubString."},
            {"Value", EVENTID_VALUE, {VT_BOOL}, {"bValue"}, "Fires with comparison status."},
        });
    return table;
}

int32_t CSubStringCtrl::GetInputIndex(DISPID dispid) {
    if (dispid == 1 || dispid == 2) return dispid + 1;
    return COVBaseMathCtrl::GetInputIndex(dispid);
}

void CSubStringCtrl::SetSubString(bool value) {
    PutSetting(m_bSubString, value);
}

void CSubStringCtrl::SetNotSubString(bool value) {
    PutSetting(m_bNotSubString, value);
}

void CSubStringCtrl::SetCaseSensitive(bool value) {
    PutBoundSetting(6, m_bCaseSensitive, value);
}

void CSubStringCtrl::SetIgnoreWhiteSpace(bool value) {
    PutBoundSetting(7, m_bIgnoreWhiteSpace, value);
}

void CSubStringCtrl::Compute() {
    ClearStatus();
    m_bSubString = FALSE;
    m_bNotSubString = FALSE;
    const TextOptions options{m_bCaseSensitive != FALSE, m_bIgnoreWhiteSpace != FALSE};
    const std::optional<bool> contains = TextContains(InputString, InputSubString, options);
    if (!contains) {
        m_lStatusCode = TYPE_E_TYPEMISMATCH;
        FireGroupEvent(EVENTID_VALIDATEGROUP, GROUP_SUBSTRING);
        FireGroupEvent(EVENTID_VALIDATEGROUP, GROUP_NOTSUBSTRING);
        FireResultsWithoutRun(this);
        return;
    }
    m_bCancelBlock = FALSE;
    FireBlockEvent(EVENTID_RUNBLOCK);
    // A cancelled run leaves both outputs FALSE: they are only set after RunBlock.
    if (!m_bCancelBlock) {
        (*contains ? m_bSubString : m_bNotSubString) = TRUE;
        Variant value[] = {Variant::Bool(*contains)};
        FireBlockEvent(EVENTID_VALUE, value);
        if (*contains) {
            FireBlockEvent(EVENTID_TRUE);
        } else {
            FireGroupEvent(EVENTID_VALIDATEGROUP, GROUP_SUBSTRING);
        }
    }
    FireResultsWithoutRun(this);
}

void CSubStringCtrl::DoPropExchange(CPropExchange* pPX) {
    uint32_t version = CONTROL_VERSION;
    ExchangeVersion(pPX, version, CONTROL_VERSION);
    COVBaseMathCtrl::DoPropExchange(pPX);
    // Inputs persist as text, so any kind survives; an input without a text
    // form is saved as the empty text a new block starts with.
    const Variant fallback = Variant::Str("");
    PX_Variant(pPX, "InputString", InputString, VT_BSTR, fallback);
    PX_Variant(pPX, "InputSubString", InputSubString, VT_BSTR, fallback);
    PX_Bool(pPX, "CaseSensitive", m_bCaseSensitive, FALSE);
    PX_Bool(pPX, "IgnoreWhiteSpace", m_bIgnoreWhiteSpace, TRUE);
}

void CSubStringCtrl::OnResetState() {
    COVBaseMathCtrl::OnResetState();
    InputString = Variant::Str("");
    InputSubString = Variant::Str("");
    m_bSubString = FALSE;
    m_bNotSubString = FALSE;
    m_bCaseSensitive = FALSE;
    m_bIgnoreWhiteSpace = TRUE;
    m_nHelpContext = SUBSTRING_HELP_CONTEXT;
}
