#pragma once
// The Win32 host: the thread's message loop, thread timers, message boxes, one
// window class for forms (painted double-buffered through TForm::PaintContent)
// and the hint window.

#include <windows.h>

#include <cstdint>
#include <map>

#include "ui/Forms.h"
#include "ui/Host.h"

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
    uint32_t TickCount() override { return GetTickCount(); }
    void ProcessMessages() override;
    void Run() override;
    void Terminate() override { PostQuitMessage(0); }

    void CreateFormWindow(TForm& form) override;
    void DestroyFormWindow(TForm& form) override;
    void UpdateFormStyle(TForm& form) override;
    void ShowFormWindow(TForm& form, bool visible) override;
    void SetFormBounds(TForm& form, const TRect& bounds) override;
    void SetFormCaption(TForm& form, const std::string& caption) override;
    void InvalidateForm(TForm& form, const TRect& area) override;
    void SetCapture(TForm* form) override;
    TPoint CursorPos() override;
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
    void ShowHintWindow(const std::string& text, TPoint screen) override;
    void HideHintWindow() override;

    bool Terminated() const { return FTerminated; }
    static HWND WindowOf(const TForm& form) { return reinterpret_cast<HWND>(form.Handle()); }

private:
    // Serves one message; false for the quit message.
    bool Dispatch(const MSG& msg);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
    static LRESULT CALLBACK FormWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HintWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void EnsureHintWindow();

    std::map<UINT_PTR, TTimer*> FTimers; // thread timer id -> timer
    bool FTerminated = false;
    HWND FHintWindow = nullptr;
    std::wstring FHintText;
    static TWin32Host* FInstance;
};

// Paints a form's content into a new 32-bit bitmap as the window would show
// it; for tests that read pixels back or save what they see.
class TFormBitmap {
public:
    explicit TFormBitmap(TForm& form);
    ~TFormBitmap();
    TFormBitmap(const TFormBitmap&) = delete;
    TFormBitmap& operator=(const TFormBitmap&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // 0x00BBGGRR, as TColor.
    uint32_t Pixel(int x, int y) const;
    // Writes a .bmp file; false when it cannot.
    bool Save(const std::wstring& path) const;

private:
    int FWidth;
    int FHeight;
    HDC FDC;
    HBITMAP FBitmap;
    HGDIOBJ FOld;
    uint32_t* FBits = nullptr;
};
