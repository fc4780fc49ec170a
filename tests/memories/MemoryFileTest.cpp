#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "memories/MemoryFile.h"
#include "platform/StdFileSystem.h"
#include "tests/memories/FakeFileSystem.h"
#include "tests/memories/GridSupport.h"

namespace {

using namespace MemoryTests;


std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes += static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

TEST(MemoryFileTest, SavesTheWorkedExampleByteForByte)
{
    TStringAlignGrid grid = MemoryGrid();
    grid.SetRowCount(3);
    const Rows rows = {{"New freq", "USB", "14250000", "-1"}, {"Home", "DIGI", "7.074.000", ""}};
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 4; ++col)
            grid.SetCells(col, row + 1, rows[row][col]);
    TFakeFileSystem files;
    SaveMemoryFile(grid, files);
    EXPECT_EQ(files.Files["velkor.mem"],
              FromHex("43 61 70 74 69 6F 6E 09 4D 6F 64 65 09 56 46 4F 20 41 09 56 46 4F 20 42 09 0D 0A "
                      "4E 65 77 20 66 72 65 71 09 55 53 42 09 31 34 32 35 30 30 30 30 09 2D 31 09 0D 0A "
                      "48 6F 6D 65 09 44 49 47 49 09 37 2E 30 37 34 2E 30 30 30 09 09 0D 0A "));
    EXPECT_EQ(files.Files.size(), 1u) << "no temporary file left";
    EXPECT_EQ(files.Log, (std::vector<std::string>{"create velkor.mem.tmp", "write velkor.mem.tmp",
                                                   "close velkor.mem.tmp", "replace velkor.mem.tmp velkor.mem"}));

    TFakeFileSystem blank;
    SaveMemoryFile(MemoryGrid(), blank);
    EXPECT_EQ(blank.Files["velkor.mem"], kHeaderLine + FromHex("09 09 09 09 0D 0A "));
}

TEST(MemoryFileTest, LoadEdgeCases)
{
    const Rows built = {{"Caption", "Mode", "VFO A", "VFO B"}, {"", "", "", ""}};
    struct Case {
        const char* Name;
        std::string File;
        Rows After;
    };
    const Case cases[] = {
        {"empty file", "", built},
        {"header only", kHeaderLine, built},
        {"a memory as the first line lands in the header",
         "A\tUSB\t1\t2\t\r\n",
         {{"A", "USB", "1", "2"}, {"", "", "", ""}}},
        {"three memories",
         kHeaderLine + "a\tCW\t1\t\t\r\nb\tAM\t2\t\t\r\nc\tFM\t3\t\t\r\n",
         {built[0], {"a", "CW", "1", ""}, {"b", "AM", "2", ""}, {"c", "FM", "3", ""}}},
        {"LF only", "Caption\tMode\tVFO A\tVFO B\t\na\tCW\t1\t2\t\nb\n",
         {built[0], {"a", "CW", "1", "2"}, {"b", "", "", ""}}},
        {"CR only", "Caption\tMode\tVFO A\tVFO B\t\ra\tCW\t1\t2\t\rb\r",
         {built[0], {"a", "CW", "1", "2"}, {"b", "", "", ""}}},
        {"NUL ends the file", kHeaderLine + std::string("x\tUSB\0\t9\t\r\ny\tAM\t\r\n", 18),
         {built[0], {"x", "USB", "", ""}}},
        {"a five-field line adds a column",
         kHeaderLine + "a\tCW\t1\t2\textra\t\r\n",
         {{"Caption", "Mode", "VFO A", "VFO B", ""}, {"a", "CW", "1", "2", "extra"}}},
        {"frequencies verbatim",
         kHeaderLine + "a\t\t14250000\t14.250.000\t\r\nb\t\t-1\t0\t\r\n",
         {built[0], {"a", "", "14250000", "14.250.000"}, {"b", "", "-1", "0"}}},
    };
    for (const Case& c : cases) {
        TFakeFileSystem files;
        files.Files["velkor.mem"] = c.File;
        TStringAlignGrid grid = MemoryGrid();
        EXPECT_TRUE(LoadMemoryFile(grid, files)) << c.Name;
        EXPECT_EQ(CellsOf(grid), c.After) << c.Name;

        // What was read is written back with CR LF and a TAB after every
        // field, and reads back the same.
        SaveMemoryFile(grid, files);
        TStringAlignGrid again = MemoryGrid();
        LoadMemoryFile(again, files);
        EXPECT_EQ(CellsOf(again), c.After) << c.Name;
        const std::string& saved = files.Files["velkor.mem"];
        EXPECT_EQ(saved.find('\n'), saved.find("\r\n") + 1) << c.Name;
        EXPECT_EQ(std::count(saved.begin(), saved.end(), '\t'), grid.ColCount() * grid.RowCount()) << c.Name;
    }
    TFakeFileSystem none;
    TStringAlignGrid grid = MemoryGrid();
    EXPECT_FALSE(LoadMemoryFile(grid, none));
    EXPECT_EQ(CellsOf(grid), built) << "a missing file changes nothing";
}

TEST(MemoryFileTest, AFailedSaveLeavesTheOldFileByteForByte)
{
    const std::string old = kHeaderLine + "old\tUSB\t14250000\t-1\t\r\n";
    struct Case {
        const char* Name;
        std::function<void(TFakeFileSystem&)> Break;
        std::string Message;
    };
    const Case cases[] = {
        {"temporary file cannot be made", [](TFakeFileSystem& f) { f.Uncreatable.insert("velkor.mem.tmp"); },
         "Cannot create file velkor.mem"},
        {"write stops half way", [](TFakeFileSystem& f) { f.WriteLimit = 20; }, "Stream write error"},
        {"nothing written", [](TFakeFileSystem& f) { f.WriteLimit = 0; }, "Stream write error"},
        {"close fails", [](TFakeFileSystem& f) { f.FailClose = true; }, "Stream write error"},
        {"old file cannot be replaced", [](TFakeFileSystem& f) { f.FailReplace = true; },
         "Cannot create file velkor.mem"},
    };
    for (const Case& c : cases) {
        TFakeFileSystem files;
        files.Files["velkor.mem"] = old;
        c.Break(files);
        TStringAlignGrid grid = MemoryGrid();
        grid.SetRowCount(40);
        for (int row = 1; row < 40; ++row)
            grid.SetCells(0, row, "a new memory with a long caption");
        try {
            SaveMemoryFile(grid, files);
            ADD_FAILURE() << c.Name << ": no error";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), c.Message) << c.Name;
            EXPECT_EQ(c.Message == "Stream write error", dynamic_cast<const EWriteError*>(&error) != nullptr);
        }
        EXPECT_EQ(files.Files["velkor.mem"], old) << c.Name;
        EXPECT_EQ(files.Files.count("velkor.mem.tmp"), 0u) << c.Name << ": temporary file removed";
    }
}

// The standard library's files, in a folder of the test's own.
TEST(StdFileSystemTest, SaveReplacesAFileLoadReadsItAndFailuresLeaveNoTrace)
{
    std::filesystem::path folder;
    do
        folder = std::filesystem::temp_directory_path() / ("velkor-mem-" + std::to_string(std::random_device{}()));
    while (!std::filesystem::create_directory(folder));
    const std::string dir = folder.string();
    const std::string name = dir + "/velkor.mem";
    auto contents = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    TStdFileSystem files;
    std::ofstream(name, std::ios::binary) << "stale\tand\tlonger\tthan\tthe\tnew\tone\t\r\n\r\n\r\n";
    TStringAlignGrid grid = MemoryGrid();
    grid.SetCells(0, 1, "Home");
    SaveMemoryFile(grid, files, name);
    EXPECT_EQ(contents(name), kHeaderLine + "Home\t\t\t\t\r\n");
    TStringAlignGrid loaded = MemoryGrid();
    EXPECT_TRUE(LoadMemoryFile(loaded, files, name));
    EXPECT_EQ(CellsOf(loaded), CellsOf(grid));
    std::string data;
    EXPECT_FALSE(files.Read(dir + "/missing.mem", data));
    EXPECT_FALSE(files.Read(dir, data)) << "a folder is not a file";

    // A folder in the way: the replace fails, the folder stays, no leftover.
    const std::string blocked = dir + "/blocked.mem";
    std::filesystem::create_directory(blocked);
    EXPECT_THROW(SaveMemoryFile(grid, files, blocked), EFCreateError);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    EXPECT_FALSE(std::filesystem::exists(blocked + ".tmp"));
    std::filesystem::remove_all(dir);

    // A full disk fails the write or the close, whichever meets it.
    if (std::filesystem::exists("/dev/full")) {
        std::unique_ptr<IFileWriter> writer = files.Create("/dev/full");
        ASSERT_TRUE(writer);
        const bool written = writer->Write(name.data(), name.size());
        EXPECT_FALSE(written && writer->Close());
    }
}

} // namespace
