#include "blocks/routing/list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tests/support/block_harness.h"

namespace {

namespace fs = std::filesystem;

ListValues Lookup(std::string_view bytes, char delimiter = ',') {
    ListReader reader(bytes);
    return ParseLookupList(reader, delimiter);
}

ListValues Switch(std::string_view bytes, char delimiter = ',') {
    ListReader reader(bytes);
    return ParseSwitchList(reader, delimiter);
}

struct ListCase {
    std::string bytes;
    bool numeric;
    std::vector<double> numbers;
    std::vector<std::string> texts;
};

void ExpectList(const ListValues& got, const ListCase& c) {
    EXPECT_EQ(got.numeric, c.numeric) << c.bytes;
    EXPECT_EQ(got.numbers, c.numbers) << c.bytes;
    EXPECT_EQ(got.texts, c.texts) << c.bytes;
}

TEST(ListFile, LookupLines) {
    const std::string piece254(254, 'x');
    const ListCase cases[] = {
        {"1,10\n2,20\n2,30\n", true, {1, 10, 2, 20, 2, 30}, {}},
        {"1,10\r\n2,20\r\n", true, {1, 10, 2, 20}, {}},
        // Lines without the delimiter are skipped; numbers end where they end.
        {"# speeds\n\n 3.5 km,7e1 rpm\n", true, {3.5, 70}, {}},
        // A key number that takes the whole line, or a side without a number.
        {"1,10\nabc,20\n5,\n7\n", true, {1, 10}, {}},
        // The first entry decides: a header makes a text list and is an entry.
        {"Key,Value\n1,10\n", false, {}, {"Key", "Value", "1", "10"}},
        {" a , b c \n,x\ny, \n", false, {}, {"a", "b c", "", "x"}},
        // Until an entry is stored every delimited line decides anew.
        {"name,\n1,10\n", true, {1, 10}, {}},
        // A piece ends after 254 characters; the rest of the line is a line.
        {piece254 + "1,2\n", true, {1, 2}, {}},
        // A NUL ends the text of its piece.
        {std::string("1,5\0,9\n", 7), true, {1, 5}, {}},
        {"\xff\xfe\x01,\x02\n", false, {}, {"\xff\xfe\x01", "\x02"}},
        {"", true, {}, {}},
    };
    for (const ListCase& c : cases)
        ExpectList(Lookup(c.bytes), c);
    ExpectList(Lookup("a;1\nb;2\n", ';'), {"", false, {}, {"a", "1", "b", "2"}});
    ExpectList(Lookup("1\t2\n", '\t'), {"", true, {1, 2}, {}});
}

TEST(ListFile, SwitchValues) {
    const ListCase cases[] = {
        {"1,2,3\n4\n", true, {1, 2, 3, 4}, {}},
        {"red,green\r\nblue\n", false, {}, {"red", "green", "blue"}},
        {"1,,3\n", false, {}, {"1", "", "3"}},
        {",a,\n", false, {}, {"", "a"}},
        {"1,2,3,4,5,6,7,8,9,10\n", true, {1, 2, 3, 4, 5, 6, 7, 8}, {}},
        // Eight pieces at most, blank lines included.
        {"1\n\n\n\n\n\n\n\n9\n", true, {1}, {}},
        {"\n \n", true, {}, {}},
    };
    for (const ListCase& c : cases)
        ExpectList(Switch(c.bytes), c);
}

TEST(ListFile, LeadingNumberReadsAsStrtod) {
    for (const char* text : {"  12abc", "-7.5e1x", "+.5", "0x1p4", "1e", "inf", "-nan", "1e999",
                             "1e-400", "+-5", "- 5", ".", ""}) {
        char* end = nullptr;
        const double expected = std::strtod(text, &end);
        double value = -1;
        EXPECT_EQ(LeadingNumber(text, &value), static_cast<size_t>(end - text)) << text;
        if (end != text) {
            EXPECT_TRUE(value == expected || (std::isnan(value) && std::isnan(expected))) << text;
        }
    }
}

// Files on disk, hostile ones included.
TEST(ListFile, StatusOfEachFile) {
    const std::string good = harness::TempFile("good.csv", "1,10\n");
    const std::string empty = harness::TempFile("empty.csv", "");
    const std::string locked = harness::TempFile("locked.csv", "1,10\n");
    chmod(locked.c_str(), 0);
    struct Case {
        std::string path;
        HRESULT status;
        size_t count;
    };
    std::vector<Case> cases = {
        {good, S_OK, 2},
        {empty, S_OK, 0},
        {"", ERROR_FILE_NOT_FOUND_HR, 0},
        {good + ".missing", ERROR_READ_FAULT_HR, 0},
        {fs::path(good).parent_path().string(), ERROR_READ_FAULT_HR, 0},
    };
    // The superuser reads any file.
    if (geteuid() != 0) cases.push_back({locked, ERROR_READ_FAULT_HR, 0});
    for (const Case& c : cases) {
        const ListFileResult r = ReadListFile(c.path, ',', &ParseLookupList);
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(r.values.Count(), c.count) << c.path;
    }
}

// The test programs pin the drive root to a folder of their own.
TEST(ListFile, DrivePathsMapThroughTheDriveRoot) {
    const fs::path file = fs::path(DriveRootFolder()) / "c/OV/Plexa/lists/speeds.txt";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "slow;10\nfast;90\n";
    const ListFileResult r =
        ReadListFile("c:\\OV\\Plexa\\lists\\speeds.txt", ';', &ParseLookupList);
    EXPECT_EQ(r.status, S_OK);
    EXPECT_EQ(r.values.texts, (std::vector<std::string>{"slow", "10", "fast", "90"}));
}

TEST(ListFile, HugeFilesReadInBoundedPieces) {
    // A 10 MB line with the delimiter far inside it is many pieces; only the
    // piece that holds the delimiter is a line with an entry.
    std::string line(10 << 20, '7');
    line[5 << 20] = ',';
    const ListFileResult longLine =
        ReadListFile(harness::TempFile("line.csv", line + "\n"), ',', &ParseLookupList);
    EXPECT_EQ(longLine.status, S_OK);
    EXPECT_EQ(longLine.values.numbers.size(), 2u);

    // 100 MB of valid lines: reading stops at the last entry kept.
    const fs::path big = harness::TempFile("big.csv", "");
    {
        std::string block;
        while (block.size() < (1 << 20))
            block += "123456,654321\n";
        std::ofstream out(big, std::ios::binary);
        for (int i = 0; i < 100; ++i)
            out << block;
    }
    const ListFileResult r = ReadListFile(big.string(), ',', &ParseLookupList);
    EXPECT_EQ(r.status, S_OK);
    EXPECT_EQ(r.values.numbers.size(), 2 * kMaxLookupEntries);
    EXPECT_EQ(ReadListFile(big.string(), ',', &ParseSwitchList).values.Count(), 8u);
}

}  // namespace
