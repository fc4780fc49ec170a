// The file seam on the system's files, as velkor.exe saves its memories.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>

#include "base/win32/Handle.h"
#include "memories/MemoryFile.h"
#include "platform/win32/Win32FileSystem.h"
#include "tests/support/TempFolder.h"

namespace {

const std::string kHeaderLine = "Caption\tMode\tVFO A\tVFO B\t\r\n";


class MemoryFileWin32Test : public ::testing::Test {
protected:
    MemoryFileWin32Test()
    {
        Grid.SetCells(0, 0, "Caption");
        Grid.SetCells(1, 0, "Mode");
        Grid.SetCells(2, 0, "VFO A");
        Grid.SetCells(3, 0, "VFO B");
        Grid.SetCells(0, 1, "Home");
        Grid.SetCells(2, 1, "7.074.000");
    }

    std::string Name(const char* file) const { return Dir.Name(file); }
    std::string Contents(const std::string& name) const { return Dir.Read(name); }

    TTempFolder Dir{"velkor-files"};
    TStringAlignGrid Grid{4, 2};
    TWin32FileSystem Files;
};

TEST_F(MemoryFileWin32Test, ASaveReplacesTheOldFileWholeAndLeavesNoTemporaryFile)
{
    const std::string name = Name("velkor.mem");
    Dir.Write(name, "stale\tand\tlonger\tthan\tthe\tnew\tone\t\r\n\r\n\r\n");
    SaveMemoryFile(Grid, Files, name);
    const std::string expected = kHeaderLine + "Home\t\t7.074.000\t\t\r\n";
    EXPECT_EQ(Contents(name), expected);
    EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
    std::string data;
    std::string reason;
    ASSERT_EQ(Files.Read(name, data, kMaxMemoryFileSize, reason), TReadResult::Read);
    EXPECT_EQ(data, expected);
    EXPECT_FALSE(Files.Remove(Name("missing.mem")));
}

TEST_F(MemoryFileWin32Test, EverySaveKeepsThePreviousFileAsTheBackupInOneStep)
{
    const std::string name = Name("velkor.mem");
    Dir.Write(name, "first");
    SaveMemoryFile(Grid, Files, name);
    EXPECT_EQ(Contents(name + ".bak"), "first");
    const std::string second = Contents(name);
    Grid.SetCells(0, 1, "Net");
    SaveMemoryFile(Grid, Files, name);
    EXPECT_EQ(Contents(name + ".bak"), second) << "one generation";
    EXPECT_NE(Contents(name), second);
    for (const char* leftover : {".tmp", ".bak.tmp"})
        EXPECT_FALSE(std::filesystem::exists(name + leftover)) << leftover;

    // A rename never replaces; a duplicate is a second name of the file.
    EXPECT_FALSE(Files.Rename(name, name + ".bak"));
    EXPECT_TRUE(Files.Duplicate(name, Name("link.mem")));
    EXPECT_FALSE(Files.Duplicate(name, Name("link.mem")));
    EXPECT_TRUE(Files.Rename(Name("link.mem"), Name("moved.mem")));
    EXPECT_EQ(Contents(Name("moved.mem")), Contents(name));
    EXPECT_TRUE(Files.Exists(Name("moved.mem")));
    EXPECT_FALSE(Files.Exists(Name("link.mem")));
}

// Program rule: a file another program holds open for writing (an editor, a
// spreadsheet) is still read; only what truly cannot be read fails, with the
// system's words, and no file is no failure.
TEST_F(MemoryFileWin32Test, AFileHeldOpenIsReadAndWhatCannotBeReadSaysWhy)
{
    const std::string name = Name("velkor.mem");
    Dir.Write(name, kHeaderLine + "Home\t\t7.074.000\t\t\r\n");
    const std::string large = Name("large.mem");
    {
        TKernelHandle file(CreateFileA(large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        LARGE_INTEGER size{};
        size.QuadPart = 100ll << 20;
        ASSERT_TRUE(SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get()));
    }
    struct TCase {
        const char* What;
        std::string File;
        DWORD OtherAccess; // 0: nobody else has it open
        DWORD OtherSharing;
        TReadResult Result;
    };
    const TCase cases[] = {
        {"open for writing elsewhere", name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, TReadResult::Read},
        {"open for writing and deleting elsewhere", name, GENERIC_READ | GENERIC_WRITE | DELETE,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, TReadResult::Read},
        {"held without sharing", name, GENERIC_READ, 0, TReadResult::Failed},
        {"no file", Name("missing.mem"), 0, 0, TReadResult::Missing},
        {"no folder", Name("missing\\velkor.mem"), 0, 0, TReadResult::Missing},
        {"a folder is not a file", Dir.Path().string(), 0, 0, TReadResult::Failed},
        {"100 MB", large, 0, 0, TReadResult::TooLarge},
    };
    const std::string bytes = Contents(name);
    for (const TCase& c : cases) {
        TKernelHandle other(c.OtherAccess ? CreateFileA(c.File.c_str(), c.OtherAccess, c.OtherSharing, nullptr,
                                                        OPEN_EXISTING, 0, nullptr)
                                          : INVALID_HANDLE_VALUE);
        ASSERT_EQ(static_cast<bool>(other), c.OtherAccess != 0) << c.What;
        std::string data = "untouched";
        std::string reason;
        EXPECT_EQ(Files.Read(c.File, data, kMaxMemoryFileSize, reason), c.Result) << c.What;
        EXPECT_EQ(data, c.Result == TReadResult::Read ? bytes : "untouched") << c.What;
        EXPECT_EQ(reason.empty(), c.Result != TReadResult::Failed) << c.What << ": " << reason;

        TStringAlignGrid grid(4, 2);
        const TMemoryFileState state = LoadMemoryFile(grid, Files, c.File);
        if (c.Result == TReadResult::Failed) {
            EXPECT_EQ(state.Cause, reason) << c.What;
        }
        EXPECT_EQ(grid.Cells(0, 1), c.Result == TReadResult::Read ? "Home" : "") << c.What;
    }
}

TEST_F(MemoryFileWin32Test, AFailedSaveLeavesTheOldFileAsItWas)
{
    struct TCase {
        const char* What;
        std::function<void(const std::string&)> Block;
        std::string Failing; // what the error says after the memory file's name; "@" stands for that name
    };
    const TCase cases[] = {
        {"a folder that does not exist", [](const std::string&) {}, ""},
        {"a folder where the temporary file goes",
         [this](const std::string& name) {
             Dir.Write(name, "old");
             std::filesystem::create_directory(name + ".tmp");
         },
         ": @.tmp, left over from an earlier save, is in the way and cannot be removed. Delete it, or close the "
         "program that holds it open, then save again"},
        {"a folder where the memory file goes",
         [](const std::string& name) { std::filesystem::create_directory(name); }, ".bak"},
        {"a folder where the backup goes",
         [this](const std::string& name) {
             Dir.Write(name, "old");
             std::filesystem::create_directory(name + ".bak");
         },
         ".bak"},
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
            std::string failing = c.Failing;
            if (const size_t at = failing.find('@'); at != std::string::npos)
                failing.replace(at, 1, name);
            EXPECT_EQ(std::string(error.what()), "Cannot create file " + name + failing) << c.What;
        }
        if (std::filesystem::is_regular_file(name)) {
            EXPECT_EQ(Contents(name), "old") << c.What;
        }
        EXPECT_EQ(std::filesystem::exists(name), n > 1) << c.What;
        if (!std::filesystem::is_directory(name + ".tmp")) {
            EXPECT_FALSE(std::filesystem::exists(name + ".tmp")) << c.What << ": no leftover";
        }
        EXPECT_FALSE(std::filesystem::exists(name + ".bak.tmp")) << c.What << ": no half-made backup";
    }
}

// Program rule: Windows refuses a read-only file to every save; the save
// stops before anything is written, names the file and says what to do, and
// goes through once it is done.
TEST_F(MemoryFileWin32Test, AReadOnlyBackupOrLeftoverStopsTheSaveWithWhatToDo)
{
    const std::string name = Name("velkor.mem");
    const std::string readOnly = ": it is read-only. Clear its read-only attribute (in the file's Properties)";
    struct TCase {
        const char* What;
        std::string Marked; // made read-only
        std::string Message;
    };
    const TCase cases[] = {
        {"a read-only backup", name + ".bak",
         "Cannot create file " + name + ".bak" + readOnly +
             " or move it to another folder to keep it, then save again"},
        {"a read-only memory file", name, "Cannot create file " + name + readOnly + ", then save again"},
        {"a read-only half-made backup", name + ".bak.tmp",
         "Cannot create file " + name + ".bak: " + name + ".bak.tmp, left over from an earlier save, is read-only. "
         "Delete it, then save again"},
        {"a read-only temporary file", name + ".tmp",
         "Cannot create file " + name + ": " + name + ".tmp, left over from an earlier save, is read-only. Delete "
         "it, then save again"},
    };
    for (const TCase& c : cases) {
        Dir.Write(name, "old");
        Dir.Write(name + ".bak", "older");
        if (c.Marked != name && c.Marked != name + ".bak")
            Dir.Write(c.Marked, "left");
        EXPECT_FALSE(Files.IsReadOnly(c.Marked)) << c.What;
        ASSERT_TRUE(SetFileAttributesA(c.Marked.c_str(), FILE_ATTRIBUTE_READONLY)) << c.What;
        EXPECT_TRUE(Files.IsReadOnly(c.Marked)) << c.What;
        EXPECT_FALSE(Files.Remove(c.Marked)) << c.What << ": what Windows does with it";
        try {
            SaveMemoryFile(Grid, Files, name);
            ADD_FAILURE() << c.What << ": saved";
        } catch (const EFCreateError& error) {
            EXPECT_EQ(std::string(error.what()), c.Message) << c.What;
        }
        EXPECT_EQ(Contents(name), "old") << c.What;
        EXPECT_EQ(Contents(name + ".bak"), "older") << c.What;
        if (c.Marked != name + ".tmp") {
            EXPECT_FALSE(std::filesystem::exists(name + ".tmp")) << c.What;
        }

        ASSERT_TRUE(SetFileAttributesA(c.Marked.c_str(), FILE_ATTRIBUTE_NORMAL)) << c.What;
        SaveMemoryFile(Grid, Files, name);
        EXPECT_EQ(Contents(name), kHeaderLine + "Home\t\t7.074.000\t\t\r\n") << c.What;
        EXPECT_EQ(Contents(name + ".bak"), "old") << c.What;
        for (const char* leftover : {".tmp", ".bak.tmp"})
            EXPECT_FALSE(std::filesystem::exists(name + leftover)) << c.What << leftover;
    }
    EXPECT_FALSE(Files.IsReadOnly(Dir.Path().string())) << "a folder is no read-only file";
    EXPECT_FALSE(Files.IsReadOnly(Name("missing.mem")));
}

} // namespace
