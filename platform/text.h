#pragma once
// Small text helpers shared by the platform: ASCII case folding, name
// comparison and trimming. Names here (members, registry keys, properties,
// Boolean words) are ASCII, so folding only the ASCII letters is enough and
// leaves UTF-8 bytes alone.
#include <algorithm>
#include <string_view>

// White space as the C library's isspace sees it in the "C" locale.
inline constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";

// The blanks of our own line formats (registry file, property bag).
inline constexpr std::string_view kSpacesAndTabs = " \t";

constexpr bool IsBlank(char c) {
    return kWhiteSpace.find(c) != std::string_view::npos;
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case-insensitive comparison of ASCII names.
constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// `s` without the characters of `blanks` at either end.
constexpr std::string_view Trim(std::string_view s, std::string_view blanks = kWhiteSpace) {
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}
