#include "ui/win32/Win32HintWindow.h"

#include "base/win32/ComUtil.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/WindowPaint.h"

namespace {
constexpr wchar_t kHintClass[] = L"VelkorHint";
constexpr int kMarginX = 3;
constexpr int kMarginY = 1;
} // namespace

TWin32HintWindow::TWin32HintWindow() : FFont(CreateGdiFont(TFont()))
{
    FWindow.Create({kHintClass, CS_SAVEBITS}, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"",
                   WS_POPUP | WS_BORDER, 0, 0, 0, 0, nullptr);
}

LRESULT TWin32HintWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT || message == WM_PRINTCLIENT)
        return PaintMessage(window, message, wParam, [this](HDC dc, const RECT& area) { PaintContent(dc, area); });
    return DefWindowProcW(window, message, wParam, lParam);
}

void TWin32HintWindow::PaintContent(HDC dc, const RECT&)
{
    RECT client{};
    GetClientRect(Handle(), &client);
    TSavedDC saved(dc);
    if (TBrushHandle background(CreateSolidBrush(ColorToRGB(clInfoBk))); background)
        FillRect(dc, &client, background.Get());
    TSelection font(dc, FFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(clInfoText));
    ::TextOutW(dc, kMarginX, kMarginY, FText.c_str(), static_cast<int>(FText.size()));
}

void TWin32HintWindow::Show(const std::string& text, TPoint screen)
{
    if (!Handle())
        return;
    FText = AnsiToWide(text);
    SIZE size{};
    {
        TWindowDC dc(Handle());
        TSelection font(dc.Get(), FFont.Get());
        if (dc)
            GetTextExtentPoint32W(dc.Get(), FText.c_str(), static_cast<int>(FText.size()), &size);
    }
    // The border's pixels on top of the margins.
    SetWindowPos(Handle(), HWND_TOPMOST, screen.X, screen.Y, size.cx + 2 * kMarginX + 2, size.cy + 2 * kMarginY + 2,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TWin32HintWindow::Hide()
{
    if (Handle())
        ShowWindow(Handle(), SW_HIDE);
}
