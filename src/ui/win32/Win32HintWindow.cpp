#include "ui/win32/Win32HintWindow.h"

#include "base/win32/ComUtil.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/WindowClass.h"

namespace {
constexpr wchar_t kHintClass[] = L"VelkorHint";
constexpr int kMarginX = 3;
constexpr int kMarginY = 1;
} // namespace

TWin32HintWindow::TWin32HintWindow() : FFont(CreateGdiFont(TFont()))
{
    RegisterWindowClass(kHintClass, &TWin32HintWindow::WndProcThunk, CS_SAVEBITS);
    if (!CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kHintClass, L"", WS_POPUP | WS_BORDER, 0,
                         0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this))
        RaiseLastError();
}

TWin32HintWindow::~TWin32HintWindow()
{
    if (FWindow)
        DestroyWindow(FWindow);
}

LRESULT CALLBACK TWin32HintWindow::WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TWin32HintWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FWindow = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWin32HintWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->WndProc(message, wParam, lParam);
}

LRESULT TWin32HintWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_PRINTCLIENT:
        return OnPrintClient(reinterpret_cast<HDC>(wParam));
    case WM_NCDESTROY:
        return OnNcDestroy();
    default:
        return DefWindowProcW(FWindow, message, wParam, lParam);
    }
}

LRESULT TWin32HintWindow::OnPaint()
{
    TPaintScope paint(FWindow);
    RECT client{};
    GetClientRect(FWindow, &client);
    if (paint.DC())
        PaintContent(paint.DC(), client);
    return 0;
}

LRESULT TWin32HintWindow::OnPrintClient(HDC dc)
{
    RECT client{};
    GetClientRect(FWindow, &client);
    if (dc)
        PaintContent(dc, client);
    return 0;
}

LRESULT TWin32HintWindow::OnNcDestroy()
{
    HWND window = FWindow;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    FWindow = nullptr;
    return DefWindowProcW(window, WM_NCDESTROY, 0, 0);
}

void TWin32HintWindow::PaintContent(HDC dc, const RECT& client)
{
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
    if (!FWindow)
        return;
    FText = AnsiToWide(text);
    SIZE size{};
    {
        TWindowDC dc(FWindow);
        TSelection font(dc.Get(), FFont.Get());
        if (dc)
            GetTextExtentPoint32W(dc.Get(), FText.c_str(), static_cast<int>(FText.size()), &size);
    }
    // The border's pixels on top of the margins.
    SetWindowPos(FWindow, HWND_TOPMOST, screen.X, screen.Y, size.cx + 2 * kMarginX + 2, size.cy + 2 * kMarginY + 2,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(FWindow, nullptr, TRUE);
}

void TWin32HintWindow::Hide()
{
    if (FWindow)
        ShowWindow(FWindow, SW_HIDE);
}
