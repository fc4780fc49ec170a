#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {

constexpr DWORD kPatience = 10000; // ms; what a slow machine gets, never what a test expects

// Serves messages until done() or kPatience has passed; whether done() came
// is what the caller asserts.
template <class TDone>
void ProcessMessagesUntil(TApplication& app, TDone done)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < kPatience) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        app.ProcessMessages();
    }
}

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
    App.Run();
    EXPECT_EQ(fastTicks, 5) << "no tick is served after the quit";
    EXPECT_EQ(stoppedTicks, 0);
    EXPECT_TRUE(Host.Terminated());
}

TEST_F(Win32HostTest, ProcessMessagesServesWaitingTicksAndLeavesTheQuitToTheLoop)
{
    auto* timer = new TTimer(&App);
    auto* witness = new TTimer(&App);
    timer->SetInterval(10);
    witness->SetInterval(10);
    int ticks = 0, witnessTicks = 0;
    timer->OnTimer = [&](TObject*) { ++ticks; };
    witness->OnTimer = [&](TObject*) { ++witnessTicks; };
    ProcessMessagesUntil(App, [&] { return ticks >= 3; });
    EXPECT_GE(ticks, 3) << "three ticks within " << kPatience << " ms";

    // Once a timer of the same interval has ticked three times more, the
    // deleted one has had every chance to tick too.
    delete timer;
    const int before = ticks;
    const int witnessBefore = witnessTicks;
    ProcessMessagesUntil(App, [&] { return witnessTicks >= witnessBefore + 3; });
    EXPECT_GE(witnessTicks, witnessBefore + 3);
    EXPECT_EQ(ticks, before) << "a deleted timer must not tick";

    delete witness;
    App.Terminate();
    App.ProcessMessages();
    EXPECT_TRUE(Host.Terminated());
    App.Run(); // returns at once: the quit was kept for it
}

// A rig server slower than the poll interval keeps its timer due: serving
// the waiting messages must still come to an end.
TEST_F(Win32HostTest, ProcessMessagesEndsWhileATimerOutlastsItsInterval)
{
    auto* slow = new TTimer(&App);
    slow->SetInterval(10);
    int ticks = 0;
    slow->OnTimer = [&](TObject*) {
        Sleep(30);
        if (++ticks == 50)
            slow->SetEnabled(false); // without an end, the call would never return
    };
    ProcessMessagesUntil(App, [&] { return ticks > 0; });
    EXPECT_LT(ticks, 3) << "each timer ticks once a call";
    delete slow;
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
        for (const DWORD start = GetTickCount(); !FDone && GetTickCount() - start < kPatience; Sleep(10))
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
