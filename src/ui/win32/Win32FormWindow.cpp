#include "ui/win32/Win32FormWindow.h"

#include "base/win32/ComUtil.h"
#include "ui/win32/GdiObjects.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/Win32NativeEdit.h"
#include "ui/win32/WindowClass.h"

namespace {

constexpr wchar_t kFormClass[] = L"VelkorForm";

std::pair<DWORD, DWORD> WindowStyle(TFormBorderStyle border)
{
    switch (border) {
    case TFormBorderStyle::bsNone:
        return {WS_POPUP | WS_MINIMIZEBOX, 0};
    case TFormBorderStyle::bsSingle:
    case TFormBorderStyle::bsDialog:
        return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0};
    case TFormBorderStyle::bsToolWindow:
        return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW};
    case TFormBorderStyle::bsSizeToolWin:
        return {WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW};
    default:
        return {WS_OVERLAPPEDWINDOW, 0};
    }
}

} // namespace

TWin32FormWindow::TWin32FormWindow(TForm& form, HWND owner) : FForm(form)
{
    RegisterWindowClass(kFormClass, &TWin32FormWindow::WndProcThunk, CS_DBLCLKS);
    const auto [style, exStyle] = WindowStyle(form.BorderStyle());
    // WM_NCCREATE stores this object and the handle; a window the system
    // destroys during creation has cleared them again by WM_NCDESTROY.
    if (!CreateWindowExW(exStyle, kFormClass, AnsiToWide(form.Caption()).c_str(), style, form.Left(), form.Top(),
                         form.Width(), form.Height(), owner, nullptr, GetModuleHandleW(nullptr), this))
        RaiseLastError();
}

TWin32FormWindow::~TWin32FormWindow()
{
    if (FWindow) {
        FDelivering = false;
        DestroyWindow(FWindow);
    }
    FForm.SetHandle(0);
}

LRESULT CALLBACK TWin32FormWindow::WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TWin32FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FWindow = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->FForm.SetHandle(reinterpret_cast<uintptr_t>(window));
    }
    auto* self = reinterpret_cast<TWin32FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    // Nothing is thrown back into the system.
    LRESULT result = 0;
    bool handled = false;
    DispatchEvent([&] {
        result = self->WndProc(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TWin32FormWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCDESTROY)
        return OnNcDestroy();
    if (!FDelivering)
        return DefWindowProcW(FWindow, message, wParam, lParam);

    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_PAINT:
        return OnPaint();
    case WM_PRINTCLIENT:
        return OnPrintClient(reinterpret_cast<HDC>(wParam));
    case WM_MOUSEMOVE:
        return OnMouseMove(wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSELEAVE:
    case WM_CAPTURECHANGED:
    case WM_CLOSE:
        // The form takes these as the system sends them.
        Deliver(message, wParam, lParam);
        return 0;
    case WM_KEYDOWN:
    case WM_CHAR:
        Deliver(message, wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN: {
        // A system key the form does not take goes on: Alt+F4 closes.
        HWND window = FWindow;
        if (Deliver(message, wParam, lParam))
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_QUERYENDSESSION:
        return Deliver(message, wParam, lParam);
    case WM_ACTIVATE: {
        // The form is told; the system still moves the focus. A handler may
        // free the form and this object with it: only the handle is used after.
        HWND window = FWindow;
        Deliver(message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_MOVE:
    case WM_SIZE:
        return OnMoveOrSize();
    case WM_MOUSEWHEEL:
        // Also what the edit box passes up to its parent.
        Deliver(message, wParam, lParam);
        return 0;
    case WM_SETFOCUS:
        if (FFocusChild && IsWindow(FFocusChild) && GetParent(FFocusChild) == FWindow)
            ::SetFocus(FFocusChild);
        return 0;
    case WM_COMMAND:
        if (lParam)
            TWin32NativeEdit::Notified(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    default:
        if (message == PaintCountMessage() && message != 0)
            return FPaints;
        return DefWindowProcW(FWindow, message, wParam, lParam);
    }
}

bool TWin32FormWindow::DeliverKey(UINT message, WPARAM wParam, LPARAM lParam)
{
    return FWindow && FDelivering && Deliver(message, wParam, lParam) != 0;
}

LRESULT TWin32FormWindow::Deliver(unsigned message, WPARAM wParam, LPARAM lParam)
{
    TMessage msg{message, wParam, lParam, 0};
    DispatchEvent([&] { FForm.Dispatch(msg); });
    return msg.Result;
}

void TWin32FormWindow::PaintContent(HDC dc, const RECT& area)
{
    DispatchEvent([&] {
        TWin32Canvas canvas(dc);
        FForm.PaintContent(canvas, {area.left, area.top, area.right, area.bottom});
    });
}

UINT TWin32FormWindow::PaintCountMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Velkor.PaintCount");
    return message;
}

LRESULT TWin32FormWindow::OnPaint()
{
    ++FPaints;
    TPaintScope paint(FWindow);
    const RECT area = paint.Area();
    RECT client{};
    GetClientRect(FWindow, &client);
    if (!paint.DC() || IsRectEmpty(&area) || IsRectEmpty(&client))
        return 0;
    // Through a bitmap of the client area copied in one go, so that nothing
    // flickers; straight onto the window when the system has no bitmap to spare.
    TMemoryDC memory(paint.DC());
    TBitmapHandle bitmap(memory ? CreateCompatibleBitmap(paint.DC(), client.right, client.bottom) : nullptr);
    if (!bitmap) {
        PaintContent(paint.DC(), area);
        return 0;
    }
    TSelection selected(memory.Get(), bitmap.Get());
    if (!selected) {
        PaintContent(paint.DC(), area);
        return 0;
    }
    PaintContent(memory.Get(), area);
    BitBlt(paint.DC(), area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), area.left,
           area.top, SRCCOPY);
    return 0;
}

LRESULT TWin32FormWindow::OnPrintClient(HDC dc)
{
    RECT client{};
    GetClientRect(FWindow, &client);
    if (dc)
        PaintContent(dc, client);
    return 0;
}

LRESULT TWin32FormWindow::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    // Asks for the leave message that ends the hover.
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, FWindow, 0};
    TrackMouseEvent(&track);
    Deliver(WM_MOUSEMOVE, wParam, lParam);
    return 0;
}

LRESULT TWin32FormWindow::OnMoveOrSize()
{
    // The form keeps the window's outer rectangle, never an icon's place.
    if (IsIconic(FWindow))
        return 0;
    RECT r{};
    GetWindowRect(FWindow, &r);
    Deliver(Msg::Move, 0, PointToLParam({r.left, r.top}));
    Deliver(Msg::Size, 0, PointToLParam({r.right - r.left, r.bottom - r.top}));
    return 0;
}

LRESULT TWin32FormWindow::OnNcDestroy()
{
    // The last message of the window: whoever destroyed it (the form, or the
    // system with the window's owner), neither the window nor the form keeps
    // a handle or pointer to the other.
    HWND window = FWindow;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    FWindow = nullptr;
    if (FDelivering)
        FForm.SetHandle(0);
    return DefWindowProcW(window, WM_NCDESTROY, 0, 0);
}

void TWin32FormWindow::UpdateStyle()
{
    if (!FWindow)
        return;
    const auto [style, exStyle] = WindowStyle(FForm.BorderStyle());
    const LONG_PTR visible = GetWindowLongPtrW(FWindow, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(FWindow, GWL_STYLE, static_cast<LONG_PTR>(style) | visible);
    SetWindowLongPtrW(FWindow, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    SetWindowPos(FWindow, nullptr, FForm.Left(), FForm.Top(), FForm.Width(), FForm.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWin32FormWindow::Show(bool visible)
{
    if (!FWindow)
        return;
    ShowWindow(FWindow, visible ? SW_SHOW : SW_HIDE);
    if (visible)
        SetForegroundWindow(FWindow);
}

void TWin32FormWindow::SetBounds(const TRect& bounds)
{
    if (FWindow)
        SetWindowPos(FWindow, nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32FormWindow::SetCaption(const std::string& caption)
{
    if (FWindow)
        SetWindowTextW(FWindow, AnsiToWide(caption).c_str());
}

void TWin32FormWindow::Invalidate(const TRect& area)
{
    if (!FWindow)
        return;
    RECT r{area.Left, area.Top, area.Right, area.Bottom};
    InvalidateRect(FWindow, &r, FALSE);
}

void TWin32FormWindow::Capture()
{
    if (FWindow)
        SetCapture(FWindow);
}

TWindowPlacement TWin32FormWindow::Placement() const
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!FWindow || !GetWindowPlacement(FWindow, &wp))
        return {};
    return {wp.flags,
            wp.showCmd,
            {wp.ptMinPosition.x, wp.ptMinPosition.y},
            {wp.ptMaxPosition.x, wp.ptMaxPosition.y},
            {wp.rcNormalPosition.left, wp.rcNormalPosition.top, wp.rcNormalPosition.right,
             wp.rcNormalPosition.bottom}};
}

void TWin32FormWindow::SetPlacement(const TWindowPlacement& placement)
{
    if (!FWindow)
        return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.flags = placement.Flags;
    wp.showCmd = placement.ShowCmd;
    wp.ptMinPosition = {placement.MinPosition.X, placement.MinPosition.Y};
    wp.ptMaxPosition = {placement.MaxPosition.X, placement.MaxPosition.Y};
    wp.rcNormalPosition = {placement.NormalPosition.Left, placement.NormalPosition.Top,
                           placement.NormalPosition.Right, placement.NormalPosition.Bottom};
    SetWindowPlacement(FWindow, &wp);
}

void TWin32FormWindow::SetState(unsigned showCmd)
{
    if (FWindow)
        ShowWindow(FWindow, static_cast<int>(showCmd));
}

bool TWin32FormWindow::IsMinimized() const { return FWindow && IsIconic(FWindow); }
