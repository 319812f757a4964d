// Help goes to the viewer library the registry names, else to the one loaded
// by name; a viewer that cannot be had makes every help call do nothing.
#include "framework/block_help.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "framework/base_math_ctrl.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/recording_desktop.h"

namespace {

constexpr const char* kMissingLibrary = "libtallykit-no-such-viewer.so";

class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        log_ = std::filesystem::path(std::getenv("TALLYKIT_DRIVE_ROOT")).parent_path() /
               ("help-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove(log_);
        setenv("TK_FAKE_HELP_LOG", log_.c_str(), 1);
        RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}");
    }
    void RegisterViewer(const std::string& path) {
        ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, "", path));
    }
    std::string Calls() const {
        std::ifstream in(log_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::filesystem::path log_;
};

TEST_F(HelpTest, BlockHelpOpensItsTopicThroughTheRegisteredViewer) {
    RegisterViewer(TK_FAKE_HELP_VIEWER);
    RecordingDesktop desktop;
    SetDesktop(&desktop);
    COVBaseMathCtrl block;
    EXPECT_EQ(block.Invoke(DISPID_SHOWHELP, DISPATCH_METHOD, {}, nullptr), S_OK);
    block.QuickHelp();
    EXPECT_EQ(block.OnHelpInfo(), TRUE);  // F1
    SetDesktop(nullptr);
    block.ShowHelp();  // no desktop: no owner
    std::string file = MapPlatformPath("c:\\OV\\Plexa\\Plexa.chm");
    char owner[32];
    std::snprintf(owner, sizeof owner, "%p", static_cast<void*>(&desktop));
    std::string owned = std::string(owner) + "|" + file + "|15|10000\n";
    std::snprintf(owner, sizeof owner, "%p", nullptr);
    EXPECT_EQ(Calls(), owned + owned + owned + owner + "|" + file + "|15|10000\n");
}

// A registered viewer that does not load gives way to the one by name; a
// viewer that cannot be had at all stays missing for good.
TEST_F(HelpTest, FallsBackToTheNameAndRemembersAFailure) {
    RegisterViewer("/no/such/folder/viewer.so");
    HtmlHelpLibrary byName(TK_FAKE_HELP_VIEWER), missing(kMissingLibrary);
    EXPECT_EQ(missing.HtmlHelp(nullptr, "a.chm", HH_HELP_CONTEXT, 1), nullptr);
    byName.HtmlHelp(nullptr, "b.chm", HH_HELP_CONTEXT, 123);
    RegisterViewer(TK_FAKE_HELP_VIEWER);  // too late for `missing`
    missing.HtmlHelp(nullptr, "a.chm", HH_HELP_CONTEXT, 1);
    EXPECT_TRUE(Calls().ends_with("|b.chm|15|123\n")) << Calls();
    EXPECT_EQ(Calls().find("a.chm"), std::string::npos) << Calls();
}

// The shipped viewer hands the file and topic to the configured command as
// arguments, so a file name cannot smuggle in a command of its own.
TEST_F(HelpTest, ShippedViewerRunsTheConfiguredCommandDetached) {
    std::string file = log_.string() + " $(touch injected);.chm";
    setenv("TALLYKIT_HELP_COMMAND",
           ("printf '%s|%s' %f %c > '" + log_.string() + ".tmp' && mv '" + log_.string() +
            ".tmp' '" + log_.string() + "'")
               .c_str(),
           1);
    HtmlHelpLibrary viewer(TK_HELP_VIEWER);
    viewer.HtmlHelp(nullptr, file, HH_HELP_CONTEXT, 42);
    viewer.HtmlHelp(nullptr, file, HH_HELP_CONTEXT + 1, 43);  // another command: ignored
    unsetenv("TALLYKIT_HELP_COMMAND");
    // The command runs on its own; wait for its output, but not forever.
    for (int i = 0; i < 500 && Calls().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Calls(), file + "|42");
    EXPECT_FALSE(std::filesystem::exists("injected"));
}

}  // namespace
