// Linked into every test program: before any test runs, the registry file and
// the drive root point into a fresh folder of the program's own, so no test
// reads or changes the user's. Tests that need other locations set their own.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PinnedEnvironment {
    PinnedEnvironment() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tallykit-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;
        folder = pattern;
        setenv("TALLYKIT_REGISTRY", (folder / "registry.txt").c_str(), 1);
        setenv("TALLYKIT_DRIVE_ROOT", (folder / "drives").c_str(), 1);
    }
    ~PinnedEnvironment() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    std::filesystem::path folder;
};

const PinnedEnvironment pinned;

}  // namespace
