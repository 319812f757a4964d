#pragma once
// Comma-separated text as the host reads and writes it: the `for ... in
// FILE.csv` loop, the `csv FILE COLUMN` value and `export`.
#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

// The rows of `text`, each a list of cells. Cells are separated by commas;
// a cell in double quotes may hold commas, line breaks and "" for a quote.
// Rows end with LF or CRLF; blank lines are skipped. Never fails: a quote left
// open runs to the end of the text.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

// The cells of one column, below its header. `column` is a header name (any
// case), a 1-based column number, or empty for the first column. The first
// row is a header when its cell in the first column is no number; a column
// named by header needs one. Rows too short for the column give an empty
// cell. False with `*error` set when there is no such column.
bool CsvColumn(const std::vector<std::vector<std::string>>& rows, std::string_view column,
               std::vector<std::string>* cells, std::string* error);

// A cell as a value: an r8 when it is a number (blanks around it allowed),
// otherwise its text as a bstr.
Variant CsvCellValue(std::string_view cell);

// The cells as one array: r8 when every cell is a number, otherwise bstr.
// Lower bound 0.
Variant CsvArray(const std::vector<std::string>& cells);

// The cell text of a scalar: numbers as the host prints them without their
// kind, text quoted when it holds a comma, quote or line break.
std::string CsvCell(const Variant& value);

// CSV text of a one- or two-dimensional array under `header`: one column for
// a one-dimensional array; for two dimensions one column per value of the
// first index (headed `header[i]`) and one row per value of the second.
// False with `*error` set for anything that is not such an array.
bool ArrayToCsv(const Variant& array, std::string_view header, std::string* csv,
                std::string* error);
