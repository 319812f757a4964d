#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

std::string_view Environment(const char* name) {
    const char* value = name ? std::getenv(name) : nullptr;
    return value ? value : "";
}

std::string JoinPath(std::string_view folder, std::string_view leaf) {
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += leaf;
    return joined;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The components of a path below a drive's root with `.` and `..` resolved.
// `..` at the root stays at the root, as on the platform, which is also what
// keeps a mapped path inside its drive folder.
std::string NormaliseBelowRoot(std::string_view rest) {
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        std::string_view part = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string joined;
    for (std::string_view part : parts) {
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    return joined;
}

struct MappedPath {
    std::string path;  // empty: cannot be mapped
    bool underDriveRoot = false;
};

MappedPath MapPath(std::string_view path) {
    // A NUL would cut the name short when it reaches the C library.
    if (path.empty() || path.find('\0') != std::string_view::npos) return {};
    char drive = 'c';
    std::string_view rest;
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
        drive = static_cast<char>(path[0] | 0x20);  // ASCII lower case
        rest = path.substr(2);
    } else if (path[0] == '\\') {
        if (path.size() >= 2 && IsSeparator(path[1])) return {};  // UNC: no such share here
        rest = path;
    } else {
        std::string posix(path);
        std::replace(posix.begin(), posix.end(), '\\', '/');
        return {posix, false};
    }
    std::string root = DriveRootFolder();
    if (root.empty()) return {};
    std::string mapped = JoinPath(root, std::string(1, drive));
    std::string below = NormaliseBelowRoot(rest);
    if (!below.empty()) mapped = JoinPath(mapped, below);
    return {mapped, true};
}

}  // namespace

std::string ResolveUserPath(const char* overrideVar, const char* xdgVar,
                            std::string_view homeDefault, std::string_view leaf) {
    if (std::string_view value = Environment(overrideVar); !value.empty()) {
        return std::string(value);
    }
    if (std::string_view xdg = Environment(xdgVar); !xdg.empty() && xdg.front() == '/') {
        return JoinPath(xdg, leaf);
    }
    if (std::string_view home = Environment("HOME"); !home.empty()) {
        return JoinPath(JoinPath(home, homeDefault), leaf);
    }
    return {};
}

std::string DriveRootFolder() {
    return ResolveUserPath("TALLYKIT_DRIVE_ROOT", "XDG_DATA_HOME", ".local/share",
                           "tallykit/drives");
}

std::string MapPlatformPath(std::string_view path) {
    return MapPath(path).path;
}

FILE* OpenPlatformFile(std::string_view path, const char* mode) {
    if (mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    MappedPath mapped = MapPath(path);
    if (mapped.path.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // The platform's "t" (text mode) means nothing here; drop it rather than
    // rely on the C library ignoring letters it does not know.
    std::string posixMode;
    for (const char* c = mode; *c != '\0'; ++c) {
        if (*c != 't') posixMode += *c;
    }
    bool writes = mode[0] == 'w' || mode[0] == 'a';
    if (writes && mapped.underDriveRoot) {
        std::error_code ignored;  // fopen reports what matters
        std::filesystem::create_directories(std::filesystem::path(mapped.path).parent_path(),
                                            ignored);
    }
    return std::fopen(mapped.path.c_str(), posixMode.c_str());
}
