#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {

class Win32HostTest : public ::testing::Test {
protected:
    TWin32Host Host;
    TApplication App{Host};
};

TEST_F(Win32HostTest, TimersTickInTheMessageLoopUntilTerminate)
{
    auto* fast = new TTimer(&App);
    auto* stopped = new TTimer(&App);
    fast->SetInterval(20);
    stopped->SetInterval(10);
    stopped->SetEnabled(false);
    int fastTicks = 0, stoppedTicks = 0;
    stopped->OnTimer = [&](TObject*) { ++stoppedTicks; };
    fast->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, fast);
        if (++fastTicks == 5)
            App.Terminate();
    };
    const DWORD start = GetTickCount();
    App.Run();
    EXPECT_EQ(fastTicks, 5);
    EXPECT_EQ(stoppedTicks, 0);
    EXPECT_GE(GetTickCount() - start, 5 * 20u - 20u);
    EXPECT_TRUE(Host.Terminated());
}

TEST_F(Win32HostTest, ProcessMessagesServesWaitingTicksAndLeavesTheQuitToTheLoop)
{
    auto* timer = new TTimer(&App);
    timer->SetInterval(10);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 200)
        App.ProcessMessages();
    EXPECT_GE(ticks, 3);

    delete timer;
    const int before = ticks;
    Sleep(50);
    App.ProcessMessages();
    EXPECT_EQ(ticks, before) << "a deleted timer must not tick";

    App.Terminate();
    App.ProcessMessages();
    EXPECT_TRUE(Host.Terminated());
    App.Run(); // returns at once: the quit was kept for it
}

// Reads the texts of the first message box with this caption and answers it.
class TMessageBoxWatcher {
public:
    explicit TMessageBoxWatcher(std::wstring caption) : FCaption(std::move(caption)), FThread([this] { Watch(); }) {}
    ~TMessageBoxWatcher() { FThread.join(); }
    bool Done() const { return FDone; }
    std::vector<std::string> Texts;

private:
    void Watch()
    {
        for (int i = 0; i < 500 && !FDone; ++i, Sleep(10))
            if (HWND box = FindWindowW(L"#32770", FCaption.c_str())) {
                EnumChildWindows(box, &TMessageBoxWatcher::Collect, reinterpret_cast<LPARAM>(this));
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                FDone = true;
            }
        FDone = true;
    }
    static BOOL CALLBACK Collect(HWND child, LPARAM self)
    {
        wchar_t text[512];
        int length = GetWindowTextW(child, text, 512);
        if (length > 0)
            reinterpret_cast<TMessageBoxWatcher*>(self)->Texts.push_back(WideToAnsi(text, static_cast<size_t>(length)));
        return TRUE;
    }
    std::wstring FCaption;
    std::atomic<bool> FDone = false;
    std::thread FThread;
};

TEST_F(Win32HostTest, AnErrorInATickShowsTheGeneralErrorReportAndTheLoopGoesOn)
{
    App.SetTitle("Velkor test");
    TMessageBoxWatcher watcher(L"Velkor test");
    auto* timer = new TTimer(&App);
    timer->SetInterval(10);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) {
        ++ticks;
        if (ticks == 1)
            throw EOleError("Rig is not responding", E_FAIL);
        if (watcher.Done())
            App.Terminate();
    };
    App.Run();
    EXPECT_GT(ticks, 1) << "the loop goes on after the report";
    EXPECT_NE(std::find(watcher.Texts.begin(), watcher.Texts.end(), "Rig is not responding."), watcher.Texts.end())
        << testing::PrintToString(watcher.Texts);
}

} // namespace
