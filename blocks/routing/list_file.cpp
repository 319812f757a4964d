#include "blocks/routing/list_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
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

// White space as isspace sees it in the "C" locale.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
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

std::string_view After(std::string_view s, size_t pos) {
    return pos == std::string_view::npos ? std::string_view() : s.substr(pos + 1);
}

// An open file descriptor, closed when it goes.
struct FileHandle {
    explicit FileHandle(int f) : fd(f) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd >= 0) ::close(fd);
    }
    const int fd;
};

// strtod itself on `number` (which starts `offset` characters into the text),
// for what from_chars does not read as strtod does: hexadecimal numbers and
// numbers beyond the double range.
[[gnu::noinline]] size_t StrtodPrefix(std::string_view number, size_t offset, double* value) {
    const std::string copy(number);
    char* stop = nullptr;
    const double parsed = std::strtod(copy.c_str(), &stop);
    if (stop == copy.c_str()) return 0;
    *value = parsed;
    return offset + static_cast<size_t>(stop - copy.c_str());
}

}  // namespace

const EnumDesc kDelimiterEnum{"DELIMITER_TYPE", kDelimiterValues};

// --- reading pieces -----------------------------------------------------------

bool ListReader::Fill() {
    if (fd_ < 0) {
        if (memory_.empty()) return false;
        pos_ = memory_.data();
        end_ = pos_ + memory_.size();
        memory_ = {};
        nulInBuffer_ = std::memchr(pos_, '\0', end_ - pos_) != nullptr;
        return true;
    }
    ssize_t got;
    do {
        got = ::read(fd_, buffer_.data(), buffer_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        failed_ = got < 0;
        return false;
    }
    pos_ = buffer_.data();
    end_ = pos_ + got;
    nulInBuffer_ = std::memchr(pos_, '\0', got) != nullptr;
    return true;
}

bool ListReader::Next(std::string_view& piece) {
    if (pos_ == end_ && !Fill()) return false;
    // Most lines lie whole in the buffer and fit in one piece: hand them out
    // where they are.
    const size_t look = std::min(kListPieceLength + 1, static_cast<size_t>(end_ - pos_));
    if (const char* lf = static_cast<const char*>(std::memchr(pos_, '\n', look))) {
        size_t length = static_cast<size_t>(lf - pos_);
        if (length > 0 && lf[-1] == '\r') --length;
        if (length < kListPieceLength) {
            piece = {pos_, length};
            pos_ = lf + 1;
            if (nulInBuffer_) piece = piece.substr(0, piece.find('\0'));
            return true;
        }
    }
    return NextSpilled(piece);
}

bool ListReader::NextSpilled(std::string_view& piece) {
    spill_.clear();
    bool ended = false;  // by a line end
    while (spill_.size() < kListPieceLength && !ended) {
        if (pos_ == end_ && !Fill()) break;
        const size_t window =
            std::min(kListPieceLength - spill_.size(), static_cast<size_t>(end_ - pos_));
        const char* lf = static_cast<const char*>(std::memchr(pos_, '\n', window));
        const size_t span = lf != nullptr ? static_cast<size_t>(lf - pos_) : window;
        const char* cr = static_cast<const char*>(std::memchr(pos_, '\r', span));
        if (cr == nullptr) {
            spill_.append(pos_, span);
            pos_ += span + (lf != nullptr ? 1 : 0);
            ended = lf != nullptr;
            continue;
        }
        spill_.append(pos_, cr);
        pos_ = cr + 1;
        // CR LF is one line end; a CR alone is an ordinary character.
        if (pos_ == end_) Fill();
        if (pos_ != end_ && *pos_ == '\n') {
            ++pos_;
            ended = true;
        } else {
            spill_.push_back('\r');
        }
    }
    piece = std::string_view(spill_).substr(0, spill_.find('\0'));
    return ended || !spill_.empty();
}

// --- parsing ------------------------------------------------------------------

size_t LeadingNumber(std::string_view text, double* value) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    while (p != end && IsSpace(*p))
        ++p;
    const char* const start = p;
    if (p != end && (*p == '+' || *p == '-')) ++p;
    if (p == end || *p == '+' || *p == '-') return 0;
    const size_t offset = static_cast<size_t>(start - begin);
    if (*p == '0' && end - p > 1 && (p[1] == 'x' || p[1] == 'X')) {
        return StrtodPrefix(text.substr(offset), offset, value);
    }
    double number = 0;
    const auto [stop, ec] = std::from_chars(p, end, number);
    if (ec == std::errc::invalid_argument) return 0;
    // Beyond the double range strtod gives infinity or a denormal.
    if (ec == std::errc::result_out_of_range)
        return StrtodPrefix(text.substr(offset), offset, value);
    *value = *start == '-' ? -number : number;
    return static_cast<size_t>(stop - begin);
}

ListValues ParseLookupList(ListReader& reader, char delimiter) {
    ListValues list;
    std::string_view piece;
    size_t entries = 0;
    while (entries < kMaxLookupEntries && reader.Next(piece)) {
        const std::string_view line = TrimEnd(piece);
        const size_t split = line.find(delimiter);
        if (split == std::string_view::npos) continue;
        const std::string_view output = After(line, split);
        // Until the first entry every delimited line decides the kind anew.
        double key = 0, value = 0;
        const size_t keyLength = LeadingNumber(line, &key);
        const size_t valueLength = LeadingNumber(output, &value);
        if (entries == 0) list.numeric = keyLength != 0 && valueLength != 0;
        if (entries == 0) {
            list.numbers.reserve(list.numeric ? 2 * kMaxLookupEntries : 0);
        }
        if (list.numeric) {
            if (keyLength == 0 || valueLength == 0 || keyLength == line.size()) continue;
            list.numbers.push_back(key);
            list.numbers.push_back(value);
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
    std::string_view piece;
    for (size_t lines = 0; lines < kMaxSwitchLines && values.size() < kMaxSwitchCases; ++lines) {
        if (!reader.Next(piece)) break;
        std::string_view rest = TrimEnd(piece);
        while (!rest.empty() && values.size() < kMaxSwitchCases) {
            const size_t split = rest.find(delimiter);
            values.emplace_back(Trim(rest.substr(0, split)));
            rest = After(rest, split);
        }
    }
    ListValues list;
    for (const std::string& v : values) {
        double number = 0;
        list.numeric = list.numeric && LeadingNumber(v, &number) != 0;
        list.numbers.push_back(number);
    }
    if (!list.numeric) {
        list.numbers.clear();
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
    const std::string mapped = MapPlatformPath(path);
    const FileHandle file(mapped.empty() ? -1 : ::open(mapped.c_str(), O_RDONLY | O_CLOEXEC));
    // A folder opens for reading too; reading it fails, as a read fault.
    if (file.fd < 0) {
        result.status = ERROR_READ_FAULT_HR;
        return result;
    }
    try {
        ListReader reader(file.fd);
        result.values = parse(reader, delimiter);
        if (reader.Failed()) result = {ERROR_READ_FAULT_HR, {}};
    } catch (const std::bad_alloc&) {
        result = {E_OUTOFMEMORY, {}};
    }
    return result;
}
