#include "host/csv.h"

#include <charconv>
#include <cmath>

#include "platform/dispatch.h"
#include "platform/safearray.h"
#include "platform/value_text.h"

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool CellNumber(std::string_view cell, double* value) {
    cell = TrimBlanks(cell);
    if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
    if (cell.empty()) return false;
    auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), *value);
    return ec == std::errc() && end == cell.data() + cell.size();
}

}  // namespace

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string cell;
    bool quoted = false, rowHasText = false;
    auto endRow = [&] {
        if (rowHasText || !cell.empty() || !row.empty()) {
            row.push_back(std::move(cell));
            rows.push_back(std::move(row));
        }
        row.clear();
        cell.clear();
        rowHasText = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c != '"') {
                cell += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = rowHasText = true;
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell.clear();
            rowHasText = true;
        } else if (c == '\n') {
            endRow();
        } else if (c != '\r') {
            cell += c;
        }
    }
    endRow();
    return rows;
}

bool CsvColumn(const std::vector<std::vector<std::string>>& rows, std::string_view column,
               std::vector<std::string>* cells, std::string* error) {
    double unused = 0;
    bool header = !rows.empty() && !rows[0].empty() && !CellNumber(rows[0][0], &unused);
    size_t index = 0;
    size_t number = 0;
    auto [end, ec] = std::from_chars(column.data(), column.data() + column.size(), number);
    if (!column.empty() && ec == std::errc() && end == column.data() + column.size()) {
        if (number == 0) {
            *error = "column 0: columns count from 1";
            return false;
        }
        index = number - 1;
    } else if (!column.empty()) {
        size_t found = header ? rows[0].size() : 0;
        for (size_t i = 0; header && i < rows[0].size() && found == rows[0].size(); ++i) {
            if (NamesEqual(TrimBlanks(rows[0][i]), column)) found = i;
        }
        if (!header || found == rows[0].size()) {
            *error = "no column named `" + std::string(column) + "`";
            return false;
        }
        index = found;
    }
    size_t widest = 0;
    for (const auto& row : rows)
        widest = std::max(widest, row.size());
    if (index >= widest) {
        *error = "no column " + std::to_string(index + 1) + " (the widest row has " +
                 std::to_string(widest) + ")";
        return false;
    }
    cells->clear();
    for (size_t r = header ? 1 : 0; r < rows.size(); ++r)
        cells->push_back(index < rows[r].size() ? rows[r][index] : std::string());
    return true;
}

Variant CsvCellValue(std::string_view cell) {
    double value = 0;
    return CellNumber(cell, &value) ? Variant::R8(value) : Variant::Str(std::string(cell));
}

Variant CsvArray(const std::vector<std::string>& cells) {
    std::vector<double> numbers(cells.size());
    bool allNumbers = true;
    for (size_t i = 0; i < cells.size() && allNumbers; ++i)
        allNumbers = CellNumber(cells[i], &numbers[i]);
    SafeArrayPtr array =
        SafeArrayCreateVector(allNumbers ? VT_R8 : VT_BSTR, 0, static_cast<uint32_t>(cells.size()));
    if (!array) return Variant();
    for (size_t i = 0; i < cells.size(); ++i) {
        array->SetElementAt(i, allNumbers ? Variant::R8(numbers[i]) : Variant::Str(cells[i]));
    }
    return Variant::Array(std::move(array));
}

std::string CsvCell(const Variant& value) {
    if (value.vt() == VT_BSTR) {
        const std::string& text = value.bstrVal();
        if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
        std::string quoted = "\"";
        for (char c : text)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    }
    // The typed text without its kind: `r8 2.5` is 2.5, `bool true` is true.
    std::string typed = FormatValue(value);
    size_t space = typed.find(' ');
    return space == std::string::npos ? std::string() : typed.substr(space + 1);
}

bool ArrayToCsv(const Variant& value, std::string_view header, std::string* csv,
                std::string* error) {
    const SafeArray* array = value.IsArray() ? value.parray() : nullptr;
    if (array == nullptr || (array->Dims() != 1 && array->Dims() != 2)) {
        *error = "not an array of one or two dimensions: " + FormatValue(value);
        return false;
    }
    const SAFEARRAYBOUND first = array->Bound(0);
    const bool twoDims = array->Dims() == 2;
    const uint32_t columns = twoDims ? first.cElements : 1;
    const uint32_t rows = twoDims ? array->Bound(1).cElements : first.cElements;
    std::string text;
    for (uint32_t c = 0; c < columns; ++c) {
        text += c ? "," : "";
        text += std::string(header);
        if (twoDims) text += "[" + std::to_string(int64_t{first.lLbound} + c) + "]";
    }
    text += '\n';
    // Storage runs over the first index fastest: element (c, r) is at r * columns + c.
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            text += c ? "," : "";
            text += CsvCell(array->ElementAt(size_t{r} * columns + c));
        }
        text += '\n';
    }
    *csv = std::move(text);
    return true;
}
