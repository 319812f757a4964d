#pragma once
// List files: the text files that hold a lookup block's table (one entry per
// line: key, delimiter, output) or a switch block's cases (up to eight values).
// Both are read the way a C text-mode line reader reads them: lines come in
// pieces of at most 254 characters, CRLF reads as LF, and a NUL byte ends the
// text of its piece. Text is UTF-8 and passes through byte for byte.
//
// The readers work on any byte source, so a file on disk and bytes in memory
// take the same road; memory use is bounded by one read buffer and the list,
// whatever the file holds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch.h"
#include "platform/hresult.h"

// The characters that may separate the values of a line (type library
// enumeration). A block takes any 8-bit value; these are the ones offered.
enum DELIMITER_TYPE : int16_t {
    ovTab = 9,
    ovSpace = 32,
    ovComma = 44,
    ovForeslash = 47,
    ovColon = 58,
    ovSemicolon = 59,
    ovBackslash = 92,
};

struct DelimiterDesc {
    DELIMITER_TYPE value;
    std::string_view name;      // "ovComma"
    std::string_view pageText;  // its entry in the property page's list
};
// In the order the property pages list them.
extern const DelimiterDesc kDelimiters[7];
extern const EnumDesc kDelimiterEnum;

constexpr size_t kListPieceLength = 254;   // longest piece of a line read at once
constexpr size_t kMaxLookupEntries = 512;  // a lookup list stops at this entry
constexpr size_t kMaxSwitchLines = 8;      // a switch list reads this many pieces
constexpr size_t kMaxSwitchCases = 8;      // ... and stops at this many values

// Hands out the pieces of text a text-mode line reader gets: each ends after
// its line end or after kListPieceLength characters, whichever comes first.
class ListReader {
  public:
    explicit ListReader(std::string_view bytes) : memory_(bytes) {}
    // Reads from the open file descriptor `fd` (not owned).
    explicit ListReader(int fd) : fd_(fd) {}
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    // The next piece as C string functions see it: without its line end (LF
    // or CR LF) and up to its first NUL byte; valid until the next call. False
    // at the end of the bytes (or on a read error, which Failed() then tells).
    bool Next(std::string_view& piece);
    bool Failed() const { return failed_; }

  private:
    bool Fill();
    // A piece that crosses the buffer's end, holds a CR or fills a piece.
    bool NextSpilled(std::string_view& piece);

    int fd_ = -1;
    std::string_view memory_;
    std::array<char, 16384> buffer_;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    std::string spill_;
    bool nulInBuffer_ = false;  // spares looking for one in every line
    bool failed_ = false;
};

// The values a list gives, numbers or texts. A lookup list keeps each entry as
// its key followed by its output (the storage order of a 2-by-n table); a
// switch list keeps one value per case.
struct ListValues {
    bool numeric = true;
    std::vector<double> numbers;     // the values of a numeric list
    std::vector<std::string> texts;  // the values of a text list
    size_t Count() const { return numeric ? numbers.size() : texts.size(); }
};

// Reads the number at the start of `text` as strtod does ("C" locale: leading
// white space, a sign, decimal or hexadecimal digits with exponent, inf, nan)
// into *value. Returns the count of characters it used, 0 when the text does
// not start with a number (*value is then unchanged).
size_t LeadingNumber(std::string_view text, double* value);

// A lookup list: each piece that contains `delimiter` (after trailing white
// space is removed) gives one entry, split at its first delimiter. The kind is
// decided by the first line that gives an entry: numeric when the line and the
// text after the delimiter both start with a number. Numeric entries take the
// leading number of each side; a line whose key or output does not start with
// a number, or whose key number takes the whole line, gives no entry. Text
// entries take both sides trimmed; an empty output gives no entry. Reading
// stops at the entry kMaxLookupEntries.
ListValues ParseLookupList(ListReader& reader, char delimiter);

// A switch list: up to kMaxSwitchLines pieces, blank ones included; each piece,
// trailing white space removed, splits at every delimiter into values trimmed
// on both sides (an empty field is an empty value, a trailing delimiter adds
// nothing), until kMaxSwitchCases values. Numeric when every value starts with
// a number (its leading number is kept), a text list otherwise.
ListValues ParseSwitchList(ListReader& reader, char delimiter);

using ListParser = ListValues (*)(ListReader&, char);

struct ListFileResult {
    HRESULT status = S_OK;  // ERROR_FILE_NOT_FOUND_HR, ERROR_READ_FAULT_HR, E_OUTOFMEMORY
    ListValues values;
};

// Reads the list file `path` (a platform path, see platform/paths.h) with
// `parse`. Status ERROR_FILE_NOT_FOUND_HR for an empty path; ERROR_READ_FAULT_HR
// when the file does not open, is a folder or fails while being read;
// E_OUTOFMEMORY when the list cannot be held. A file that opens and gives no
// value has status 0 and an empty list.
ListFileResult ReadListFile(std::string_view path, char delimiter, ListParser parse);
