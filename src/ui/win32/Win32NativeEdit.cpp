#include "ui/win32/Win32NativeEdit.h"

#include "base/win32/ComUtil.h"
#include "ui/win32/Win32Canvas.h"
#include "ui/win32/Win32FormWindow.h"
#include "base/win32/WindowClass.h"

namespace {

DWORD AlignStyle(TEditAlign align)
{
    switch (align) {
    case TEditAlign::Center:
        return ES_CENTER;
    case TEditAlign::Right:
        return ES_RIGHT;
    default:
        return ES_LEFT;
    }
}

// The box's selection and our text count differently where the code page
// has characters of two bytes: positions are converted through the text.
size_t WideToAnsiOffset(const std::wstring& wide, size_t offset)
{
    return WideToAnsi(wide.data(), std::min(offset, wide.size())).size();
}

size_t AnsiToWideOffset(const std::string& text, size_t offset)
{
    return AnsiToWide(text.substr(0, std::min(offset, text.size()))).size();
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

TWin32NativeEdit::TWin32NativeEdit(TWin32FormWindow& owner, const TRect& bounds, const TFont& font,
                                   TEditAlign align, INativeEditEvents& events)
    : FOwner(owner), FEvents(events), FFont(CreateGdiFont(font))
{
    const DWORD visible = bounds.IsEmpty() ? 0 : WS_VISIBLE;
    FWindow.Reset(CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | AlignStyle(align) | visible,
                                  bounds.Left, bounds.Top, bounds.Width(), bounds.Height(), owner.Handle(), nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
    HWND window = FWindow.Get();
    if (!window)
        RaiseLastError();
    if (FFont)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
    // The text sits where the grid paints it: two pixels in from the cell's edge.
    SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 2));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWin32NativeEdit::WndProcThunk)));
}

TWin32NativeEdit::~TWin32NativeEdit()
{
    *FAlive = false;
    HWND window = FWindow.Get();
    if (!window)
        return;
    // The form gets the focus back, and stops handing it on to this box.
    FOwner.ForgetFocusChild(window);
    if (GetFocus() == window && FOwner.Handle())
        ::SetFocus(FOwner.Handle());
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FEditProc));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    FWindow.Close();
}

LRESULT CALLBACK TWin32NativeEdit::WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<TWin32NativeEdit*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->WndProc(message, wParam, lParam);
}

LRESULT TWin32NativeEdit::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = FWindow.Get();
    const WNDPROC editProc = FEditProc;
    switch (message) {
    case WM_KEYDOWN: {
        // The form first (the grid ends or moves the edit); what it leaves,
        // the box does. Its handler may have freed the box.
        const std::shared_ptr<bool> alive = FAlive;
        if (FOwner.DeliverKey(message, wParam, lParam) || !*alive)
            return 0;
        break;
    }
    case WM_CHAR:
        // Enter, Escape and Tab are the form's keys, never text.
        if (wParam == '\r' || wParam == '\n' || wParam == '\t' || wParam == 0x1B)
            return 0;
        break;
    case WM_MOUSEWHEEL:
        // The wheel scrolls what the box sits on.
        if (FOwner.Handle())
            return SendMessageW(FOwner.Handle(), message, wParam, lParam);
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | CallWindowProcW(editProc, window, message, wParam, lParam);
    case WM_NCDESTROY:
        // Destroyed with its parent window: nothing is left to destroy later.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        FOwner.ForgetFocusChild(window);
        FWindow.Release();
        return CallWindowProcW(editProc, window, message, wParam, lParam);
    default:
        break;
    }
    return CallWindowProcW(editProc, window, message, wParam, lParam);
}

void TWin32NativeEdit::Notified(HWND child, UINT code)
{
    if (code != EN_CHANGE || GetWindowLongPtrW(child, GWLP_WNDPROC) !=
                                 reinterpret_cast<LONG_PTR>(&TWin32NativeEdit::WndProcThunk))
        return;
    auto* self = reinterpret_cast<TWin32NativeEdit*>(GetWindowLongPtrW(child, GWLP_USERDATA));
    if (self && !self->FQuiet)
        self->FEvents.NativeEditChanged();
}

void TWin32NativeEdit::SetBounds(const TRect& bounds)
{
    if (!Handle())
        return;
    if (bounds.IsEmpty()) {
        ShowWindow(Handle(), SW_HIDE);
        return;
    }
    SetWindowPos(Handle(), nullptr, bounds.Left, bounds.Top, bounds.Width(), bounds.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

std::string TWin32NativeEdit::Text() { return Handle() ? WideToAnsi(WindowText(Handle())) : std::string(); }

std::string TWin32NativeEdit::CharsOutsideCodePage()
{
    // The box is Unicode: what is typed, pasted or put in by an input method
    // is there as it came, whatever the code page holds.
    return Handle() ? ::CharsOutsideCodePage(WindowText(Handle())) : std::string();
}

void TWin32NativeEdit::SetText(const std::string& text)
{
    if (!Handle())
        return;
    FQuiet = true;
    SetWindowTextW(Handle(), AnsiToWide(text).c_str());
    FQuiet = false;
}

void TWin32NativeEdit::GetSelection(size_t& start, size_t& length)
{
    start = length = 0;
    if (!Handle())
        return;
    DWORD from = 0;
    DWORD to = 0;
    SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const std::wstring wide = WindowText(Handle());
    start = WideToAnsiOffset(wide, from);
    length = WideToAnsiOffset(wide, to) - start;
}

void TWin32NativeEdit::SetSelection(size_t start, size_t length)
{
    if (!Handle())
        return;
    const std::string text = Text();
    const size_t from = AnsiToWideOffset(text, start);
    const size_t to = AnsiToWideOffset(text, start + length);
    SendMessageW(Handle(), EM_SETSEL, from, static_cast<LPARAM>(to));
}

void TWin32NativeEdit::SetEnabled(bool enabled)
{
    if (Handle())
        EnableWindow(Handle(), enabled ? TRUE : FALSE);
}

void TWin32NativeEdit::SetFocus()
{
    if (!Handle())
        return;
    FOwner.SetFocusChild(Handle());
    // A box of a window in the background would activate that window: it
    // gets the focus when its window next does.
    if (GetActiveWindow() == FOwner.Handle())
        ::SetFocus(Handle());
}
