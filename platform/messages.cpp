#include "platform/messages.h"

#include <algorithm>
#include <array>

namespace {

// The platform's own wording, period or not, as its message table has it. The
// control-framework and self-registration codes have no entry in the system
// table; their texts are the ones the control framework and its registration
// use, so that a host shows something meaningful for them.
constexpr std::array kMessages = {
    SystemMessage{S_OK, "The operation completed successfully."},
    SystemMessage{HRESULT_FROM_WIN32(1), "Incorrect function."},
    SystemMessage{ERROR_FILE_NOT_FOUND_HR, "The system cannot find the file specified."},
    SystemMessage{E_ACCESSDENIED, "Access is denied."},
    SystemMessage{ERROR_INVALID_DATA_HR, "The data is invalid."},
    SystemMessage{E_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    SystemMessage{ERROR_READ_FAULT_HR, "The system cannot read from the specified device."},
    SystemMessage{E_INVALIDARG, "The parameter is incorrect."},
    SystemMessage{E_NOTIMPL, "Not implemented"},
    SystemMessage{E_NOINTERFACE, "No such interface supported"},
    SystemMessage{E_POINTER, "Invalid pointer"},
    SystemMessage{E_FAIL, "Unspecified error"},
    SystemMessage{E_UNEXPECTED, "Catastrophic failure"},
    SystemMessage{DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    SystemMessage{DISP_E_MEMBERNOTFOUND, "Member not found."},
    SystemMessage{DISP_E_PARAMNOTFOUND, "Parameter not found."},
    SystemMessage{DISP_E_TYPEMISMATCH, "Type mismatch."},
    SystemMessage{DISP_E_UNKNOWNNAME, "Unknown name."},
    SystemMessage{DISP_E_NONAMEDARGS, "No named arguments."},
    SystemMessage{DISP_E_BADVARTYPE, "Bad variable type."},
    SystemMessage{DISP_E_EXCEPTION, "Exception occurred."},
    SystemMessage{DISP_E_OVERFLOW, "Out of present range."},
    SystemMessage{DISP_E_BADINDEX, "Invalid index."},
    SystemMessage{DISP_E_ARRAYISLOCKED, "Memory is locked."},
    SystemMessage{DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    SystemMessage{DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
    SystemMessage{TYPE_E_TYPEMISMATCH, "Type mismatch."},
    SystemMessage{TYPE_E_OUTOFBOUNDS, "Invalid number of arguments."},
    SystemMessage{CTL_E_SETNOTSUPPORTED, "Set not supported (read-only property)"},
    SystemMessage{CTL_E_GETNOTSUPPORTED, "Get not supported (write-only property)"},
    SystemMessage{SELFREG_E_TYPELIB, "Failed to register/unregister type library."},
    SystemMessage{SELFREG_E_CLASS, "Failed to register/unregister class."},
};

// One entry per code, system errors only in their HRESULT form (the lookup
// maps plain numbers there), each text printable and without a trailing blank.
constexpr bool WellFormed(std::span<const SystemMessage> table) {
    for (size_t i = 0; i < table.size(); ++i) {
        const SystemMessage& entry = table[i];
        if (entry.code > 0 && entry.code <= 0xFFFF) return false;
        if (entry.text.empty() || entry.text.back() == ' ') return false;
        for (char c : entry.text) {
            if (static_cast<unsigned char>(c) < 0x20) return false;
        }
        for (size_t j = 0; j < i; ++j) {
            if (table[j].code == entry.code) return false;
        }
    }
    return true;
}
static_assert(WellFormed(kMessages));

// System error numbers and their facility-7 HRESULTs share one entry, as on the
// platform, where both read the same message resource.
HRESULT TableCode(HRESULT code) {
    bool systemErrorNumber = code > 0 && code <= 0xFFFF;
    return systemErrorNumber ? HRESULT_FROM_WIN32(static_cast<uint32_t>(code)) : code;
}

}  // namespace

std::span<const SystemMessage> SystemMessageTable() {
    return kMessages;
}

std::optional<std::string> FormatMessage(HRESULT code) {
    HRESULT key = TableCode(code);
    auto entry = std::find_if(kMessages.begin(), kMessages.end(),
                              [key](const SystemMessage& m) { return m.code == key; });
    if (entry == kMessages.end()) return std::nullopt;
    std::string text(entry->text);
    text += "\r\n";
    return text;
}
