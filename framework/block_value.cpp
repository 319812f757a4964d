#include "framework/block_value.h"

#include <cctype>
#include <cstdlib>
#include <string>

void ConvertStringInput(Variant& value) {
    std::string text = value.vt() == VT_BSTR ? value.bstrVal() : std::string();
    value.Clear();
    const char* start = text.c_str();
    char* end = nullptr;
    long parsed = std::strtol(start, &end, 10);
    if (end != start) {
        // A block's long is 32 bits: saturate as strtol does at its own range.
        if (parsed > INT32_MAX) parsed = INT32_MAX;
        if (parsed < INT32_MIN) parsed = INT32_MIN;
        value = Variant::I4(static_cast<int32_t>(parsed));
        return;
    }
    size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    std::string trimmed = text.substr(first, last - first);
    for (char& c : trimmed)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    value = Variant::Bool(!(trimmed.empty() || trimmed == "false"));
}
