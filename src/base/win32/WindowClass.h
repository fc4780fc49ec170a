#pragma once
// The window classes of this module. Each window has one C++ object that owns
// it: CreateWindowEx is given the object, WM_NCCREATE stores it in the window,
// and one thunk hands it every message from then on.

#include <windows.h>

#include "base/win32/Handle.h"

// Raises EOleError for the calling thread's last system error.
[[noreturn]] void RaiseLastError();

// A window class of this module, registered at its first window.
struct TWindowClass {
    const wchar_t* Name;
    UINT Style = 0;
    HBRUSH Background = nullptr;
};

// Registers the class with its window procedure once; later calls find it.
// Raises EOleError when the system refuses.
void RegisterWindowClass(const TWindowClass& windowClass, WNDPROC proc);

// The window of one object (TOwner), owned by it. Every message goes to
// TOwner::HandleMessage(window, message, wParam, lParam), WM_NCCREATE
// included. At WM_NCDESTROY, whoever destroyed the window (the system takes an
// owned window with its owner), the handle is let go of before the owner
// hears the message, so Handle() is nullptr from then on. Destroy, or this
// object going, destroys the window without another message to the owner.
template <class TOwner>
class TObjectWindow {
public:
    explicit TObjectWindow(TOwner& owner) : FOwner(owner) {}
    ~TObjectWindow() { Destroy(); }
    TObjectWindow(const TObjectWindow&) = delete;
    TObjectWindow& operator=(const TObjectWindow&) = delete;

    // Makes the window (the class registered first); raises EOleError when
    // the system makes none. A window that already stands is destroyed first.
    HWND Create(const TWindowClass& windowClass, DWORD exStyle, const wchar_t* title, DWORD style, int x, int y,
                int width, int height, HWND parent)
    {
        Destroy();
        RegisterWindowClass(windowClass, &TObjectWindow::Thunk);
        // A window the system destroys during creation has let go again by WM_NCDESTROY.
        if (!CreateWindowExW(exStyle, windowClass.Name, title, style, x, y, width, height, parent, nullptr,
                             GetModuleHandleW(nullptr), this))
            RaiseLastError();
        return FWindow.Get();
    }

    // nullptr before Create and once the window has gone.
    HWND Handle() const { return FWindow.Get(); }

    void Destroy()
    {
        if (FWindow) {
            SetWindowLongPtrW(FWindow.Get(), GWLP_USERDATA, 0);
            FWindow.Close();
        }
    }

private:
    static LRESULT CALLBACK Thunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* made = static_cast<TObjectWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            made->FWindow.Reset(window);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
        }
        auto* self = reinterpret_cast<TObjectWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self)
            return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->FWindow.Release();
        }
        return self->FOwner.HandleMessage(window, message, wParam, lParam);
    }

    TOwner& FOwner;
    TWindowHandle FWindow;
};
