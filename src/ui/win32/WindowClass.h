#pragma once
// What the host's window classes share.

#include <windows.h>

// Raises EOleError for the calling thread's last system error.
[[noreturn]] void RaiseLastError();

// Registers a window class of this module once; later calls find it.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style);

// The window procedure of a class whose object CreateWindowEx is given: the
// object is stored at WM_NCCREATE and handed every message from then on
// (Self::WndProc(window, message, wParam, lParam)).
template <class Self>
LRESULT CALLBACK ObjectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<Self*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->WndProc(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}
