#include "framework/base_math_ctrl.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/block_array.h"
#include "framework/block_value.h"
#include "framework/status.h"
#include "platform/registry.h"
#include "tests/support/block_harness.h"

namespace {

using harness::Block;
using harness::Site;
using harness::Trace;

const Trace kSuccess = {"RunBlock", "StatusReady", "ErrorOut(self, 0, \"No Errors\")",
                        "ControlOut"};

// The wiring transcripts pin the rest of PropertyValid.
TEST(BlockBase, PropertyValidOfUnknownIdsAndRevalidatedInputs) {
    Block add("OVAdd");
    EXPECT_EQ(add.GetIndexed("PropertyValid", Variant::I4(999)), Variant::Bool(true));
    add.PutIndexed("PropertyValid", Variant::I4(1), Variant::Bool(false));
    EXPECT_EQ(add.GetIndexed("PlexaInfo", Variant::I4(6)), Variant::BoolRaw(1));
    EXPECT_EQ(add.Take(), Trace{"InvalidateGroup(0)"});
    // The last invalid input made valid without a new value: the block waits for its trigger.
    add.PutIndexed("PropertyValid", Variant::I4(1), Variant::Bool(true));
    EXPECT_EQ(add.Take(), Trace{"ValidateGroup(0)"});
}

TEST(BlockBase, DesignModeRunsOnlyWhenAskedAndTellsOfBoundChanges) {
    Site site;
    site.userMode = false;
    Block add("OVAdd");
    add.control->SetClientSite(&site);
    add.Invalidate({"InputX"});
    add.Take();
    add.Put("InputX", Variant::I4(4));
    EXPECT_EQ(site.notices, std::vector<DISPID>{1});
    EXPECT_TRUE(add.control->IsModified());
    EXPECT_EQ(add.Take(), Trace{});
    add.Call("Operate");  // asked for, a run happens in design mode too
    EXPECT_EQ(add.Take(), kSuccess);
    site.userMode = true;
    add.Put("InputX", Variant::I4(5));
    EXPECT_EQ(add.Take(), kSuccess);
    EXPECT_EQ(site.notices.size(), 1u);  // no notice in run mode
    add.control->SetClientSite(nullptr);
}

TEST(BlockBase, ReportsReachTheErrorServiceBeforeAnyEvent) {
    std::vector<std::string> order;
    SetErrorReportObserver([&](IDispatch*, int32_t code, const std::string& message) {
        order.push_back("report " + std::to_string(code) + " " + message);
    });
    {
        Block div("OVDivide");
        div.onEvent = [&](DISPID id, std::span<const Variant>) {
            order.push_back("event " + std::to_string(id));
        };
        div.Put("InputY", Variant::I4(0));
        order.clear();
        div.Call("Operate");
        div.Put("InputY", Variant::I4(1));
        div.Call("Operate");  // success: no report
    }
    SetErrorReportObserver(nullptr);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[0], "report -2147016896 Divide by zero error");
    EXPECT_EQ(std::count_if(order.begin(), order.end(),
                            [](const std::string& s) { return s.rfind("report", 0) == 0; }),
              1);
}

// Empties the test program's own registry file and drive root around each test.
class TempMachine : public ::testing::Test {
  protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        std::filesystem::remove(RegistryFilePath());
        std::filesystem::remove_all(root_);
    }
    std::string ReadLog(const std::filesystem::path& p) {
        std::ifstream in(p);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    const std::filesystem::path root_ = std::getenv("TALLYKIT_DRIVE_ROOT");
};

TEST_F(TempMachine, ErrorLogLineGoesToTheDefaultFolder) {
    WriteErrorLog("Adder 1", E_OUTOFMEMORY, "Not enough memory");
    std::string log = ReadLog(root_ / "c/OV/Plexa/Error.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.find(", Adder 1, -2147024882, Not enough memory\n"), std::string::npos) << log;
    WriteErrorLog("Adder 2", 5, "again");
    EXPECT_NE(ReadLog(root_ / "c/OV/Plexa/Error.txt").find("Adder 1"), std::string::npos);
}

TEST_F(TempMachine, RegistryNamesTheLogAndHostFolders) {
    RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane Inc.\\Plexa", "PATH",
                   (root_ / "logs").string());
    RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Plexa", "PATH", "d:\\Host");
    std::filesystem::create_directories(root_ / "logs");
    WriteErrorLog("x", 1, "m");
    EXPECT_FALSE(ReadLog(root_ / "logs/Error.txt").empty());
    Block add("OVAdd");
    EXPECT_EQ(dynamic_cast<COVBaseMathCtrl*>(add.control.Get())->HostPath(), "d:\\Host");
}

TEST_F(TempMachine, TableAllocationFailureReportsAndLogs) {
    SetArrayByteLimit(1);  // less than one entry
    Block add("OVAdd");
    SetArrayByteLimit(0);
    // The status the constructor set does not outlive the reset of a new block; the log keeps it.
    std::string log = ReadLog(root_ / "c/OV/Plexa/Error.txt");
    EXPECT_NE(log.find(", -2147024882, "), std::string::npos) << log;
    // An empty table counts every input as valid.
    EXPECT_EQ(add.GetIndexed("PropertyValid", Variant::I4(1)), Variant::Bool(true));
    EXPECT_EQ(add.Call("Operate"), Variant::R8(0));
}

// The edges; the logic blocks' tests read more texts through their inputs.
TEST(ConvertStringInput, NumbersThenBooleans) {
    struct Row {
        const char* text;
        Variant expected;
    };
    const Row rows[] = {
        {"  42", Variant::I4(42)},     {"0.5", Variant::I4(0)},
        {"+3", Variant::I4(3)},        {"99999999999", Variant::I4(INT32_MAX)},
        {"TRUE", Variant::Bool(true)}, {"", Variant::Bool(false)},
        {"   ", Variant::Bool(false)}, {"-", Variant::Bool(true)},
    };
    for (const Row& r : rows) {
        Variant v = Variant::Str(r.text);
        ConvertStringInput(v);
        EXPECT_EQ(v, r.expected) << '"' << r.text << '"';
    }
}

}  // namespace
