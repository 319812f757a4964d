#pragma once
// The registry: a hive of keys holding named string values, kept in a text
// file that a person can read and edit. Blocks read it (the host's folders);
// registration writes it.
//
// Location: $TALLYKIT_REGISTRY, else $XDG_CONFIG_HOME/tallykit/registry.txt,
// else $HOME/.config/tallykit/registry.txt.
//
// Key names and value names compare case-insensitively (ASCII letters), as on
// the platform, and keep the case they were created with. A key path is a list
// of names joined by `\` below one of the three roots. The default value of a
// key is the value with the empty name.
//
// File format, one item a line (UTF-8; a trailing CR is ignored):
//
//   # TallyKit registry                  comment: a line starting with # or ;
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Plexa]       a key (HKLM, HKCU, HKCR also do)
//   PATH=c:\OV\Plexa                     a value: name=data, blanks around both trimmed
//   @=the default value                  @ names the default value
//   "Odd = name"=" data with blanks\n"   either side may be quoted
//
// A value line belongs to the key above it. A quoted name or data is enclosed
// in double quotes, with \\, \", \n, \r, \t and \xHH escapes inside; a bare
// one is taken as written, backslashes included. A key mentioned twice is one
// key; a value given twice keeps its last data. A key line alone makes a key
// without values. Lines that fit none of these forms, and value lines under a
// key line that does not parse, are skipped. Writing the file rewrites it in
// this form, in key order, without the skipped lines and comments.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The predefined root keys.
enum HKEY : uint32_t {
    HKEY_CLASSES_ROOT = 0x80000000u,
    HKEY_CURRENT_USER = 0x80000001u,
    HKEY_LOCAL_MACHINE = 0x80000002u,
};

struct RegValue {
    std::string name;  // empty for the default value
    std::string data;
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// A whole hive in memory, with the file format's reader and writer. Operations
// that take a root and a key path fail (false, nullopt or empty) for a root
// that is not one of the three and for a path with an empty name in it
// (`a\\b`, a leading or trailing `\`); the empty path is the root itself.
class RegistryHive {
  public:
    // Reads the file format; never fails (see the skipping rules above).
    static RegistryHive Parse(std::string_view text);
    // Writes the file format; Parse(Format()) gives an equal hive.
    std::string Format() const;

    // The data of a value; nullopt when the key or the value does not exist.
    std::optional<std::string> Read(HKEY root, std::string_view subKey,
                                    std::string_view valueName) const;
    // Whether the key exists: created, holding values, or holding subkeys.
    // A root always exists.
    bool KeyExists(HKEY root, std::string_view subKey) const;
    // Names of the key's direct subkeys, in key order; empty when none.
    std::vector<std::string> SubKeys(HKEY root, std::string_view subKey) const;
    // The key's values in the order they were first set; empty when none.
    std::vector<RegValue> Values(HKEY root, std::string_view subKey) const;

    // Creates the key and its missing ancestors. False for a key name holding
    // a control character.
    bool CreateKey(HKEY root, std::string_view subKey);
    // Sets a value, creating the key as CreateKey does.
    bool Write(HKEY root, std::string_view subKey, std::string_view valueName,
               std::string_view data);
    // Removes the key with all its subkeys and values; false when it does not
    // exist or is a root.
    bool DeleteKey(HKEY root, std::string_view subKey);

    friend bool operator==(const RegistryHive&, const RegistryHive&) = default;

  private:
    struct Key {
        std::string path;  // root name and key names as created, `\` between
        std::vector<RegValue> values;
        friend bool operator==(const Key&, const Key&) = default;
    };
    // Keyed by the folded path, so that a key and its subkeys sit together.
    std::map<std::string, Key> keys_;

    Key* Ensure(const std::string& path);
};

// Where the registry file lives (see above); empty when no location is known,
// in which case reads find nothing and writes fail.
std::string RegistryFilePath();

// The file's hive as it is now: a missing, unreadable or oversized (over
// 16 MiB) file reads as empty. Every read goes to the file, so a change made
// by another program between two reads is seen.
RegistryHive RegLoadHive();

// A value's data read through a buffer of `bufferSize` bytes, as the blocks do
// (260 bytes): a value whose data and terminating NUL do not fit is
// unreadable, as on the platform. nullopt when the key or value does not
// exist or does not fit.
std::optional<std::string> RegReadString(HKEY root, std::string_view subKey,
                                         std::string_view valueName, size_t bufferSize = 260);

// The writes load the file, change the hive and replace the file atomically
// (a temporary file in the same folder, then a rename), creating the file's
// folder when missing. They fail (false) when the file exists but cannot be
// read, so that a write never replaces a file it could not load, and when the
// new file cannot be written; the file is then unchanged.

// Sets a value (see RegistryHive::Write).
bool RegWriteString(HKEY root, std::string_view subKey, std::string_view valueName,
                    std::string_view data);
// Creates a key without values (see RegistryHive::CreateKey).
bool RegCreateKey(HKEY root, std::string_view subKey);
// Deletes a key with its subkeys; false when it does not exist (nothing written).
bool RegDeleteKey(HKEY root, std::string_view subKey);
// Applies several changes as one write: `change` edits the file's hive and the
// file is replaced once; false (file unchanged) when `change` returns false.
bool RegChangeHive(const std::function<bool(RegistryHive&)>& change);

// Queries on the file as it is now (see RegistryHive). RegReadString and
// these read a copy of the hive kept for the whole process: the file is read
// again when its identity, size or time stamps change (or are too recent to
// tell a change), and parsed again only when its text changed, so that a
// read mostly costs a stat rather than a parse.
bool RegKeyExists(HKEY root, std::string_view subKey);
std::vector<std::string> RegEnumKeys(HKEY root, std::string_view subKey);
std::vector<RegValue> RegEnumValues(HKEY root, std::string_view subKey);
