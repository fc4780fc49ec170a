#include "ui/win32/Win32Host.h"

#include <cassert>

#include "base/win32/ComUtil.h"
#include "ui/Classes.h"
#include "ui/Forms.h"

TWin32Host* TWin32Host::FInstance = nullptr;

TWin32Host::TWin32Host()
{
    assert(!FInstance && "one host per process");
    FInstance = this;
}

TWin32Host::~TWin32Host()
{
    for (const auto& [id, timer] : FTimers)
        KillTimer(nullptr, id);
    FInstance = nullptr;
}

// Thread timers need no window, so timers also run where no window can be made.
void TWin32Host::StartTimer(TTimer& timer, uint32_t interval)
{
    StopTimer(timer);
    UINT_PTR id = SetTimer(nullptr, 0, interval, &TWin32Host::TimerProc);
    if (!id) {
        HRESULT code = HRESULT_FROM_WIN32(GetLastError());
        throw EOleError(OleErrorText(code), code);
    }
    FTimers[id] = &timer;
}

void TWin32Host::StopTimer(TTimer& timer)
{
    for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
        if (it->second == &timer) {
            KillTimer(nullptr, it->first);
            FTimers.erase(it);
            return;
        }
}

void CALLBACK TWin32Host::TimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!FInstance)
        return;
    // A tick already queued when its timer stopped finds no timer.
    auto it = FInstance->FTimers.find(id);
    if (it == FInstance->FTimers.end())
        return;
    TTimer* timer = it->second;
    DispatchEvent([timer] { timer->Timer(); });
}

int TWin32Host::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    HWND owner = (style & MsgBox::kTaskModal) ? nullptr : GetActiveWindow();
    return MessageBoxW(owner, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(), style);
}

bool TWin32Host::Dispatch(const MSG& msg)
{
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TWin32Host::ProcessMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!Dispatch(msg)) {
            // Leave the quit for the loop that waits for it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
}

void TWin32Host::Run()
{
    // Takes the quit message too, also one that ProcessMessages left waiting.
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
    FTerminated = true;
}
