// velkor.exe as a whole, with rigsim.exe as its rig server.
#include <gtest/gtest.h>

#include <filesystem>

#include "RigSim.h"
#include "RigSimProcess.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kCaption[] = L"Velkor - Transceiver control module";

std::wstring ExeDirectory()
{
    return std::filesystem::path(ModulePath()).parent_path().wstring();
}

// velkor.exe started as the operator starts it, ended at the end of the test.
class TVelkorProcess {
public:
    TVelkorProcess()
    {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        FNul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = FNul;
        std::wstring command = L"\"" + ExeDirectory() + L"\\velkor.exe\"";
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &FInfo))
            throw std::runtime_error("velkor.exe does not start");
    }
    ~TVelkorProcess()
    {
        if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(FInfo.hProcess, 99);
            WaitForSingleObject(FInfo.hProcess, 5000);
        }
        CloseHandle(FInfo.hThread);
        CloseHandle(FInfo.hProcess);
        CloseHandle(FNul);
    }
    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD milliseconds)
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(FInfo.hProcess, milliseconds) == WAIT_OBJECT_0)
            GetExitCodeProcess(FInfo.hProcess, &code);
        return code;
    }
    DWORD Id() const { return FInfo.dwProcessId; }

private:
    HANDLE FNul = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION FInfo{};
};

// Top-level windows of a process with this class and caption.
std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass, const wchar_t* caption)
{
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, caption); window;
         window = FindWindowExW(nullptr, window, windowClass, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process)
            found.push_back(window);
    }
    return found;
}

template <class Condition>
bool WaitFor(Condition condition, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(50))
        if (condition())
            return true;
    return condition();
}

long Calls(IRigSimControl* control, long iface, long slot)
{
    long count = 0;
    control->GetCallCount(iface, slot, &count);
    return count;
}

TEST(VelkorExe, PollsTheRigServerEvery200MsAndEndsWhenItsWindowCloses)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    TVelkorProcess velkor;

    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), 1, 14) > 0; }, 10000)) << "velkor.exe never polled";
    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(velkor.Id(), nullptr, kCaption).empty(); }, 5000));
    const long before = Calls(control.Get(), 1, 14);
    Sleep(1000);
    const long polls = Calls(control.Get(), 1, 14) - before;
    EXPECT_GE(polls, 3);
    EXPECT_LE(polls, 7) << "about five polls a second";
    EXPECT_EQ(Calls(control.Get(), 1, 24) - 4 * Calls(control.Get(), 1, 14), 0) << "four VFO reads per tick";

    PostMessageW(WindowsOf(velkor.Id(), nullptr, kCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

TEST(VelkorExe, AServerThatKeepsFailingIsReportedOnce)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    control->FailCalls(-1, E_FAIL, TBStr("Rig is not responding").Get());
    TVelkorProcess velkor;

    ASSERT_TRUE(WaitFor([&] { return !WindowsOf(velkor.Id(), L"#32770", L"Velkor").empty(); }, 10000))
        << "no error report";
    const long failedFetches = Calls(control.Get(), 0, 9);
    Sleep(1500);
    EXPECT_GT(Calls(control.Get(), 0, 9), failedFetches) << "polling goes on behind the report";
    EXPECT_EQ(WindowsOf(velkor.Id(), L"#32770", L"Velkor").size(), 1u) << "one report for the whole run of failures";

    // The server recovers; the report is answered; the program goes on polling.
    control->FailCalls(0, 0, nullptr);
    PostMessageW(WindowsOf(velkor.Id(), L"#32770", L"Velkor").front(), WM_COMMAND, IDOK, 0);
    const long reads = Calls(control.Get(), 1, 14);
    EXPECT_TRUE(WaitFor([&] { return Calls(control.Get(), 1, 14) > reads + 2; }, 5000));
    PostMessageW(WindowsOf(velkor.Id(), nullptr, kCaption).front(), WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

} // namespace
