// A temporary folder that the system will not let go of says so.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/win32/Handle.h"
#include "tests/support/TempFolder.h"

TEST(TempFolderWin32, AFileHeldOpenKeepsTheFolderAndRemoveSaysSo)
{
    TTempFolder folder(L"velkor-support-held");
    folder.Write("velkor.mem", "held");
    TKernelHandle held(
        CreateFileW((folder / L"velkor.mem").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(folder.Remove());
    held.Close();
    EXPECT_TRUE(folder.Remove());
    EXPECT_FALSE(std::filesystem::exists(folder.Path()));
}
