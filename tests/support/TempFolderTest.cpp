// A test's temporary folder: whatever was left in it, it goes, and a folder
// that cannot be made or a file that cannot be written is raised, not passed
// over.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

TEST(TempFolder, GoesWithReadOnlyFilesAndFoldersInIt)
{
    fs::path path;
    {
        TTempFolder folder("velkor-support");
        path = folder.Path();
        fs::create_directories(folder / "deep" / "deeper");
        folder.Write("deep/deeper/kept.mem", "bytes");
        folder.Write("top.ini", "");
        for (const char* name : {"deep/deeper/kept.mem", "top.ini", "deep/deeper", "deep"})
            fs::permissions(folder / name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        EXPECT_EQ(folder.Read("deep/deeper/kept.mem"), "bytes");
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolder, RemovedEarlyItIsGoneOnceAndTheEndFindsNothingToDo)
{
    TTempFolder folder("velkor-support");
    folder.Write("velkor.mem", "x");
    EXPECT_TRUE(folder.Remove());
    EXPECT_FALSE(fs::exists(folder.Path()));
    EXPECT_TRUE(folder.Remove()) << "nothing left is no failure";
}

TEST(TempFolder, EveryUniqueFolderIsAFolderOfItsOwn)
{
    TTempFolder first("velkor-support");
    TTempFolder second("velkor-support");
    EXPECT_NE(first.Path(), second.Path());
    EXPECT_EQ(first.Path().parent_path() / "", fs::temp_directory_path() / "");
    EXPECT_EQ(first.Path().filename().string().rfind("velkor-support-", 0), 0u) << first.Path();
}

TEST(TempFolder, AGivenNameIsTakenAsItStandsAndGoesAtTheEnd)
{
    const fs::path path = fs::temp_directory_path() / "Velkor Support Test";
    {
        TTempFolder left(path.filename(), TFolderName::AsGiven);
        left.Write("left.mem", "from before");
        TTempFolder again(path.filename(), TFolderName::AsGiven);
        EXPECT_EQ(again.Path(), path);
        EXPECT_EQ(again.Read("left.mem"), "from before") << "what was there stays until the end";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolder, WhatCannotBeMadeOrWrittenIsRaised)
{
    TTempFolder folder("velkor-support");
    EXPECT_THROW(folder.Write("missing/velkor.mem", "x"), std::runtime_error);
    EXPECT_FALSE(fs::exists(folder / "missing"));
    EXPECT_EQ(folder.Read("missing.mem"), "") << "nothing to read";

    // A file where the folder would go.
    const fs::path name = fs::path(folder.Name("in the way")).lexically_relative(fs::temp_directory_path());
    folder.Write("in the way", "file");
    EXPECT_THROW({ TTempFolder blocked(name, TFolderName::AsGiven); }, fs::filesystem_error);
    EXPECT_EQ(folder.Read("in the way"), "file");
}

} // namespace
