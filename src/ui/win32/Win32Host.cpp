#include "ui/win32/Win32Host.h"

#include <algorithm>
#include <cassert>
#include <deque>
#include <mutex>
#include <vector>

#include "base/win32/ComUtil.h"
#include "base/win32/WindowClass.h"
#include "ui/Classes.h"
#include "ui/win32/GdiObjects.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/Win32Clipboard.h"
#include "ui/win32/Win32NativeEdit.h"
#include "ui/win32/Win32PopupMenu.h"
#include "ui/win32/Win32FormWindow.h"
#include "ui/win32/Win32HintWindow.h"

TWin32Host* TWin32Host::FInstance = nullptr;

namespace {

// The wake of the delivered calls, posted to their window (or, where none
// could be made, to the thread).
constexpr UINT kDelivered = WM_APP + 0x40;

} // namespace

// Calls from other threads wait here; one message at a time wakes the
// user-interface thread for them. Posted to a window, it is served by every
// loop, a message box's and a menu's too.
class TWin32Host::TDeliveries {
public:
    explicit TDeliveries(TWin32Host& host) : FHost(host), FThread(GetCurrentThreadId())
    {
        try {
            FWindow.Create({L"VelkorDeliveries"}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
        } catch (const EOleError&) {
            // No window without a display: the thread's message stands in,
            // served by the host's own loops.
        }
    }

    void Add(std::function<void()> call)
    {
        {
            std::lock_guard lock(FMutex);
            FCalls.push_back(std::move(call));
            if (FWoken)
                return;
            FWoken = true;
        }
        if (!FWindow.Handle() || !PostMessageW(FWindow.Handle(), kDelivered, 0, 0))
            PostThreadMessageW(FThread, kDelivered, 0, 0);
    }

    void RunAll()
    {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(FMutex);
            calls.swap(FCalls);
            FWoken = false;
        }
        for (const std::function<void()>& call : calls)
            DispatchEvent(FHost.App(), call);
    }

private:
    friend class TObjectWindow<TDeliveries>;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != kDelivered)
            return DefWindowProcW(window, message, wParam, lParam);
        RunAll();
        return 0;
    }

    TWin32Host& FHost;
    const DWORD FThread;
    std::mutex FMutex;
    std::deque<std::function<void()>> FCalls;
    bool FWoken = false;
    TObjectWindow<TDeliveries> FWindow{*this};
};

TWin32Host::TWin32Host()
{
    assert(!FInstance && "one host per process");
    FInstance = this;
    FDeliveries = std::make_unique<TDeliveries>(*this);
}

TWin32Host::~TWin32Host()
{
    FDeliveries.reset();
    for (const auto& [id, timer] : FTimers)
        KillTimer(nullptr, id);
    FInstance = nullptr;
}

void TWin32Host::Deliver(std::function<void()> call) { FDeliveries->Add(std::move(call)); }

// ---------------------------------------------------------------- timers and the loop

// Thread timers need no window, so timers also run where no window can be made.
void TWin32Host::StartTimer(TTimer& timer, uint32_t interval)
{
    StopTimer(timer);
    UINT_PTR id = SetTimer(nullptr, 0, interval, &TWin32Host::TimerProc);
    if (!id)
        RaiseLastError();
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
    DispatchEvent(FInstance->App(), [timer] { timer->Timer(); });
}

int TWin32Host::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    HWND owner = (style & MsgBox::kTaskModal) ? nullptr : GetActiveWindow();
    return MessageBoxW(owner, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(), style);
}

int TWin32Host::ShowMessageBoxUtf8(const std::string& text, const std::string& caption, unsigned style)
{
    HWND owner = (style & MsgBox::kTaskModal) ? nullptr : GetActiveWindow();
    return MessageBoxW(owner, Utf8ToWide(text).c_str(), AnsiToWide(caption).c_str(), style);
}

bool TWin32Host::Dispatch(const MSG& msg)
{
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return false;
    }
    if (msg.message == kDelivered && !msg.hwnd) {
        FDeliveries->RunAll();
        return true;
    }
    // Menu shortcuts come before the key is translated: F10 never reaches the
    // system menu when a menu has it, and a key no menu has goes on as usual
    // (Alt+F4 closes).
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && App()) {
        bool taken = false;
        const TShortCut code = ShortCutOfKeyMessage(msg);
        DispatchEvent(App(), [&] { taken = App()->IsShortCut(code); });
        if (taken) {
            FKeyTaken = msg.wParam;
            return true;
        }
    }
    // The release of a key a shortcut took is the shortcut's too: F10's would
    // put the window into the system's menu mode, which eats the next key.
    if ((msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP) && FKeyTaken && msg.wParam == FKeyTaken) {
        FKeyTaken = 0;
        return true;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TWin32Host::WaitMessage(uint32_t timeout)
{
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

unsigned TWin32Host::KeyboardShiftState() { return KeyboardShiftBits(); }

TMenuItem* TWin32Host::TrackPopupMenu(TPopupMenu& menu, TPoint screen)
{
    // The form the menu belongs to owns it on the screen; else the main one.
    TForm* form = nullptr;
    for (TComponent* owner = menu.Owner(); owner && !form; owner = owner->Owner())
        form = dynamic_cast<TForm*>(owner);
    if (!form || !WindowOf(*form))
        form = App() ? App()->MainForm() : nullptr;
    HWND window = form ? WindowOf(*form) : nullptr;
    if (!window)
        return nullptr;
    return TrackWin32PopupMenu(menu, {screen.X, screen.Y}, window);
}

void TWin32Host::ProcessMessages()
{
    // A timer whose handler outlasts its interval (a slow rig server) is due
    // again as soon as it returns: each timer ticks once a call, so that the
    // call ends. Its message is made anew while it is due.
    std::vector<UINT_PTR> timersServed;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER) {
            if (std::find(timersServed.begin(), timersServed.end(), msg.wParam) != timersServed.end())
                return;
            timersServed.push_back(msg.wParam);
        }
        if (!Dispatch(msg)) {
            // Leave the quit for the loop that waits for it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
    }
}

void TWin32Host::Run()
{
    // Takes the quit message too, also one that ProcessMessages left waiting.
    // The calls posted to the main loop run here, between two messages, never
    // inside a loop that a handler runs.
    MSG msg;
    for (;;) {
        RunMainLoopCalls();
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
            break;
        Dispatch(msg);
    }
    FTerminated = true;
}

void TWin32Host::PostToMainLoop(std::function<void()> call)
{
    FMainLoopCalls.push_back(std::move(call));
    // Wakes the main loop when it waits; a loop inside a handler drops it
    // harmlessly, and the call runs when that handler has returned.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void TWin32Host::RunMainLoopCalls()
{
    while (!FMainLoopCalls.empty()) {
        const std::function<void()> call = std::move(FMainLoopCalls.front());
        FMainLoopCalls.erase(FMainLoopCalls.begin());
        DispatchEvent(App(), call);
    }
}

// ---------------------------------------------------------------- form windows

HWND TWin32Host::MainWindow() const
{
    TForm* main = App() ? App()->MainForm() : nullptr;
    return main ? WindowOf(*main) : nullptr;
}

TWin32FormWindow* TWin32Host::FormWindow(const TForm& form) const
{
    auto it = FFormWindows.find(&form);
    return it == FFormWindows.end() ? nullptr : it->second.get();
}

void TWin32Host::CreateFormWindow(TForm& form)
{
    // The other windows belong to the main one: they go to the taskbar with it.
    HWND owner = App()->MainForm() ? MainWindow() : nullptr;
    auto window = std::make_unique<TWin32FormWindow>(form, owner);
    FFormWindows[&form] = std::move(window);
}

void TWin32Host::DestroyFormWindow(TForm& form)
{
    auto it = FFormWindows.find(&form);
    if (it == FFormWindows.end())
        return;
    // Out of the list first: destroying the window activates another, whose
    // form may call back into the host.
    std::unique_ptr<TWin32FormWindow> window = std::move(it->second);
    FFormWindows.erase(it);
}

void TWin32Host::UpdateFormStyle(TForm& form)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->UpdateStyle();
}

void TWin32Host::ShowFormWindow(TForm& form, bool visible)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->Show(visible);
}

void TWin32Host::SetFormBounds(TForm& form, const TRect& bounds)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->SetBounds(bounds);
}

void TWin32Host::SetFormCaption(TForm& form, const std::string& caption)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->SetCaption(caption);
}

void TWin32Host::InvalidateForm(TForm& form, const TRect& area)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->Invalidate(area);
}

void TWin32Host::SetCapture(TForm* form)
{
    if (!form)
        ReleaseCapture();
    else if (TWin32FormWindow* window = FormWindow(*form))
        window->Capture();
}

TPoint TWin32Host::CursorPos()
{
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

TWindowPlacement TWin32Host::GetPlacement(TForm& form)
{
    TWin32FormWindow* window = FormWindow(form);
    return window ? window->Placement() : TWindowPlacement{};
}

void TWin32Host::SetPlacement(TForm& form, const TWindowPlacement& placement)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->SetPlacement(placement);
}

void TWin32Host::SetFormState(TForm& form, unsigned showCmd)
{
    if (TWin32FormWindow* window = FormWindow(form))
        window->SetState(showCmd);
}

bool TWin32Host::IsFormMinimized(TForm& form)
{
    TWin32FormWindow* window = FormWindow(form);
    return window && window->IsMinimized();
}

void TWin32Host::MinimizeApplication()
{
    if (HWND main = MainWindow())
        ShowWindow(main, SW_MINIMIZE);
}

void TWin32Host::PostMinimizeApplication()
{
    if (HWND main = MainWindow())
        PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

bool TWin32Host::IsApplicationMinimized()
{
    HWND main = MainWindow();
    return main && IsIconic(main);
}

// ---------------------------------------------------------------- the screen

TSize TWin32Host::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

int TWin32Host::ScreenPixelsPerInch()
{
    TWindowDC screen(nullptr);
    // The design resolution when the screen cannot be asked.
    return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

TSize TWin32Host::TextExtent(const TFont& font, const std::string& text)
{
    TWindowDC screen(nullptr);
    if (!screen)
        return {};
    TWin32Canvas canvas(screen.Get());
    canvas.Font = font;
    return canvas.TextExtent(text);
}

// ---------------------------------------------------------------- hints

void TWin32Host::ShowHintWindow(const std::string& text, TPoint screen)
{
    if (!FHintWindow) {
        // A hint is a courtesy: without a window for it, none shows.
        try {
            FHintWindow = std::make_unique<TWin32HintWindow>();
        } catch (const EOleError&) {
            return;
        }
    }
    FHintWindow->Show(text, screen);
}

void TWin32Host::HideHintWindow()
{
    if (FHintWindow)
        FHintWindow->Hide();
}

// ---------------------------------------------------------------- edit box and clipboard

std::unique_ptr<INativeEdit> TWin32Host::CreateNativeEdit(TForm& form, const TRect& bounds, const TFont& font,
                                                          TEditAlign align, INativeEditEvents& events)
{
    TWin32FormWindow* window = FormWindow(form);
    if (!window || !window->Handle())
        throw EInvalidOperation("The form has no window");
    return std::make_unique<TWin32NativeEdit>(*window, bounds, font, align, events);
}

// The clipboard's owner: the window in front, else the main one.
HWND TWin32Host::ClipboardOwner() const
{
    TForm* form = App() ? App()->ActiveForm() : nullptr;
    HWND window = form ? WindowOf(*form) : nullptr;
    return window ? window : MainWindow();
}

bool TWin32Host::SetClipboardText(const std::string& text) { return SetClipboardAnsiText(ClipboardOwner(), text); }

bool TWin32Host::GetClipboardText(std::string& bytes, std::string& outside)
{
    return GetClipboardAnsiText(ClipboardOwner(), bytes, outside);
}
