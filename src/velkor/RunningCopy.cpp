#include "velkor/RunningCopy.h"

#include "ui/Forms.h"

namespace {

// In the logon session's namespace: another user's Velkor is no concern.
constexpr wchar_t kMarkName[] = L"Local\\Velkor.TransceiverControl";
constexpr const wchar_t* kWindowClass = TRunningCopyWindow::kWindowClass;
// Sent by another start: come to the front; answers 1 when done.
constexpr UINT kComeForward = TRunningCopyWindow::kComeForward;

// How long an operator's start waits for a copy that is starting or ending.
constexpr DWORD kPatience = 20000;

// The running copies' windows but this process's, asked in turn.
bool AskRunningCopyForward()
{
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, kWindowClass, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, kWindowClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            continue;
        // The operator started this program: its right to the front passes on.
        AllowSetForegroundWindow(process);
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, kComeForward, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) && answer == 1)
            return true;
    }
    return false;
}

} // namespace

TSessionMark::TSessionMark()
{
    // Taken at once when no copy has the mark; its other starts open it.
    FMutex.Reset(CreateMutexW(nullptr, TRUE, kMarkName));
    FHeld = FMutex && GetLastError() != ERROR_ALREADY_EXISTS;
}

TSessionMark::~TSessionMark()
{
    // Let go before its handle closes.
    if (FHeld)
        ReleaseMutex(FMutex.Get());
}

bool TSessionMark::Take(DWORD timeout)
{
    if (!FHeld && FMutex) {
        // Abandoned: the copy that held it ended without letting it go.
        const DWORD waited = WaitForSingleObject(FMutex.Get(), timeout);
        FHeld = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    return FHeld;
}

std::unique_ptr<TSessionMark> EnterSession(TStartMode mode)
{
    auto mark = std::make_unique<TSessionMark>();
    if (mark->Held() || mode == TStartMode::Automation) {
        mark->Take(0);
        return mark;
    }
    // Another copy has it: starting, running or ending.
    for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatience;) {
        if (AskRunningCopyForward())
            return nullptr;
        if (mark->Take(100))
            return mark;
    }
    return nullptr;
}

TRunningCopyWindow::TRunningCopyWindow(TApplication& app, std::function<HWND()> comeForward)
    : FApp(app), FComeForward(std::move(comeForward))
{
    FWindow.Create({kWindowClass}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

LRESULT TRunningCopyWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kComeForward)
        return DefWindowProcW(window, message, wParam, lParam);
    // Coming forward now would end the other start for a copy that is gone
    // a moment later.
    if (FApp.Ending())
        return 0;
    HWND main = nullptr;
    DispatchEvent(&FApp, [&] { main = FComeForward(); });
    if (!main)
        return 0;
    if (IsIconic(main))
        ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
    return 1;
}
