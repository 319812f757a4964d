#pragma once
// Status codes and their messages, the error log.
#include <cstdint>
#include <string>

#include "platform/hresult.h"

inline constexpr const char* kNoErrors = "No Errors";
inline constexpr const char* kDivideByZeroText = "Divide by zero error";
inline constexpr const char* kUnknownErrorText = "Unknown error";
// Host install folder and log folder when the registry names none.
inline constexpr const char* kDefaultHostFolder = "c:\\OV\\Plexa";

// Message of a negative status code: the system's text with trailing white
// space trimmed, else "Divide by zero error" for 0x80071F40 and "Unknown error"
// for any other code.
std::string StatusText(int32_t code);

// Appends "time stamp, display name, code, message" to Error.txt in the host's
// log folder (registry "SOFTWARE\Orvane Inc.\Plexa" value "PATH", else the
// default folder). Never fails the caller: an unwritable log is skipped.
void WriteErrorLog(const std::string& displayName, int32_t code, const std::string& message);
