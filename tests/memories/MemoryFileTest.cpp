#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "memories/MemoryFile.h"
#include "platform/StdFileSystem.h"
#include "tests/memories/GridSupport.h"
#include "tests/support/FakeFileSystem.h"
#include "tests/support/TempFolder.h"

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
    EXPECT_EQ(files.Log, (std::vector<std::string>{"read velkor.mem", "create velkor.mem.tmp", "write velkor.mem.tmp",
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
        EXPECT_EQ(LoadMemoryFile(grid, files).Kind, TMemoryFileState::Read) << c.Name;
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
}

TEST(MemoryFileTest, NoFileIsAFirstRunAndAnyOtherFileNotReadIsUnreadableWithItsCause)
{
    const Rows built = CellsOf(MemoryGrid());
    const std::string memory = "Home\tDIGI\t7.074.000\t\t\r\n";
    // As Velkor writes it, the last caption long enough to reach the limit.
    const std::string last = "\t\t\t\t\r\n";
    std::string atLimit = kHeaderLine;
    while (atLimit.size() + memory.size() + last.size() <= kMaxMemoryFileSize)
        atLimit += memory;
    atLimit += std::string(kMaxMemoryFileSize - atLimit.size() - last.size(), 'x') + last;
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("C\0a\0p\0\t\0\r\0\n\0", 12);
    const std::string tooLarge = "it is larger than 1 MB, more than any memory list holds";
    const std::string unicode = "it is saved as Unicode (UTF-16) text, and Velkor reads ANSI text only";
    const std::string nul = "it holds NUL bytes, so it is not a text file as Velkor writes it";
    struct Case {
        const char* Name;
        std::function<void(TFakeFileSystem&)> Arrange;
        TMemoryFileState::TKind Kind;
        std::string Cause;
    };
    const Case cases[] = {
        {"no file", [](TFakeFileSystem&) {}, TMemoryFileState::Missing, ""},
        {"held by another program",
         [](TFakeFileSystem& f) {
             f.Unreadable["velkor.mem"] =
                 "The process cannot access the file because it is being used by another process";
         },
         TMemoryFileState::Unreadable,
         "The process cannot access the file because it is being used by another process"},
        {"a read error without words", [](TFakeFileSystem& f) { f.Unreadable["velkor.mem"] = ""; },
         TMemoryFileState::Unreadable, "it cannot be read"},
        {"exactly the largest size", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = atLimit; },
         TMemoryFileState::Read, ""},
        {"one byte more", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = atLimit + "\n"; },
         TMemoryFileState::Unreadable, tooLarge},
        {"UTF-16 with its byte-order mark", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = utf16; },
         TMemoryFileState::Unreadable, unicode},
        {"big-endian UTF-16", [](TFakeFileSystem& f) { f.Files["velkor.mem"] = std::string("\xFE\xFF\0C", 4); },
         TMemoryFileState::Unreadable, unicode},
        {"a NUL after good lines",
         [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = kHeaderLine + memory + std::string(1, '\0'); },
         TMemoryFileState::Unreadable, nul},
        {"a line of 200,000 fields and ten more lines",
         [](TFakeFileSystem& f) { f.Files["velkor.mem"] = std::string(200000, '\t') + std::string(10, '\n'); },
         TMemoryFileState::Unreadable, "as a memory list it would be larger than 1 MB, more than any memory list holds"},
        {"a UTF-8 byte-order mark is text", [&](TFakeFileSystem& f) { f.Files["velkor.mem"] = "\xEF\xBB\xBF" + memory; },
         TMemoryFileState::Read, ""},
    };
    for (const Case& c : cases) {
        TFakeFileSystem files;
        c.Arrange(files);
        TStringAlignGrid grid = MemoryGrid();
        const TMemoryFileState state = LoadMemoryFile(grid, files);
        EXPECT_EQ(state.Kind, c.Kind) << c.Name;
        EXPECT_EQ(state.Cause, c.Cause) << c.Name;
        if (c.Kind != TMemoryFileState::Read) {
            EXPECT_EQ(CellsOf(grid), built) << c.Name << ": nothing half read";
        } else {
            EXPECT_TRUE(state.Bytes == files.Files["velkor.mem"]) << c.Name;
            EXPECT_GT(grid.RowCount(), 1) << c.Name;
        }
        EXPECT_LE(files.MostBytesRead, kMaxMemoryFileSize) << c.Name;
    }
}

TEST(MemoryFileTest, EverySaveKeepsThePreviousFileAsTheBackup)
{
    TFakeFileSystem files;
    TStringAlignGrid grid = MemoryGrid();
    const std::string first = SaveMemoryFile(grid, files);
    EXPECT_EQ(files.Files.count("velkor.mem.bak"), 0u) << "nothing to keep on the first save";
    grid.SetCells(0, 1, "Home");
    const std::string second = SaveMemoryFile(grid, files);
    grid.SetCells(0, 1, "Net");
    files.Log.clear();
    const std::string third = SaveMemoryFile(grid, files);
    EXPECT_EQ(files.Files["velkor.mem"], third);
    EXPECT_EQ(files.Files["velkor.mem.bak"], second) << "one generation";
    EXPECT_EQ(files.Files.size(), 2u) << "no temporary file left";
    EXPECT_NE(first, second);
    EXPECT_EQ(files.Log, (std::vector<std::string>{"read velkor.mem", "remove velkor.mem.bak.tmp",
                                                   "create velkor.mem.tmp", "write velkor.mem.tmp",
                                                   "close velkor.mem.tmp",
                                                   "duplicate velkor.mem velkor.mem.bak.tmp",
                                                   "replace velkor.mem.bak.tmp velkor.mem.bak",
                                                   "replace velkor.mem.tmp velkor.mem"}));
}

TEST(MemoryFileTest, AFileKeptAsideGetsANameNoOtherFileHas)
{
    using TFree = std::string (*)(IFileSystem&, const std::string&, const std::string&);
    for (const auto& [free, kind] : {std::pair<TFree, std::string>{FreeBadFileName, "bad"},
                                     std::pair<TFree, std::string>{FreeChangedFileName, "changed"}}) {
        TFakeFileSystem files;
        const std::string base = "velkor.mem." + kind + "-2024-06-01";
        EXPECT_EQ(free(files, "velkor.mem", "2024-06-01"), base);
        files.Files[base] = "older";
        EXPECT_EQ(free(files, "velkor.mem", "2024-06-01"), base + "-2");
        files.Unreadable[base + "-2"] = "locked";
        EXPECT_EQ(free(files, "velkor.mem", "2024-06-01"), base + "-3");
    }
}

// Program rule: saving what the file holds already changes no file, so that
// a second save (a second "Yes", Save pressed twice) never turns the backup
// into the file itself.
TEST(MemoryFileTest, ASaveThatChangesNothingWritesAndRotatesNothing)
{
    TStringAlignGrid grid = MemoryGrid();
    grid.SetCells(0, 1, "Home");
    const std::string text = grid.ExportCellsAsText('\t');
    for (const char* keep : {"", "velkor.mem.changed-2024-06-01"}) {
        TFakeFileSystem files;
        files.Files = {{"velkor.mem", text}, {"velkor.mem.bak", "older"}};
        const auto before = files.Files;
        EXPECT_EQ(SaveMemoryFile(grid, files, "velkor.mem", keep), text) << keep;
        EXPECT_EQ(files.Files, before) << keep;
        EXPECT_EQ(files.Log, (std::vector<std::string>{"read velkor.mem"})) << keep;
    }
}

// Program rule: a file kept at the operator's word is moved to a name of its
// own only once the new bytes are out, and is back in its place when the
// save cannot finish.
TEST(MemoryFileTest, AFileKeptAsideIsNeverTheBackupAndComesBackWhenTheSaveFails)
{
    const std::string keep = "velkor.mem.changed-2024-06-01";
    const std::map<std::string, std::string> before = {{"velkor.mem", "edited"}, {"velkor.mem.bak", "older"}};
    struct Case {
        const char* Name;
        std::function<void(TFakeFileSystem&)> Break;
        std::string Message; // empty: saved
    };
    const Case cases[] = {
        {"saved", [](TFakeFileSystem&) {}, ""},
        {"it cannot be renamed", [](TFakeFileSystem& f) { f.FailRename = true; },
         "Cannot create file velkor.mem.changed-2024-06-01: velkor.mem cannot be renamed to it. Close any program "
         "that has velkor.mem open, then save again"},
        {"the new file cannot take its place", [](TFakeFileSystem& f) { f.Unreplaceable.insert("velkor.mem"); },
         "Cannot create file velkor.mem"},
        {"the temporary file cannot be made", [](TFakeFileSystem& f) { f.Uncreatable.insert("velkor.mem.tmp"); },
         "Cannot create file velkor.mem"},
    };
    for (const Case& c : cases) {
        TFakeFileSystem files;
        files.Files = before;
        c.Break(files);
        TStringAlignGrid grid = MemoryGrid();
        try {
            const std::string text = SaveMemoryFile(grid, files, "velkor.mem", keep);
            EXPECT_EQ(c.Message, "") << c.Name;
            EXPECT_EQ(files.Files, (std::map<std::string, std::string>{
                                       {"velkor.mem", text}, {"velkor.mem.bak", "older"}, {keep, "edited"}}))
                << c.Name;
        } catch (const EFCreateError& error) {
            EXPECT_EQ(error.Message(), c.Message) << c.Name;
            EXPECT_EQ(files.Files, before) << c.Name;
        }
    }
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
        {"old file cannot be replaced", [](TFakeFileSystem& f) { f.Unreplaceable.insert("velkor.mem"); },
         "Cannot create file velkor.mem"},
        {"the backup cannot be made", [](TFakeFileSystem& f) { f.Uncreatable.insert("velkor.mem.bak.tmp"); },
         "Cannot create file velkor.mem.bak"},
        {"the older backup cannot be replaced", [](TFakeFileSystem& f) { f.Unreplaceable.insert("velkor.mem.bak"); },
         "Cannot create file velkor.mem.bak"},
    };
    for (const Case& c : cases) {
        TFakeFileSystem files;
        files.Files["velkor.mem"] = old;
        files.Files["velkor.mem.bak"] = "older";
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
        EXPECT_EQ(files.Files.count("velkor.mem.bak.tmp"), 0u) << c.Name << ": no half-made backup";
        if (c.Message != "Cannot create file velkor.mem") {
            EXPECT_EQ(files.Files["velkor.mem.bak"], "older") << c.Name;
        }
    }
}

TEST(MemoryFileTest, AListThatWouldNotLoadAgainIsNotSaved)
{
    TFakeFileSystem files;
    files.Files["velkor.mem"] = "old";
    TStringAlignGrid grid = MemoryGrid();
    grid.SetCells(0, 1, std::string(kMaxMemoryFileSize, 'x'));
    try {
        SaveMemoryFile(grid, files);
        ADD_FAILURE() << "saved";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file velkor.mem: it would be larger than 1 MB and not load again");
    }
    EXPECT_EQ(files.Files, (std::map<std::string, std::string>{{"velkor.mem", "old"}}));
}

// The standard library's files, in a folder of the test's own.
TEST(StdFileSystemTest, SaveReplacesAFileLoadReadsItAndFailuresLeaveNoTrace)
{
    const TTempFolder folder("velkor-mem");
    const std::string dir = folder.Path().string();
    const std::string name = dir + "/velkor.mem";
    auto contents = [&](const std::string& file) { return folder.Read(file); };
    TStdFileSystem files;
    const std::string stale = "stale\tand\tlonger\tthan\tthe\tnew\tone\t\r\n\r\n\r\n";
    folder.Write(name, stale);
    TStringAlignGrid grid = MemoryGrid();
    grid.SetCells(0, 1, "Home");
    SaveMemoryFile(grid, files, name);
    EXPECT_EQ(contents(name), kHeaderLine + "Home\t\t\t\t\r\n");
    EXPECT_EQ(contents(name + ".bak"), stale);
    SaveMemoryFile(grid, files, name);
    EXPECT_EQ(contents(name + ".bak"), stale) << "a save that changes nothing writes nothing";
    grid.SetCells(0, 1, "Net");
    SaveMemoryFile(grid, files, name);
    EXPECT_EQ(contents(name + ".bak"), kHeaderLine + "Home\t\t\t\t\r\n") << "a second save replaces the backup";
    EXPECT_FALSE(std::filesystem::exists(name + ".bak.tmp"));
    TStringAlignGrid loaded = MemoryGrid();
    EXPECT_EQ(LoadMemoryFile(loaded, files, name).Kind, TMemoryFileState::Read);
    EXPECT_EQ(CellsOf(loaded), CellsOf(grid));

    // A read-only backup, and a half-made one that cannot be removed, stop
    // the save with what to do; the old files stay.
    namespace fs = std::filesystem;
    const std::string saved = contents(name);
    grid.SetCells(0, 1, "Home 2");
    fs::permissions(name + ".bak", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(files.IsReadOnly(name + ".bak"));
    EXPECT_FALSE(files.IsReadOnly(name));
    EXPECT_FALSE(files.IsReadOnly(dir));
    EXPECT_FALSE(files.IsReadOnly(dir + "/missing.mem"));
    try {
        SaveMemoryFile(grid, files, name);
        ADD_FAILURE() << "saved over a read-only backup";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + name + ".bak: it is read-only. Clear its read-only "
                                   "attribute (in the file's Properties) or move it to another folder to keep it, "
                                   "then save again");
    }
    fs::permissions(name + ".bak", fs::perms::owner_write, fs::perm_options::add);
    fs::create_directories(name + ".bak.tmp/inside");
    try {
        SaveMemoryFile(grid, files, name);
        ADD_FAILURE() << "saved past a folder in the backup's way";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + name + ".bak: " + name + ".bak.tmp, left over from an "
                                   "earlier save, is in the way and cannot be removed. Delete it, or close the "
                                   "program that holds it open, then save again");
    }
    EXPECT_EQ(contents(name), saved);
    EXPECT_FALSE(fs::exists(name + ".tmp"));
    fs::remove_all(name + ".bak.tmp");
    SaveMemoryFile(grid, files, name);
    EXPECT_EQ(contents(name + ".bak"), saved);

    // A rename never replaces; a duplicate is a second name or a copy.
    EXPECT_FALSE(files.Rename(name, name + ".bak"));
    EXPECT_TRUE(files.Duplicate(name, dir + "/copy.mem"));
    EXPECT_FALSE(files.Duplicate(name, dir + "/copy.mem"));
    EXPECT_TRUE(files.Rename(dir + "/copy.mem", dir + "/moved.mem"));
    EXPECT_EQ(contents(dir + "/moved.mem"), contents(name));
    EXPECT_FALSE(files.Exists(dir + "/copy.mem"));

    // Reads: no file is missing, anything else that cannot be read fails
    // with the system's words; a file past the limit is refused unread.
    struct TReadCase {
        const char* What;
        std::string Name;
        size_t Limit;
        TReadResult Result;
    };
    folder.Write("large.mem", kHeaderLine);
    std::filesystem::resize_file(dir + "/large.mem", 100u << 20); // sparse: no 100 MB written
    const TReadCase reads[] = {
        {"no file", dir + "/missing.mem", kMaxMemoryFileSize, TReadResult::Missing},
        {"no folder", dir + "/missing/velkor.mem", kMaxMemoryFileSize, TReadResult::Missing},
        {"a folder is not a file", dir, kMaxMemoryFileSize, TReadResult::Failed},
        {"100 MB", dir + "/large.mem", kMaxMemoryFileSize, TReadResult::TooLarge},
        {"exactly the limit", name, contents(name).size(), TReadResult::Read},
        {"one byte past the limit", name, contents(name).size() - 1, TReadResult::TooLarge},
        {"a device without end", "/dev/zero", 1000, TReadResult::TooLarge},
    };
    for (const TReadCase& c : reads) {
        if (!std::filesystem::exists(c.Name) && c.Result != TReadResult::Missing)
            continue;
        std::string data = "untouched";
        std::string reason;
        EXPECT_EQ(files.Read(c.Name, data, c.Limit, reason), c.Result) << c.What;
        EXPECT_EQ(data, c.Result == TReadResult::Read ? contents(name) : "untouched") << c.What;
        EXPECT_EQ(reason.empty(), c.Result != TReadResult::Failed) << c.What << ": " << reason;
    }

    // A folder in the way: the replace fails, the folder stays, no leftover.
    const std::string blocked = dir + "/blocked.mem";
    std::filesystem::create_directory(blocked);
    EXPECT_THROW(SaveMemoryFile(grid, files, blocked), EFCreateError);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    EXPECT_FALSE(std::filesystem::exists(blocked + ".tmp"));

    // A full disk fails the write or the close, whichever meets it.
    if (std::filesystem::exists("/dev/full")) {
        std::unique_ptr<IFileWriter> writer = files.Create("/dev/full");
        ASSERT_TRUE(writer);
        const bool written = writer->Write(name.data(), name.size());
        EXPECT_FALSE(written && writer->Close());
    }
}

} // namespace
