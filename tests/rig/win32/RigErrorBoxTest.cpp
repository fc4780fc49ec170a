// The poll's error box on the real window host: its modal loop keeps the
// poll running, and a rig server failing on and off opens no box inside it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {

constexpr DWORD kPatience = 10000; // ms; what a slow machine gets

// Counts the message boxes of one thread from another, closing each one
// after it has been up a while, until it has seen `boxes` of them.
class TBoxWatcher {
public:
    TBoxWatcher(DWORD thread, int boxes) : FThread(thread), FWanted(boxes), FWatcher([this] { Watch(); }) {}
    ~TBoxWatcher() { FWatcher.join(); }
    std::atomic<bool> Done = false;
    std::atomic<int> Seen = 0;
    std::atomic<int> MostAtOnce = 0;

private:
    void Watch()
    {
        const DWORD start = GetTickCount();
        HWND current = nullptr;
        DWORD openedAt = 0;
        while (Seen < FWanted && GetTickCount() - start < kPatience) {
            std::vector<HWND> boxes;
            EnumThreadWindows(FThread, &TBoxWatcher::Collect, reinterpret_cast<LPARAM>(&boxes));
            MostAtOnce = std::max<int>(MostAtOnce, static_cast<int>(boxes.size()));
            if (!boxes.empty() && boxes.front() != current) {
                current = boxes.front();
                openedAt = GetTickCount();
            }
            // Up long enough for the poll to fail, work and fail again inside it.
            if (current && GetTickCount() - openedAt > 1500) {
                for (HWND box : boxes)
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                current = nullptr;
                ++Seen;
            }
            Sleep(10);
        }
        Done = true;
    }
    static BOOL CALLBACK Collect(HWND window, LPARAM boxes)
    {
        wchar_t name[16];
        if (IsWindowVisible(window) && GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0)
            reinterpret_cast<std::vector<HWND>*>(boxes)->push_back(window);
        return TRUE;
    }

    DWORD FThread;
    int FWanted;
    std::thread FWatcher;
};

TEST(RigErrorBoxTest, AServerFailingOnAndOffNeverStacksABoxOnTheOpenOne)
{
    TWin32Host host;
    TApplication app(host);
    app.SetTitle("Velkor");
    auto server = std::make_unique<TFakeRigServer>();
    TFakeRigServer* rig = server.get();
    auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), std::move(server));
    trx->Tim->SetInterval(10);
    // The server fails and works by turns, a few ticks each.
    auto* flip = new TTimer(&app);
    flip->SetInterval(35);
    flip->OnTimer = [rig](TObject*) { rig->FailAll = !rig->FailAll; };
    rig->FailAll = true;

    TBoxWatcher watcher(GetCurrentThreadId(), 2);
    auto* end = new TTimer(&app);
    end->SetInterval(50);
    end->OnTimer = [&](TObject*) {
        if (!watcher.Done)
            return;
        trx->StopPolling();
        flip->SetEnabled(false);
        host.Terminate();
    };
    trx->StartPolling();
    host.Run();
    EXPECT_EQ(watcher.Seen, 2) << "a failure run after the box has closed is reported again";
    EXPECT_EQ(watcher.MostAtOnce, 1);
}

} // namespace
