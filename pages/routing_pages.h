#pragma once
// The table pages of the lookup and switch blocks edit a table as text, one
// entry per line. These conversions are the whole of those pages' logic.
#include <string>
#include <string_view>

#include "platform/variant.h"

// The page text of a lookup table: a 2-by-n table gives one line per entry,
// key, delimiter, output and "\r\n" (string tables as they are, any other
// table read as doubles and printed with "%g"); a non-empty string names a
// list file, whose lines that hold the delimiter are shown (trailing blanks
// removed, "\r\n" appended); anything else gives the empty text.
std::string LookupTableText(const Variant& table, char delimiter);
// The table a page text describes: every line holding the delimiter is an
// entry (key before the first delimiter, output after it, both trimmed). A
// table of doubles (2 by n) when every key and output is entirely a number,
// otherwise of strings; the empty string when no line gives an entry.
Variant LookupTableFromText(std::string_view text, char delimiter);

// The page text of a switch case list: one line per element of an array
// (strings as they are, other elements as doubles with "%g"), every line of
// the list file a non-empty string names, or the empty text.
std::string SwitchListText(const Variant& list);
// The case list a page text describes: each non-empty line gives one value,
// or one per delimited field; every value trimmed; at most eight. An array of
// doubles when every value is entirely a number, otherwise of strings; the
// empty string when the text gives no value.
Variant SwitchListFromText(std::string_view text, char delimiter);
