#include "host/host_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/paths.h"

namespace {

bool Fail(const std::string& path, int code, std::string* error) {
    *error = path + ": " + std::strerror(code);
    return false;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string HostFilePath(const std::string& path, bool forWriting, std::string* error) {
    std::string mapped = MapPlatformPath(path);
    if (mapped.empty()) {
        *error = path +
                 ": cannot be mapped to a file (a network path, or no drive root: set "
                 "TALLYKIT_DRIVE_ROOT)";
        return mapped;
    }
    const bool drivePath = path.size() >= 2 && (path[1] == ':' || path[0] == '\\');
    if (forWriting && drivePath) {
        std::error_code ignored;  // a folder that cannot be made shows when the file opens
        std::filesystem::create_directories(std::filesystem::path(mapped).parent_path(), ignored);
    }
    return mapped;
}

bool ReadHostFile(const std::string& path, std::string* text, std::string* error) {
    std::string mapped = HostFilePath(path, false, error);
    if (mapped.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(mapped, ec)) return Fail(path, EISDIR, error);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(mapped.c_str(), "rb"));
    if (!file) return Fail(path, errno, error);
    text->clear();
    char buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text->append(buffer, got);
    if (std::ferror(file.get())) return Fail(path, errno != 0 ? errno : EIO, error);
    return true;
}

bool WriteHostFile(const std::string& path, std::string_view text, std::string* error) {
    std::string mapped = HostFilePath(path, true, error);
    if (mapped.empty()) return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(mapped.c_str(), "wb"));
    if (!file) return Fail(path, errno, error);
    bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written) return Fail(path, errno, error);
    return true;
}
