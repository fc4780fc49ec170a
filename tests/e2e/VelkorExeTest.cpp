// velkor.exe as a whole, with rigsim.exe as its rig server.
#include <gtest/gtest.h>

#include <filesystem>

#include "RigSimProcess.h"
#include "VelkorProcess.h"
#include "VersionResource.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"

using Microsoft::WRL::ComPtr;

namespace {

TEST(VelkorExe, PollsTheRigServerUntilItsWindowCloses)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    StoreSetting(L"On_Offlbl_Caption", L"ON"); // switched on at the start
    TVelkorProcess velkor;

    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), 1, 14) > 0; }, 10000)) << "velkor.exe never polled";
    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(velkor.Id(), nullptr, kMainCaption).empty(); }, 10000));
    const long before = Calls(control.Get(), 1, 14);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), 1, 14) >= before + 2; }, 10000)) << "polling goes on";

    PostMessageW(WindowsOf(velkor.Id(), nullptr, kMainCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
    // Counted once the program has gone, so that no tick is half done.
    EXPECT_EQ(Calls(control.Get(), 1, 24), 4 * Calls(control.Get(), 1, 14)) << "four VFO reads per tick";
}

TEST(VelkorExe, AServerThatKeepsFailingIsReportedOnce)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    control->FailCalls(-1, E_FAIL, TBStr("Rig is not responding").Get());
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TVelkorProcess velkor;

    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(velkor.Id(), L"#32770", L"Velkor").empty(); }, 10000))
        << "no error report";
    const long failedFetches = Calls(control.Get(), 0, 9);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), 0, 9) >= failedFetches + 3; }, 10000))
        << "polling goes on behind the report";
    EXPECT_EQ(WindowsOf(velkor.Id(), L"#32770", L"Velkor").size(), 1u) << "one report for the whole run of failures";

    // The server recovers; the report is answered; the program goes on polling.
    control->FailCalls(0, 0, nullptr);
    PostMessageW(WindowsOf(velkor.Id(), L"#32770", L"Velkor").front(), WM_COMMAND, IDOK, 0);
    const long reads = Calls(control.Get(), 1, 14);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), 1, 14) > reads + 2; }, 5000));
    PostMessageW(WindowsOf(velkor.Id(), nullptr, kMainCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

// The project's version reaches the file's properties, where Explorer and
// the installer's operators read it.
TEST(VelkorExe, CarriesTheProjectsVersionInItsVersionResource)
{
    const TVersionResource version((std::filesystem::path(ModulePath()).parent_path() / L"velkor.exe").wstring());
    ASSERT_TRUE(version.Found());
    const std::array<WORD, 4> expected{VELKOR_VERSION_MAJOR, VELKOR_VERSION_MINOR, VELKOR_VERSION_PATCH, 0};
    EXPECT_EQ(version.FileVersion(), expected);
    EXPECT_EQ(version.ProductVersion(), expected);
    EXPECT_EQ(version.FileType(), static_cast<DWORD>(VFT_APP));
    const std::pair<const wchar_t*, std::wstring> strings[] = {
        {L"ProductName", L"Velkor"},
        {L"ProductVersion", VELKOR_VERSION},
        {L"FileVersion", VELKOR_VERSION},
        {L"FileDescription", kMainCaption},
        {L"OriginalFilename", L"velkor.exe"},
    };
    for (const auto& [name, value] : strings)
        EXPECT_EQ(version.String(name).value_or(L"<missing>"), value) << name;
}

} // namespace
