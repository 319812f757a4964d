#include "blocks/routing/list_file.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/paths.h"

const DelimiterDesc kDelimiters[7] = {
    {ovComma, "ovComma", "44 - Comma ( , )"},
    {ovTab, "ovTab", "9 - Tab"},
    {ovSpace, "ovSpace", "32 - Space ( )"},
    {ovSemicolon, "ovSemicolon", "59 - Semicolon ( ; )"},
    {ovColon, "ovColon", "58 - Colon ( : )"},
    {ovForeslash, "ovForeslash", "47 - Foreslash ( / )"},
    {ovBackslash, "ovBackslash", "92 - Backslash ( \\ )"},
};

namespace {

// The enumeration the type library shows, taken from the table above.
const std::array<EnumValue, 7> kDelimiterValues = [] {
    std::array<EnumValue, 7> values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = {kDelimiters[i].name, kDelimiters[i].value};
    return values;
}();

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return TrimEnd(s);
}

// The text of a piece as C string functions see it: up to its first NUL, with
// trailing white space (the line end included) removed.
std::string_view LineText(const std::string& piece) {
    return TrimEnd(std::string_view(piece.c_str()));
}

std::string_view After(std::string_view s, size_t pos) {
    return pos == std::string_view::npos ? std::string_view() : s.substr(pos + 1);
}

// strtod itself, for the forms from_chars does not read (hexadecimal) and for
// the value of an out-of-range number (infinity or a denormal, as strtod gives).
double StrtodCopy(std::string_view number) {
    const std::string copy(number);
    return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

const EnumDesc kDelimiterEnum{"DELIMITER_TYPE", kDelimiterValues};

// --- reading pieces -----------------------------------------------------------

bool ListReader::Fill() {
    if (file_ == nullptr) {
        if (memory_.empty()) return false;
        pos_ = memory_.data();
        end_ = pos_ + memory_.size();
        memory_ = {};
        return true;
    }
    const size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (got == 0) {
        failed_ = std::ferror(file_) != 0;
        return false;
    }
    pos_ = buffer_.data();
    end_ = pos_ + got;
    return true;
}

bool ListReader::Next(std::string& piece) {
    piece.clear();
    while (piece.size() < kListPieceLength) {
        if (pos_ == end_ && !Fill()) break;
        const char c = *pos_++;
        if (c == '\r') {
            // CR LF is one line end; a CR alone is an ordinary character.
            if (pos_ == end_) Fill();
            if (pos_ != end_ && *pos_ == '\n') continue;
        }
        piece.push_back(c);
        if (c == '\n') break;
    }
    return !piece.empty();
}

// --- parsing ------------------------------------------------------------------

std::optional<double> LeadingNumber(std::string_view text, size_t* used) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    const size_t start = i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::string_view rest = text.substr(i);
    if (rest.empty() || rest[0] == '+' || rest[0] == '-') return std::nullopt;
    if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        const std::string copy(text.substr(start));
        char* end = nullptr;
        const double value = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str()) return std::nullopt;
        if (used) *used = start + static_cast<size_t>(end - copy.c_str());
        return value;
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec == std::errc::invalid_argument) return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        value = StrtodCopy(std::string_view(rest.data(), ptr - rest.data()));
    }
    if (used) *used = static_cast<size_t>(ptr - text.data());
    return negative ? -value : value;
}

ListValues ParseLookupList(ListReader& reader, char delimiter) {
    ListValues list;
    std::string piece;
    size_t entries = 0;
    while (entries < kMaxLookupEntries && reader.Next(piece)) {
        const std::string_view line = LineText(piece);
        const size_t split = line.find(delimiter);
        if (split == std::string_view::npos) continue;
        const std::string_view output = After(line, split);
        // Until the first entry every delimited line decides the kind anew.
        if (entries == 0) list.numeric = LeadingNumber(line) && LeadingNumber(output);
        if (list.numeric) {
            size_t used = 0;
            const std::optional<double> key = LeadingNumber(line, &used);
            const std::optional<double> value = LeadingNumber(output);
            if (!key || !value || used == line.size()) continue;
            list.numbers.push_back(*key);
            list.numbers.push_back(*value);
        } else {
            const std::string_view value = Trim(output);
            if (value.empty()) continue;
            list.texts.emplace_back(Trim(line.substr(0, split)));
            list.texts.emplace_back(value);
        }
        ++entries;
    }
    return list;
}

ListValues ParseSwitchList(ListReader& reader, char delimiter) {
    std::vector<std::string> values;
    std::string piece;
    for (size_t lines = 0; lines < kMaxSwitchLines && values.size() < kMaxSwitchCases; ++lines) {
        if (!reader.Next(piece)) break;
        std::string_view rest = LineText(piece);
        while (!rest.empty() && values.size() < kMaxSwitchCases) {
            const size_t split = rest.find(delimiter);
            values.emplace_back(Trim(rest.substr(0, split)));
            rest = After(rest, split);
        }
    }
    ListValues list;
    for (const std::string& v : values) {
        if (!LeadingNumber(v)) list.numeric = false;
    }
    if (list.numeric) {
        for (const std::string& v : values)
            list.numbers.push_back(*LeadingNumber(v));
    } else {
        list.texts = std::move(values);
    }
    return list;
}

// --- files ----------------------------------------------------------------------

ListFileResult ReadListFile(std::string_view path, char delimiter, ListParser parse) {
    ListFileResult result;
    if (path.empty()) {
        result.status = ERROR_FILE_NOT_FOUND_HR;
        return result;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(OpenPlatformFile(path, "rt"), &std::fclose);
    struct stat info {};
    // A folder opens for reading on POSIX systems but holds no lines.
    if (!file || fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        result.status = ERROR_READ_FAULT_HR;
        return result;
    }
    try {
        ListReader reader(file.get());
        result.values = parse(reader, delimiter);
        if (reader.Failed()) result = {ERROR_READ_FAULT_HR, {}};
    } catch (const std::bad_alloc&) {
        result = {E_OUTOFMEMORY, {}};
    }
    return result;
}
