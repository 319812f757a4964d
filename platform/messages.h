#pragma once
// The system message table: English texts for the result codes the blocks set
// and the dispatch and control errors a host shows. Codes without an entry have
// no text, so that callers apply their own fallbacks ("Divide by zero error" for
// system error 8000, "Unknown error" for the rest).
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/hresult.h"

struct SystemMessage {
    HRESULT code;           // as an HRESULT; system errors in their facility-7 form
    std::string_view text;  // without the line break the lookup appends
};

// Every entry of the table, one per code.
std::span<const SystemMessage> SystemMessageTable();

// The text of `code` followed by "\r\n", as the platform hands it out (callers
// trim). A plain system error number (1 to 0xFFFF) reads the same text as its
// HRESULT form: 14 and 0x8007000E both give the out-of-memory text, and 0 gives
// the text of success. No text (nullopt) for codes outside the table, among them
// system error 8000 in both forms.
std::optional<std::string> FormatMessage(HRESULT code);
