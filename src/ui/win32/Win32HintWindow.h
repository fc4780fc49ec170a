#pragma once
// The hint window: a topmost popup with one line of text near the mouse, which
// never takes the activation. One C++ object per window, stored in the window
// at WM_NCCREATE; WM_PAINT and WM_PRINTCLIENT paint through PaintContent.

#include <windows.h>

#include <string>

#include "ui/Graphics.h"
#include "ui/win32/GdiObjects.h"

class TWin32HintWindow {
public:
    // Makes the window, hidden; raises EOleError when the system makes none.
    TWin32HintWindow();
    ~TWin32HintWindow();
    TWin32HintWindow(const TWin32HintWindow&) = delete;
    TWin32HintWindow& operator=(const TWin32HintWindow&) = delete;

    HWND Handle() const { return FWindow; }
    // Shows the text with the window's top-left corner at a screen point.
    void Show(const std::string& text, TPoint screen);
    void Hide();

    void PaintContent(HDC dc, const RECT& client);

private:
    static LRESULT CALLBACK WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint();
    LRESULT OnPrintClient(HDC dc);
    LRESULT OnNcDestroy();

    HWND FWindow = nullptr;
    std::wstring FText;
    TFontHandle FFont;
};
