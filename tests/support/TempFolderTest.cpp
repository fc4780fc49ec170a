// A test's temporary folder goes with read-only files in it; what cannot be
// made or written is raised, not passed over.
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
        fs::create_directories(folder / "deep");
        folder.Write("deep/kept.mem", "bytes");
        for (const char* name : {"deep/kept.mem", "deep"})
            fs::permissions(folder / name, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolder, WhatCannotBeMadeOrWrittenIsRaised)
{
    TTempFolder folder("velkor-support");
    EXPECT_THROW(folder.Write("missing/velkor.mem", "x"), std::runtime_error);
    folder.Write("in the way", "file");
    const fs::path name = folder.Path().filename() / "in the way";
    EXPECT_THROW({ TTempFolder blocked(name, TFolderName::AsGiven); }, fs::filesystem_error);
    EXPECT_EQ(folder.Read("in the way"), "file");
}

} // namespace
