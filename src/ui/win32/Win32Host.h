#pragma once
// The Win32 host: the thread's message loop, thread timers and message boxes;
// it keeps one TWin32FormWindow per form (Win32FormWindow.h) and the hint
// window (Win32HintWindow.h).

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ui/Forms.h"
#include "ui/Host.h"

class TWin32FormWindow;
class TWin32HintWindow;

class TWin32Host : public THost {
public:
    // One host per process, on the user-interface thread.
    TWin32Host();
    ~TWin32Host() override;
    TWin32Host(const TWin32Host&) = delete;
    TWin32Host& operator=(const TWin32Host&) = delete;

    void StartTimer(TTimer& timer, uint32_t interval) override;
    void StopTimer(TTimer& timer) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    int ShowMessageBoxUtf8(const std::string& text, const std::string& caption, unsigned style) override;
    uint32_t TickCount() override { return GetTickCount(); }
    void ProcessMessages() override;
    void WaitMessage(uint32_t timeout) override;
    void Run() override;
    void Terminate() override
    {
        FEnding = true;
        PostQuitMessage(0);
    }
    void PostToMainLoop(std::function<void()> call) override;
    void Deliver(std::function<void()> call) override;

    void CreateFormWindow(TForm& form) override;
    void DestroyFormWindow(TForm& form) override;
    void UpdateFormStyle(TForm& form) override;
    void ShowFormWindow(TForm& form, bool visible) override;
    void SetFormBounds(TForm& form, const TRect& bounds) override;
    void SetFormCaption(TForm& form, const std::string& caption) override;
    void InvalidateForm(TForm& form, const TRect& area) override;
    void SetCapture(TForm* form) override;
    TPoint CursorPos() override;
    unsigned KeyboardShiftState() override;
    TWindowPlacement GetPlacement(TForm& form) override;
    void SetPlacement(TForm& form, const TWindowPlacement& placement) override;
    void SetFormState(TForm& form, unsigned showCmd) override;
    bool IsFormMinimized(TForm& form) override;
    void MinimizeApplication() override;
    void PostMinimizeApplication() override;
    bool IsApplicationMinimized() override;
    TSize ScreenSize() override;
    int ScreenPixelsPerInch() override;
    TSize TextExtent(const TFont& font, const std::string& text) override;
    TMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) override;
    void ShowHintWindow(const std::string& text, TPoint screen) override;
    void HideHintWindow() override;
    std::unique_ptr<INativeEdit> CreateNativeEdit(TForm& form, const TRect& bounds, const TFont& font,
                                                  TEditAlign align, INativeEditEvents& events) override;
    bool SetClipboardText(const std::string& text) override;
    bool GetClipboardText(std::string& bytes, std::string& outside) override;

    bool Terminated() const { return FTerminated; }
    // Terminate was called (or a quit message came): the program is ending.
    bool Ending() const { return FEnding || FTerminated; }
    // The form's window; nullptr when it has none (any more).
    static HWND WindowOf(const TForm& form) { return reinterpret_cast<HWND>(form.Handle()); }

private:
    // Serves one message; false for the quit message.
    bool Dispatch(const MSG& msg);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
    TWin32FormWindow* FormWindow(const TForm& form) const;
    HWND MainWindow() const;
    HWND ClipboardOwner() const;

    void RunMainLoopCalls();

    // The calls delivered from other threads, and the window they wake.
    class TDeliveries;
    std::unique_ptr<TDeliveries> FDeliveries;

    std::vector<std::function<void()>> FMainLoopCalls;
    std::map<UINT_PTR, TTimer*> FTimers; // thread timer id -> timer
    bool FTerminated = false;
    bool FEnding = false;
    WPARAM FKeyTaken = 0; // the key whose press a menu shortcut took, until released
    std::map<const TForm*, std::unique_ptr<TWin32FormWindow>> FFormWindows;
    std::unique_ptr<TWin32HintWindow> FHintWindow;
    static TWin32Host* FInstance;
};
