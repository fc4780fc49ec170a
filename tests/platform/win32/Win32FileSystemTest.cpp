// The file seam on the system's files, as velkor.exe saves its memories.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "memories/MemoryFile.h"
#include "platform/win32/Win32FileSystem.h"

namespace {

const std::string kHeaderLine = "Caption\tMode\tVFO A\tVFO B\t\r\n";

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystemTest()
    {
        Dir = std::filesystem::temp_directory_path() / ("velkor-files-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(Dir);
        Grid.SetCells(0, 0, "Caption");
        Grid.SetCells(1, 0, "Mode");
        Grid.SetCells(2, 0, "VFO A");
        Grid.SetCells(3, 0, "VFO B");
        Grid.SetCells(0, 1, "Home");
        Grid.SetCells(2, 1, "7.074.000");
    }
    ~Win32FileSystemTest() override
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Dir, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(Dir, ignored);
    }

    std::string Name(const char* file) const { return (Dir / file).string(); }
    static std::string Contents(const std::string& name)
    {
        std::ifstream in(name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path Dir;
    TStringAlignGrid Grid{4, 2};
    TWin32FileSystem Files;
};

TEST_F(Win32FileSystemTest, ASaveReplacesTheOldFileWholeAndLeavesNoTemporaryFile)
{
    const std::string name = Name("velkor.mem");
    std::ofstream(name, std::ios::binary) << "stale\tand\tlonger\tthan\tthe\tnew\tone\t\r\n\r\n\r\n";
    SaveMemoryFile(Grid, Files, name);
    const std::string expected = kHeaderLine + "Home\t\t7.074.000\t\t\r\n";
    EXPECT_EQ(Contents(name), expected);
    EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
    std::string data;
    ASSERT_TRUE(Files.Read(name, data));
    EXPECT_EQ(data, expected);

    EXPECT_FALSE(Files.Read(Name("missing.mem"), data));
    EXPECT_FALSE(Files.Read(Dir.string(), data)) << "a folder is not a file";
    EXPECT_FALSE(Files.Remove(Name("missing.mem")));
}

TEST_F(Win32FileSystemTest, AFailedSaveLeavesTheOldFileAsItWas)
{
    struct TCase {
        const char* What;
        std::function<void(const std::string&)> Block;
    };
    const TCase cases[] = {
        {"a folder that does not exist", [](const std::string&) {}},
        {"a folder where the temporary file goes",
         [](const std::string& name) {
             std::ofstream(name, std::ios::binary) << "old";
             std::filesystem::create_directory(name + ".tmp");
         }},
        {"a folder where the memory file goes",
         [](const std::string& name) { std::filesystem::create_directory(name); }},
    };
    int n = 0;
    for (const TCase& c : cases) {
        const std::string name =
            n++ == 0 ? Name("missing\\velkor.mem") : Name(("case" + std::to_string(n) + ".mem").c_str());
        c.Block(name);
        try {
            SaveMemoryFile(Grid, Files, name);
            ADD_FAILURE() << c.What << ": saved";
        } catch (const EFCreateError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot create file " + name) << c.What;
        }
        if (std::filesystem::is_regular_file(name)) {
            EXPECT_EQ(Contents(name), "old") << c.What;
        }
        EXPECT_EQ(std::filesystem::exists(name), n > 1) << c.What;
        if (!std::filesystem::is_directory(name + ".tmp")) {
            EXPECT_FALSE(std::filesystem::exists(name + ".tmp")) << c.What << ": no leftover";
        }
    }
}

} // namespace
