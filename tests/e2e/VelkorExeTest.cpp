// velkor.exe as a whole, with rigsim.exe as its rig server.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TempFolder.h"
#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/VelkorProcess.h"
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

    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetFreq) > 0; }, 10000))
        << "velkor.exe never polled";
    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(velkor.Id(), nullptr, kMainCaption).empty(); }, 10000));
    const long before = Calls(control.Get(), TIface::Rig, RigSlot::GetFreq);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetFreq) >= before + 2; }, 10000))
        << "polling goes on";

    PostMessageW(WindowsOf(velkor.Id(), nullptr, kMainCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
    // Counted once the program has gone: four VFO reads per tick; the tick
    // the rig server's thread was reading when the program closed is cut off.
    const long freqReads = Calls(control.Get(), TIface::Rig, RigSlot::GetFreq);
    const long vfoReads = Calls(control.Get(), TIface::Rig, RigSlot::GetVfo);
    EXPECT_LE(vfoReads, 4 * freqReads);
    EXPECT_GE(vfoReads, 4 * (freqReads - 1)) << "four VFO reads per tick";
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
    const long failedFetches = Calls(control.Get(), TIface::OmniRig, OmniRigSlot::GetRig);
    EXPECT_TRUE(WaitFor(
        [&] { return Calls(control.Get(), TIface::OmniRig, OmniRigSlot::GetRig) >= failedFetches + 3; }, 10000))
        << "polling goes on behind the report";
    EXPECT_EQ(WindowsOf(velkor.Id(), L"#32770", L"Velkor").size(), 1u) << "one report for the whole run of failures";

    // The server recovers; the report is answered; the program goes on polling.
    control->FailCalls(0, 0, nullptr);
    PostMessageW(WindowsOf(velkor.Id(), L"#32770", L"Velkor").front(), WM_COMMAND, IDOK, 0);
    const long reads = Calls(control.Get(), TIface::Rig, RigSlot::GetFreq);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetFreq) > reads + 2; }, 5000));
    PostMessageW(WindowsOf(velkor.Id(), nullptr, kMainCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

// The visible main windows of every process.
std::vector<HWND> MainWindows()
{
    std::vector<HWND> windows;
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, kMainCaption); window;
         window = FindWindowExW(nullptr, window, nullptr, kMainCaption))
        if (IsWindowVisible(window))
            windows.push_back(window);
    return windows;
}

std::wstring StartFolder()
{
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof(text);
    RegGetValueW(HKEY_CURRENT_USER, kProgramKey, L"StartFolder", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

// Two copies would both poll the rig and both write velkor.mem: the second
// start brings the running one to the front, restored, and ends before it
// writes anything.
TEST(VelkorExe, ASecondStartBringsTheRunningOneToTheFrontAndEnds)
{
    const TTempFolder first(L"velkor-first", TFolderName::AsGiven);
    const TTempFolder second(L"velkor-second", TFolderName::AsGiven);
    TVelkorProcess velkor(first.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    const std::wstring folder = StartFolder();
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }, 10000));

    TVelkorProcess again(second.Path().wstring());
    EXPECT_EQ(again.WaitForExit(20000), 0u) << "the second start ends";
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(window); }, 10000)) << "the running one is restored";
    EXPECT_EQ(MainWindows(), std::vector<HWND>{window});
    EXPECT_EQ(StartFolder(), folder) << "the second start wrote nothing";
    EXPECT_EQ(velkor.WaitForExit(0), STILL_ACTIVE);

    // Started twice at once: one of them runs.
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(velkor.WaitForExit(10000), 0u);
    TVelkorProcess one(first.Path().wstring());
    TVelkorProcess other(first.Path().wstring());
    EXPECT_TRUE(WaitFor([&] { return one.WaitForExit(0) == 0 || other.WaitForExit(0) == 0; }, 20000))
        << "one of them ends";
    TVelkorProcess& running = one.WaitForExit(0) == 0 ? other : one;
    ASSERT_TRUE(running.MainWindow());
    EXPECT_EQ(running.WaitForExit(0), STILL_ACTIVE);
    EXPECT_EQ(MainWindows().size(), 1u);
    PostMessageW(running.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(running.WaitForExit(10000), 0u);
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
