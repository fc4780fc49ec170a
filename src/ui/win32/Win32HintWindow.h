#pragma once
// The hint window: a topmost popup with one line of text near the mouse, which
// never takes the activation. One C++ object per window, which owns it
// (TObjectWindow); WM_PAINT and WM_PRINTCLIENT paint through PaintContent.

#include <windows.h>

#include <string>

#include "base/win32/WindowClass.h"
#include "ui/Graphics.h"
#include "ui/win32/GdiObjects.h"

class TWin32HintWindow {
public:
    // Makes the window, hidden; raises EOleError when the system makes none.
    TWin32HintWindow();
    TWin32HintWindow(const TWin32HintWindow&) = delete;
    TWin32HintWindow& operator=(const TWin32HintWindow&) = delete;

    HWND Handle() const { return FWindow.Handle(); }
    // Shows the text with the window's top-left corner at a screen point.
    void Show(const std::string& text, TPoint screen);
    void Hide();

    // Paints the whole window on dc, whatever the area.
    void PaintContent(HDC dc, const RECT& area);

private:
    friend class TObjectWindow<TWin32HintWindow>;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring FText;
    TFontHandle FFont;
    // Last: the window goes before the font it paints with.
    TObjectWindow<TWin32HintWindow> FWindow{*this};
};
