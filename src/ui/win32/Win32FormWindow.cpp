#include "ui/win32/Win32FormWindow.h"

#include "base/win32/ComUtil.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/Win32NativeEdit.h"
#include "ui/win32/WindowPaint.h"

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
    const auto [style, exStyle] = WindowStyle(form.BorderStyle());
    FWindow.Create({kFormClass, CS_DBLCLKS}, exStyle, AnsiToWide(form.Caption()).c_str(), style, form.Left(),
                   form.Top(), form.Width(), form.Height(), owner);
}

TWin32FormWindow::~TWin32FormWindow()
{
    FWindow.Destroy();
    FForm.SetHandle(0);
}

LRESULT TWin32FormWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        FForm.SetHandle(reinterpret_cast<uintptr_t>(window));
    } else if (message == WM_NCDESTROY) {
        // The last message of a window the system destroyed (with its owner):
        // the form lets go of it too.
        FForm.SetHandle(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Nothing is thrown back into the system.
    LRESULT result = 0;
    bool handled = false;
    DispatchEvent(&FForm.App(), [&] {
        result = WndProc(window, message, wParam, lParam);
        handled = true;
    });
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TWin32FormWindow::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return PaintMessage(window, message, wParam, [this](HDC dc, const RECT& area) { PaintContent(dc, area); });
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
    case WM_SYSKEYDOWN:
        // A system key the form does not take goes on: Alt+F4 closes.
        if (Deliver(message, wParam, lParam))
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_QUERYENDSESSION:
        return Deliver(message, wParam, lParam);
    case WM_ACTIVATE:
        // The form is told; the system still moves the focus. A handler may
        // free the form and this object with it: only the handle is used after.
        Deliver(message, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_MOVE:
    case WM_SIZE:
        return OnMoveOrSize();
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_MOUSEWHEEL:
        // Also what the edit box passes up to its parent.
        Deliver(message, wParam, lParam);
        return 0;
    case WM_SETFOCUS:
        if (FFocusChild && IsWindow(FFocusChild) && GetParent(FFocusChild) == window)
            ::SetFocus(FFocusChild);
        return 0;
    case WM_COMMAND:
        if (lParam)
            TWin32NativeEdit::Notified(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool TWin32FormWindow::DeliverKey(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Handle() && Deliver(message, wParam, lParam) != 0;
}

LRESULT TWin32FormWindow::Deliver(unsigned message, WPARAM wParam, LPARAM lParam)
{
    TMessage msg{message, wParam, lParam, 0};
    DispatchEvent(&FForm.App(), [&] { FForm.Dispatch(msg); });
    return msg.Result;
}

void TWin32FormWindow::PaintContent(HDC dc, const RECT& area)
{
    DispatchEvent(&FForm.App(), [&] {
        TWin32Canvas canvas(dc);
        FForm.PaintContent(canvas, {area.left, area.top, area.right, area.bottom});
    });
}

LRESULT TWin32FormWindow::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    // Asks for the leave message that ends the hover.
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
    Deliver(WM_MOUSEMOVE, wParam, lParam);
    return 0;
}

LRESULT TWin32FormWindow::OnMoveOrSize()
{
    // The form keeps the window's outer rectangle, never an icon's place.
    if (IsIconic(Handle()))
        return 0;
    RECT r{};
    GetWindowRect(Handle(), &r);
    Deliver(Msg::Move, 0, PointToLParam({r.left, r.top}));
    Deliver(Msg::Size, 0, PointToLParam({r.right - r.left, r.bottom - r.top}));
    return 0;
}

LRESULT TWin32FormWindow::OnGetMinMaxInfo(MINMAXINFO* info)
{
    // A maximised window goes where its form says (a borderless one to the
    // screen's corner, whatever placement it was restored with); the system
    // decides while the form's place is negative.
    const TPoint place = FForm.MaxPosition();
    if (info && place.X >= 0 && place.Y >= 0)
        info->ptMaxPosition = {place.X, place.Y};
    return 0;
}

void TWin32FormWindow::UpdateStyle()
{
    if (!Handle())
        return;
    const auto [style, exStyle] = WindowStyle(FForm.BorderStyle());
    const LONG_PTR visible = GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(Handle(), GWL_STYLE, static_cast<LONG_PTR>(style) | visible);
    SetWindowLongPtrW(Handle(), GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
    SetWindowPos(Handle(), nullptr, FForm.Left(), FForm.Top(), FForm.Width(), FForm.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TWin32FormWindow::Show(bool visible)
{
    if (!Handle())
        return;
    ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
    if (visible)
        SetForegroundWindow(Handle());
}

void TWin32FormWindow::SetBounds(const TRect& bounds)
{
    if (Handle())
        SetWindowPos(Handle(), nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32FormWindow::SetCaption(const std::string& caption)
{
    if (Handle())
        SetWindowTextW(Handle(), AnsiToWide(caption).c_str());
}

void TWin32FormWindow::Invalidate(const TRect& area)
{
    if (!Handle())
        return;
    RECT r{area.Left, area.Top, area.Right, area.Bottom};
    InvalidateRect(Handle(), &r, FALSE);
}

void TWin32FormWindow::Capture()
{
    if (Handle())
        SetCapture(Handle());
}

TWindowPlacement TWin32FormWindow::Placement() const
{
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!Handle() || !GetWindowPlacement(Handle(), &wp))
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
    if (!Handle())
        return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.flags = placement.Flags;
    wp.showCmd = placement.ShowCmd;
    wp.ptMinPosition = {placement.MinPosition.X, placement.MinPosition.Y};
    wp.ptMaxPosition = {placement.MaxPosition.X, placement.MaxPosition.Y};
    wp.rcNormalPosition = {placement.NormalPosition.Left, placement.NormalPosition.Top,
                           placement.NormalPosition.Right, placement.NormalPosition.Bottom};
    SetWindowPlacement(Handle(), &wp);
}

void TWin32FormWindow::SetState(unsigned showCmd)
{
    if (Handle())
        ShowWindow(Handle(), static_cast<int>(showCmd));
}

bool TWin32FormWindow::IsMinimized() const { return Handle() && IsIconic(Handle()); }
