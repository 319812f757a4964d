#include "platform/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <utility>

#include <sys/stat.h>
#include <time.h>

#include "platform/paths.h"
#include "platform/text.h"

namespace {

struct RootName {
    HKEY root;
    std::string_view name;          // as written to the file
    std::string_view abbreviation;  // also accepted when reading
};
constexpr std::array kRootNames = {
    RootName{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    RootName{HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    RootName{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
};

constexpr char kSeparator = '\\';
constexpr size_t kMaxFileSize = 16u << 20;

// Keys are ordered by their upper-cased paths (the order the file is written in).
std::string Folded(std::string_view s) {
    std::string folded(s);
    std::transform(folded.begin(), folded.end(), folded.begin(), UpperAscii);
    return folded;
}

bool IsControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// Every name of a key path is non-empty and free of control characters.
bool IsValidSubKey(std::string_view subKey) {
    if (subKey.empty()) return true;
    if (std::any_of(subKey.begin(), subKey.end(), IsControl)) return false;
    if (subKey.front() == kSeparator || subKey.back() == kSeparator) return false;
    std::array<char, 2> doubled{kSeparator, kSeparator};
    return subKey.find(std::string_view(doubled.data(), doubled.size())) == std::string_view::npos;
}

// The full path of a key (root name, then the key names), or nullopt when the
// root or the key path is invalid.
std::optional<std::string> KeyPath(HKEY root, std::string_view subKey) {
    auto entry = std::find_if(kRootNames.begin(), kRootNames.end(),
                              [root](const RootName& r) { return r.root == root; });
    if (entry == kRootNames.end() || !IsValidSubKey(subKey)) return std::nullopt;
    std::string path(entry->name);
    if (!subKey.empty()) {
        path += kSeparator;
        path += subKey;
    }
    return path;
}

// Reads the inside of a key line ("HKLM\SOFTWARE\Orvane").
std::optional<std::string> KeyPathFromText(std::string_view text) {
    size_t separator = text.find(kSeparator);
    std::string_view rootText = text.substr(0, separator);
    std::string_view subKey;
    if (separator != std::string_view::npos) {
        subKey = text.substr(separator + 1);
        if (subKey.empty()) return std::nullopt;  // "HKLM\" names no key
    }
    for (const RootName& r : kRootNames) {
        if (EqualsIgnoringCase(rootText, r.name) || EqualsIgnoringCase(rootText, r.abbreviation)) {
            return KeyPath(r.root, subKey);
        }
    }
    return std::nullopt;
}

// One escape per character that a quoted token spells with a backslash; any
// other control character is written as \xHH.
struct Escape {
    char raw;
    char letter;
};
constexpr std::array kEscapes = {
    Escape{'\\', '\\'}, Escape{'"', '"'}, Escape{'\n', 'n'}, Escape{'\r', 'r'}, Escape{'\t', 't'},
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted token at the start of `s` (which starts with '"') and removes
// it from `s`; nullopt when it is not terminated or holds a bad escape.
std::optional<std::string> TakeQuoted(std::string_view& s) {
    std::string out;
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"') {
            s.remove_prefix(i);
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i >= s.size()) return std::nullopt;
        char letter = s[i++];
        auto escape = std::find_if(kEscapes.begin(), kEscapes.end(),
                                   [letter](const Escape& e) { return e.letter == letter; });
        if (escape != kEscapes.end()) {
            out += escape->raw;
            continue;
        }
        if (letter != 'x' || i + 2 > s.size()) return std::nullopt;
        int high = HexDigit(s[i]);
        int low = HexDigit(s[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return std::nullopt;
}

std::string Quoted(std::string_view s) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : s) {
        auto escape = std::find_if(kEscapes.begin(), kEscapes.end(),
                                   [c](const Escape& e) { return e.raw == c; });
        if (escape != kEscapes.end()) {
            out += '\\';
            out += escape->letter;
        } else if (IsControl(c)) {
            auto byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

// Whether a token would not read back as written bare.
bool NeedsQuotes(std::string_view s) {
    return std::any_of(s.begin(), s.end(), IsControl) || (!s.empty() && s.front() == '"') ||
           s != Trim(s, kSpacesAndTabs);
}

std::string NameText(std::string_view name) {
    if (name.empty()) return "@";
    bool special = name == "@" || name.find('=') != std::string_view::npos || name.front() == '[' ||
                   name.front() == '#' || name.front() == ';';
    return special || NeedsQuotes(name) ? Quoted(name) : std::string(name);
}

std::string DataText(std::string_view data) {
    return NeedsQuotes(data) ? Quoted(data) : std::string(data);
}

// A value line, or nullopt when it does not parse.
std::optional<RegValue> ParseValueLine(std::string_view line) {
    RegValue value;
    if (line.front() == '"') {
        std::optional<std::string> name = TakeQuoted(line);
        line = Trim(line, kSpacesAndTabs);
        if (!name || line.empty() || line.front() != '=') return std::nullopt;
        value.name = std::move(*name);
        line.remove_prefix(1);
    } else {
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        std::string_view name = Trim(line.substr(0, equals), kSpacesAndTabs);
        if (name.empty()) return std::nullopt;
        if (name != "@") value.name = name;
        line.remove_prefix(equals + 1);
    }
    line = Trim(line, kSpacesAndTabs);
    if (line.empty() || line.front() != '"') {
        value.data = line;
        return value;
    }
    std::optional<std::string> data = TakeQuoted(line);
    if (!data || !line.empty()) return std::nullopt;
    value.data = std::move(*data);
    return value;
}

void SetValue(std::vector<RegValue>& values, RegValue value) {
    auto existing = std::find_if(values.begin(), values.end(), [&value](const RegValue& v) {
        return EqualsIgnoringCase(v.name, value.name);
    });
    if (existing != values.end()) {
        existing->data = std::move(value.data);
    } else {
        values.push_back(std::move(value));
    }
}

}  // namespace

RegistryHive RegistryHive::Parse(std::string_view text) {
    RegistryHive hive;
    Key* current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line, kSpacesAndTabs);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            std::optional<std::string> path;
            if (line.size() >= 2 && line.back() == ']') {
                path = KeyPathFromText(line.substr(1, line.size() - 2));
            }
            current = path ? hive.Ensure(*path) : nullptr;
            continue;
        }
        if (current == nullptr) continue;
        if (std::optional<RegValue> value = ParseValueLine(line)) {
            SetValue(current->values, std::move(*value));
        }
    }
    return hive;
}

std::string RegistryHive::Format() const {
    std::string text = "# TallyKit registry: [key] lines, each followed by its name=data lines\n";
    for (const auto& [folded, key] : keys_) {
        text += "\n[" + key.path + "]\n";
        for (const RegValue& value : key.values) {
            text += NameText(value.name) + '=' + DataText(value.data) + '\n';
        }
    }
    return text;
}

RegistryHive::Key* RegistryHive::Ensure(const std::string& path) {
    // Ancestors first, so that every key's parent exists as on the platform;
    // the root itself only when it is the key asked for.
    size_t next = path.find(kSeparator);
    while (next != std::string::npos) {
        size_t end = path.find(kSeparator, next + 1);
        std::string ancestor = path.substr(0, end);
        keys_.try_emplace(Folded(ancestor), Key{ancestor, {}});
        next = end;
    }
    return &keys_.try_emplace(Folded(path), Key{path, {}}).first->second;
}

std::optional<std::string> RegistryHive::Read(HKEY root, std::string_view subKey,
                                              std::string_view valueName) const {
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path) return std::nullopt;
    auto key = keys_.find(Folded(*path));
    if (key == keys_.end()) return std::nullopt;
    const std::vector<RegValue>& values = key->second.values;
    auto value = std::find_if(values.begin(), values.end(), [valueName](const RegValue& v) {
        return EqualsIgnoringCase(v.name, valueName);
    });
    if (value == values.end()) return std::nullopt;
    return value->data;
}

bool RegistryHive::KeyExists(HKEY root, std::string_view subKey) const {
    std::optional<std::string> path = KeyPath(root, subKey);
    return path && (subKey.empty() || keys_.count(Folded(*path)) > 0);
}

std::vector<std::string> RegistryHive::SubKeys(HKEY root, std::string_view subKey) const {
    std::vector<std::string> names;
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path) return names;
    std::string prefix = Folded(*path) + kSeparator;
    // A key's descendants sit together in the folded order, right after the prefix.
    for (auto it = keys_.lower_bound(prefix);
         it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find(kSeparator, prefix.size()) == std::string::npos) {
            names.push_back(it->second.path.substr(prefix.size()));
        }
    }
    return names;
}

std::vector<RegValue> RegistryHive::Values(HKEY root, std::string_view subKey) const {
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path) return {};
    auto key = keys_.find(Folded(*path));
    return key == keys_.end() ? std::vector<RegValue>{} : key->second.values;
}

bool RegistryHive::CreateKey(HKEY root, std::string_view subKey) {
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path) return false;
    Ensure(*path);
    return true;
}

bool RegistryHive::Write(HKEY root, std::string_view subKey, std::string_view valueName,
                         std::string_view data) {
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path) return false;
    SetValue(Ensure(*path)->values, RegValue{std::string(valueName), std::string(data)});
    return true;
}

bool RegistryHive::DeleteKey(HKEY root, std::string_view subKey) {
    std::optional<std::string> path = KeyPath(root, subKey);
    if (!path || subKey.empty() || keys_.erase(Folded(*path)) == 0) return false;
    std::string prefix = Folded(*path) + kSeparator;
    auto first = keys_.lower_bound(prefix);
    auto last = first;
    while (last != keys_.end() && last->first.compare(0, prefix.size(), prefix) == 0)
        ++last;
    keys_.erase(first, last);
    return true;
}

namespace {

enum class FileState { Missing, Loaded, Unreadable };

struct FileText {
    FileState state = FileState::Unreadable;
    std::string text;
};

FileText ReadRegistryFile(const std::string& path) {
    namespace fs = std::filesystem;
    FileText file;
    if (path.empty()) return file;
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        file.state = FileState::Missing;
        return file;
    }
    // Anything but a plain file (a folder, a pipe that would block) is unreadable.
    if (error || status.type() != fs::file_type::regular) return file;
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return file;
    std::array<char, 65536> chunk;
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0 &&
           file.text.size() + got <= kMaxFileSize) {
        file.text.append(chunk.data(), got);
    }
    bool complete = std::feof(in) && !std::ferror(in);
    std::fclose(in);
    if (complete) file.state = FileState::Loaded;
    return file;
}

// Writes a sibling temporary file and renames it over `path`, so that a reader
// sees either the old file or the new one, never a part.
bool ReplaceFile(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    std::random_device entropy;
    std::string temporary =
        path + ".tmp-" + std::to_string(entropy()) + "-" + std::to_string(entropy());
    FILE* out = std::fopen(temporary.c_str(), "wbx");
    if (out == nullptr) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fclose(out) == 0 && written;
    fs::file_status old = fs::status(target, error);
    if (written && !error) fs::permissions(temporary, old.permissions(), error);
    if (written) {
        fs::rename(temporary, target, error);
        written = !error;
    }
    if (!written) fs::remove(temporary, error);
    return written;
}

// Serialises this process's writers; each write is a read-change-replace.
std::mutex g_writeMutex;

// Counts this process's writes, so that a read after one never trusts a
// cached hive: a rewritten file may reuse the old inode, size and time stamp.
std::atomic<uint64_t> g_writes{0};

template <class Change>
bool ChangeRegistryFile(Change change) {
    std::lock_guard lock(g_writeMutex);
    std::string path = RegistryFilePath();
    FileText file = ReadRegistryFile(path);
    if (file.state == FileState::Unreadable) return false;
    RegistryHive hive = RegistryHive::Parse(file.text);
    if (!change(hive)) return false;
    bool written = ReplaceFile(path, hive.Format());
    ++g_writes;
    return written;
}

// What identifies one version of the file: our writers replace it by a
// rename (a new inode), and an editor that rewrites it in place changes its
// size or its time stamps.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;  // nanoseconds since the epoch
    int64_t changed = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

int64_t Nanoseconds(const timespec& t) {
    return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

FileStamp StampOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
    return {true,
            info.st_dev,
            info.st_ino,
            info.st_size,
            Nanoseconds(info.st_mtim),
            Nanoseconds(info.st_ctim)};
}

int64_t NowNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// File time stamps advance by the kernel's clock tick, so two rewrites of the
// same size within one tick look alike; a stamp this close to the moment we
// read the file does not prove that the text is still what we read.
constexpr int64_t kStampResolution = 100'000'000;  // 100 ms, well above a tick

// The hive as last read, shared by every reader of the process. Blocks read
// the registry in their constructor, and parsing the file each time made
// block creation several times slower; a stat per read is what remains.
struct CachedHive {
    std::mutex mutex;
    bool loaded = false;
    std::string path;
    FileStamp stamp;
    int64_t readAt = 0;
    uint64_t writes = 0;  // g_writes when it was read
    std::string text;
    RegistryHive hive;

    bool Trusted(const std::string& currentPath, const FileStamp& current) const {
        return loaded && currentPath == path && current == stamp && writes == g_writes &&
               std::max(stamp.modified, stamp.changed) + kStampResolution < readAt;
    }
};

CachedHive g_cache;

// Calls `read` with the file's hive as it is now. The file is read again only
// when its stamp has changed or is too recent to be trusted, and parsed again
// only when its text differs from the last one.
template <class Read>
auto WithCurrentHive(Read read) {
    std::lock_guard lock(g_cache.mutex);
    std::string path = RegistryFilePath();
    FileStamp stamp = StampOf(path);
    if (!g_cache.Trusted(path, stamp)) {
        const int64_t readAt = NowNanoseconds();
        FileText file = ReadRegistryFile(path);
        if (!g_cache.loaded || path != g_cache.path || file.text != g_cache.text) {
            g_cache.hive = RegistryHive::Parse(file.text);
            g_cache.text = std::move(file.text);
            g_cache.path = std::move(path);
            g_cache.loaded = true;
        }
        g_cache.stamp = stamp;
        g_cache.readAt = readAt;
        g_cache.writes = g_writes;
    }
    return read(std::as_const(g_cache.hive));
}

}  // namespace

std::string RegistryFilePath() {
    return ResolveUserPath("TALLYKIT_REGISTRY", "XDG_CONFIG_HOME", ".config",
                           "tallykit/registry.txt");
}

RegistryHive RegLoadHive() {
    return WithCurrentHive([](const RegistryHive& hive) { return hive; });
}

std::optional<std::string> RegReadString(HKEY root, std::string_view subKey,
                                         std::string_view valueName, size_t bufferSize) {
    std::optional<std::string> data = WithCurrentHive(
        [&](const RegistryHive& hive) { return hive.Read(root, subKey, valueName); });
    if (!data || data->size() >= bufferSize) return std::nullopt;
    return data;
}

bool RegWriteString(HKEY root, std::string_view subKey, std::string_view valueName,
                    std::string_view data) {
    return ChangeRegistryFile(
        [&](RegistryHive& hive) { return hive.Write(root, subKey, valueName, data); });
}

bool RegCreateKey(HKEY root, std::string_view subKey) {
    return ChangeRegistryFile([&](RegistryHive& hive) { return hive.CreateKey(root, subKey); });
}

bool RegDeleteKey(HKEY root, std::string_view subKey) {
    return ChangeRegistryFile([&](RegistryHive& hive) { return hive.DeleteKey(root, subKey); });
}

bool RegChangeHive(const std::function<bool(RegistryHive&)>& change) {
    return ChangeRegistryFile(change);
}

bool RegKeyExists(HKEY root, std::string_view subKey) {
    return WithCurrentHive([&](const RegistryHive& hive) { return hive.KeyExists(root, subKey); });
}

std::vector<std::string> RegEnumKeys(HKEY root, std::string_view subKey) {
    return WithCurrentHive([&](const RegistryHive& hive) { return hive.SubKeys(root, subKey); });
}

std::vector<RegValue> RegEnumValues(HKEY root, std::string_view subKey) {
    return WithCurrentHive([&](const RegistryHive& hive) { return hive.Values(root, subKey); });
}
