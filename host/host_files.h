#pragma once
// Files the host reads and writes on the user's behalf (scripts, saved
// blocks, CSV data). Paths are taken as everything else in the system takes
// them: Windows-style paths (`c:\OV\Plexa\x.bag`) map under the drive root,
// POSIX paths are used as given. Messages name the path as the user gave it.
#include <string>
#include <string_view>

// The file-system path for `path`; for writing, the folders up to a file under
// the drive root are created. Empty with `*error` ("PATH: reason") when the
// path cannot be mapped.
std::string HostFilePath(const std::string& path, bool forWriting, std::string* error);

// Reads the whole file. False with `*error` ("PATH: reason") when it cannot
// (no such file, a folder, a read error).
bool ReadHostFile(const std::string& path, std::string* text, std::string* error);

// Replaces the file's contents with `text`. False with `*error` ("PATH: reason").
bool WriteHostFile(const std::string& path, std::string_view text, std::string* error);
