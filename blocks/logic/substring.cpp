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

CSubStringCtrl::CSubStringCtrl() : CTextTestCtrl(3, 6, 7) {}

const DispatchTable& CSubStringCtrl::SubStringMembers() {
    using C = CSubStringCtrl;
    static const DispatchTable table(
        &COVBaseMathCtrl::BaseMembers(),
        // Inputs persist as text, so any kind survives; an input without a
        // text form is saved as the empty text a new block starts with.
        WithTextOptions(
            {
                Property<&C::GetInputString, &C::SetInputString>("InputString", 1,
                                                                 "Text to search in")
                    .Input(2)
                    .Persist<&C::InputString>("InputString", {VT_BSTR, 0, ""})
                    .Reset<&C::InputString>({VT_BSTR, 0, ""}),
                Property<&C::GetInputString, &C::SetInputString>("_InputString", DISPID_VALUE,
                                                                 "Text to search in")
                    .Hidden(),
                Property<&C::GetInputSubString, &C::SetInputSubString>("InputSubString", 2,
                                                                       "Text to search for")
                    .Input(3)
                    .Persist<&C::InputSubString>("InputSubString", {VT_BSTR, 0, ""})
                    .Reset<&C::InputSubString>({VT_BSTR, 0, ""}),
                Property<&C::GetSubString, &C::SetSubString>("SubString", 3,
                                                             "True if String contains SubString.")
                    .Reset<&C::m_bSubString>({VT_BOOL, 0})
                    .HiddenPut(),
                Property<&C::GetNotSubString, &C::SetNotSubString>(
                    "NotSubString", 4, "True if String does not contain SubString.")
                    .Reset<&C::m_bNotSubString>({VT_BOOL, 0})
                    .HiddenPut(),
                Method<&C::Operate>("Operate", 5, "Searches at once"),
            },
            6, 7));
    return table;
}

const EventTable& CSubStringCtrl::SubStringEvents() {
    static const EventTable table(&COVBaseMathCtrl::BaseEvents(),
                                  {kTrueEvent.Row(), kValueEvent.Row()});
    return table;
}

void CSubStringCtrl::SetSubString(bool value) {
    PutSetting(m_bSubString, value);
}

void CSubStringCtrl::SetNotSubString(bool value) {
    PutSetting(m_bNotSubString, value);
}

void CSubStringCtrl::Compute() {
    ClearStatus();
    m_bSubString = FALSE;
    m_bNotSubString = FALSE;
    const std::optional<bool> contains = TextContains(InputString, InputSubString, Options());
    if (!contains) {
        FinishMismatch(GROUP_SUBSTRING, GROUP_NOTSUBSTRING);
        return;
    }
    // A cancelled run leaves both outputs FALSE: they are only set after RunBlock.
    FinishDecided([&] {
        (*contains ? m_bSubString : m_bNotSubString) = TRUE;
        Fire(kValueEvent, *contains);
        if (*contains) {
            Fire(kTrueEvent);
        } else {
            Fire(kValidateGroup, GROUP_SUBSTRING);
        }
    });
}
