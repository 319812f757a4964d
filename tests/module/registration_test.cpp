// Registration into the registry file: what it writes, that it repeats and
// undoes cleanly beside other programs' entries, and how it fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "module/registration.h"
#include "module/type_library.h"
#include "platform/registry.h"
#include "tallykit/tallykit.h"

namespace {

// Each test starts from an empty registry file, the test program's own.
class Registration : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::remove(pinned_); }
    void TearDown() override {
        setenv("TALLYKIT_REGISTRY", pinned_.c_str(), 1);
        SetUp();
    }
    static std::string FileText() {
        std::ifstream in(RegistryFilePath());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::optional<std::string> Read(const std::string& key, std::string_view value = "") {
        return RegLoadHive().Read(HKEY_CLASSES_ROOT, key, value);
    }
    const std::string pinned_ = RegistryFilePath();
};

}  // namespace

TEST_F(Registration, WritesRepeatsAndRemovesOnlyItsOwnEntries) {
    ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, "CLSID\\{someone-else}", "", "Other"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Plexa", "PATH", "/opt/p"));
    std::string before = FileText();

    ASSERT_EQ(DllRegisterServer(), S_OK);
    const std::string add = "CLSID\\{5A3C0000-7A11-4B1D-9E2B-000000000010}";
    EXPECT_EQ(Read(add), "OVAdd Control");
    EXPECT_EQ(Read(add + "\\ProgID"), "TALLYKIT.OVAddCtrl.1");
    EXPECT_EQ(Read(add + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Read(add + "\\ToolboxBitmap32"), ModulePath() + ", 11");
    EXPECT_EQ(Read(add + "\\TypeLib"), TypeLibrary().libid);
    EXPECT_EQ(Read(add + "\\Version"), "1.1");
    EXPECT_EQ(Read(add + "\\MiscStatus\\1"), std::to_string(0x20591));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, add + "\\Control"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, add + "\\Insertable"));
    EXPECT_EQ(Read("TALLYKIT.OVAddCtrl.1\\CLSID"), "{5A3C0000-7A11-4B1D-9E2B-000000000010}");
    EXPECT_EQ(Read("TALLYKIT.OVAddPropPage.1"), "OVAdd Property Page");
    EXPECT_EQ(Read("TypeLib\\" + TypeLibrary().libid + "\\1.1"), "TallyKit ActiveX Control module");
    // Pages register even where their control does not.
    EXPECT_FALSE(Read("TALLYKIT.OVAbsCtrl.1\\CLSID"));
    EXPECT_TRUE(Read("TALLYKIT.OVAbsPropPage.1\\CLSID"));
    EXPECT_TRUE(Read("TALLYKIT.NOPPropPage.1\\CLSID"));

    std::string registered = FileText();
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(FileText(), registered);

    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(FileText(), before);
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(FileText(), before);
}

TEST_F(Registration, AnUnwritableRegistryFailsTheTypeLibraryStep) {
    std::ofstream(pinned_ + ".file") << "x";
    setenv("TALLYKIT_REGISTRY", (pinned_ + ".file/registry.txt").c_str(), 1);  // folder is a file
    EXPECT_EQ(DllRegisterServer(), SELFREG_E_TYPELIB);
    EXPECT_EQ(DllUnregisterServer(), SELFREG_E_TYPELIB);
}
