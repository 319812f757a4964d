// The file-backed stand-ins: the registry file and the drive-mapped paths.
// Both find their locations through the environment, so they share one
// fixture that points them into a fresh temporary folder and restores the
// environment afterwards.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLocationVariables[] = {
    "TALLYKIT_REGISTRY", "XDG_CONFIG_HOME", "TALLYKIT_DRIVE_ROOT", "XDG_DATA_HOME", "HOME",
};

// Points both units into a fresh temporary folder, with every other variable
// they read unset, and puts the environment back afterwards.
class FileBackedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kLocationVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
        }
        ClearEnvironment();
        std::random_device entropy;
        dir_ = fs::temp_directory_path() / ("tallykit-test-" + std::to_string(entropy()));
        fs::create_directories(dir_);
        SetVariable("TALLYKIT_REGISTRY", (dir_ / "registry.txt").string());
        SetVariable("TALLYKIT_DRIVE_ROOT", (dir_ / "drives").string());
    }
    void TearDown() override {
        fs::remove_all(dir_);
        for (size_t i = 0; i < saved_.size(); ++i)
            SetVariable(kLocationVariables[i], saved_[i]);
    }

    static void SetVariable(const char* name, const std::optional<std::string>& value) {
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    static void ClearEnvironment() {
        for (const char* name : kLocationVariables)
            unsetenv(name);
    }
    static std::string ReadText(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path RegistryFile() const { return dir_ / "registry.txt"; }

    std::vector<std::optional<std::string>> saved_;
    fs::path dir_;
};

// ---------------------------------------------------------------- registry

using RegistryTest = FileBackedTest;

constexpr const char* kPlexa = "SOFTWARE\\Orvane\\Plexa";

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
    const std::vector<RegValue> cases = {
        {"PATH", "c:\\OV\\Plexa"},
        {"", "the default value"},
        {"@", "a value named like the default"},
        {std::string("ctl\x01", 4), std::string("nul\0byte\x7f", 9)},
    };
    for (const RegValue& c : cases) {
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, c.name, c.data)) << c.name;
    }
    for (const RegValue& c : cases) {
        EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, c.name, 4096), c.data) << c.name;
    }

    // A person reads plain values as they are, and no temporary file is left.
    std::string text = ReadText(RegistryFile());
    EXPECT_NE(text.find("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Plexa]\n"), std::string::npos);
    EXPECT_NE(text.find("\nPATH=c:\\OV\\Plexa\n"), std::string::npos);
    EXPECT_NE(text.find("\n@=the default value\n"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "Path", "one"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "software\\ORVANE\\plexa", "PATH", "two"));
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "Software\\Orvane\\PLEXA", "path"), "two");
    EXPECT_NE(ReadText(RegistryFile()).find("\nPath=two\n"), std::string::npos);
    // The roots are separate hives.
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, kPlexa, "Path"));
}

TEST_F(RegistryTest, DataMustFitTheReadBufferWithItsTerminator) {
    // {data length, buffer size, readable}
    const std::tuple<size_t, size_t, bool> cases[] = {
        {0, 0, false}, {0, 1, true}, {259, 260, true}, {260, 260, false}};
    for (const auto& [length, bufferSize, readable] : cases) {
        std::string data(length, 'x');
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", data));
        EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", bufferSize),
                  readable ? std::optional<std::string>(data) : std::nullopt)
            << length << " in " << bufferSize;
    }
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));  // 260 bytes by default
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", std::string(259, 'x')));
    EXPECT_TRUE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));
}

TEST_F(RegistryTest, EveryReadSeesTheFileAsItIsNow) {
    // Same size, written back to back: a cache keyed on time or size would miss it.
    std::ofstream(RegistryFile()) << "[HKLM\\SOFTWARE\\Orvane\\Plexa]\nPATH=a\n";
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"), "a");
    std::ofstream(RegistryFile()) << "[HKLM\\SOFTWARE\\Orvane\\Plexa]\nPATH=b\n";
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"), "b");
    fs::remove(RegistryFile());
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));
}

TEST_F(RegistryTest, MalformedLinesAreSkipped) {
    // {file text, the data of HKLM\K's value v}
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"[HKEY_LOCAL_MACHINE\\K]\r\nv=1\r\n", "1"},
        {"  [hklm\\k]  \n\t v = 1 \t", "1"},
        {"[HKLM\\K]\nv=1\nV=2", "2"},
        {"[HKLM\\K]\nv=\"a\\x41\\n\\\\\"", "aA\n\\"},
        {"[HKLM\\K]\n\"v\" = \" spaced \"", " spaced "},
        {"v=1\n[HKLM\\K]", std::nullopt},               // before any key
        {"[HKLM\\K]\n# v=1\n; v=2", std::nullopt},      // comments
        {"[HKLM\\K]\nv", std::nullopt},                 // no '='
        {"[HKLM\\K]\n=1", std::nullopt},                // no name
        {"[HKLM\\K]\nv=\"1", std::nullopt},             // unterminated data
        {"[HKLM\\K]\nv=\"bad\\q\"", std::nullopt},      // unknown escape
        {"[HKLM\\K]\nv=\"1\" trailing", std::nullopt},  // text after the quotes
        {"[HKXX\\K]\nv=1", std::nullopt},               // unknown root
        {"[HKLM\\\\K]\nv=1", std::nullopt},             // empty key name
        {"[HKLM\\K\x01]\nv=1", std::nullopt},           // control character in a key name
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(RegistryHive::Parse(text).Read(HKEY_LOCAL_MACHINE, "K", "v"), value) << text;
    // A key line that does not parse takes the values below it along.
    RegistryHive partial = RegistryHive::Parse("[HKLM\\K]\nw=0\n[HKLM\\J\nv=1");
    EXPECT_EQ(partial.Read(HKEY_LOCAL_MACHINE, "K", "w"), "0");
    EXPECT_FALSE(partial.Read(HKEY_LOCAL_MACHINE, "K", "v"));
    EXPECT_FALSE(partial.KeyExists(HKEY_LOCAL_MACHINE, "J"));
}

TEST_F(RegistryTest, MissingOrUnusableFileReadsEmpty) {
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));

    // A folder where the file should be: nothing to read, and nothing written.
    fs::create_directory(RegistryFile());
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));
    EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", "x"));
    EXPECT_TRUE(fs::is_directory(RegistryFile()));

    // No location at all.
    ClearEnvironment();
    EXPECT_EQ(RegistryFilePath(), "");
    EXPECT_FALSE(RegReadString(HKEY_LOCAL_MACHINE, kPlexa, "PATH"));
    EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", "x"));
}

TEST_F(RegistryTest, InvalidKeyPathsAndRootsAreRefused) {
    const char* badPaths[] = {"\\Lead", "Trail\\", "a\\\\b", "\\", "ctl\x01", "del\x7f"};
    for (const char* path : badPaths) {
        EXPECT_FALSE(RegWriteString(HKEY_LOCAL_MACHINE, path, "v", "x")) << path;
    }
    const auto notARoot = static_cast<HKEY>(5);
    EXPECT_FALSE(RegWriteString(notARoot, "K", "v", "x"));
    EXPECT_FALSE(fs::exists(RegistryFile()));  // nothing was ever written
}

TEST_F(RegistryTest, LocationComesFromTheEnvironment) {
    struct Case {
        std::optional<std::string> registry, xdgConfig, home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/r.txt", "/cfg", "/home/u", "/x/r.txt"},
        {std::nullopt, "/cfg", "/home/u", "/cfg/tallykit/registry.txt"},
        {"", "/cfg/", "/home/u", "/cfg/tallykit/registry.txt"},  // empty counts as unset
        {std::nullopt, "relative", "/home/u", "/home/u/.config/tallykit/registry.txt"},
        {std::nullopt, std::nullopt, "/home/u/", "/home/u/.config/tallykit/registry.txt"},
        {std::nullopt, std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        ClearEnvironment();
        SetVariable("TALLYKIT_REGISTRY", c.registry);
        SetVariable("XDG_CONFIG_HOME", c.xdgConfig);
        SetVariable("HOME", c.home);
        EXPECT_EQ(RegistryFilePath(), c.expected);
    }
    // A fresh location: the first write makes the folders.
    fs::path nested = dir_ / "fresh" / "config" / "registry.txt";
    SetVariable("TALLYKIT_REGISTRY", nested.string());
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kPlexa, "PATH", "c:\\OV"));
    EXPECT_TRUE(fs::is_regular_file(nested));
}

// ---------------------------------------------------------------- paths

using PlatformPathTest = FileBackedTest;

TEST_F(PlatformPathTest, MapsWindowsPathsUnderTheDriveRoot) {
    SetVariable("TALLYKIT_DRIVE_ROOT", "/R");
    const std::pair<std::string, std::string> cases[] = {
        {"d:/data\\x/y.txt", "/R/d/data/x/y.txt"},
        {"c:\\OV\\\\Plexa\\", "/R/c/OV/Plexa"},
        {"c:\\", "/R/c"},
        {"c:OV", "/R/c/OV"},
        {"c:\\OV\\..\\x", "/R/c/x"},
        {"c:\\..\\..\\etc\\passwd", "/R/c/etc/passwd"},
        {"c:\\..hidden\\...", "/R/c/..hidden/..."},
        {"\\OV\\Plexa", "/R/c/OV/Plexa"},
        {"\\\\server\\share\\x", ""},
        {"/var/plexa\\Error.txt", "/var/plexa/Error.txt"},
        {"/var/../etc", "/var/../etc"},
        {"lists\\table.txt", "lists/table.txt"},
        {"1:\\x", "1:/x"},
        {"", ""},
        {std::string("c:\\a\0b", 6), ""},
    };
    for (const auto& [path, mapped] : cases)
        EXPECT_EQ(MapPlatformPath(path), mapped) << path;

    SetVariable("TALLYKIT_DRIVE_ROOT", "/R/");
    EXPECT_EQ(MapPlatformPath("c:\\OV"), "/R/c/OV");
}

TEST_F(PlatformPathTest, DriveRootComesFromTheEnvironment) {
    ClearEnvironment();
    EXPECT_EQ(DriveRootFolder(), "");
    EXPECT_EQ(MapPlatformPath("c:\\OV"), "");        // nowhere to put drives
    EXPECT_EQ(MapPlatformPath("/tmp/x"), "/tmp/x");  // POSIX paths need no root
    SetVariable("HOME", "/home/u");
    EXPECT_EQ(DriveRootFolder(), "/home/u/.local/share/tallykit/drives");
    SetVariable("XDG_DATA_HOME", "/data");
    EXPECT_EQ(DriveRootFolder(), "/data/tallykit/drives");
    SetVariable("TALLYKIT_DRIVE_ROOT", "/drives");
    EXPECT_EQ(MapPlatformPath("E:\\x"), "/drives/e/x");
}

TEST_F(PlatformPathTest, OnlyWritesUnderTheDriveRootCreateFolders) {
    errno = 0;
    EXPECT_EQ(OpenPlatformFile("c:\\OV\\Plexa\\Plexa.chm", "rb"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(dir_ / "drives"));

    fs::path posix = dir_ / "not" / "there" / "Error.txt";
    EXPECT_EQ(OpenPlatformFile(posix.string(), "at"), nullptr);
    EXPECT_FALSE(fs::exists(dir_ / "not"));

    errno = 0;
    EXPECT_EQ(OpenPlatformFile("\\\\server\\share\\x", "w"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(OpenPlatformFile("c:\\x", nullptr), nullptr);
}

}  // namespace
