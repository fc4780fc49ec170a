#pragma once
// The window of one form. Every form window is of one window class; each window
// has one TWin32FormWindow, which owns it (TObjectWindow: the object stored at
// WM_NCCREATE, one thunk handing it every message). The form's messages go to
// TForm::Dispatch, and WM_PAINT and WM_PRINTCLIENT both paint through
// PaintContent.

#include <windows.h>

#include "base/win32/WindowClass.h"
#include "ui/Forms.h"

class TWin32FormWindow {
public:
    // Makes the form's window, hidden, at the form's bounds; owner is the
    // window it belongs to (nullptr for none). Raises EOleError when the
    // system makes no window.
    TWin32FormWindow(TForm& form, HWND owner);
    // Destroys the window if it still stands; no message reaches the form on
    // the way. The form's handle is 0 afterwards.
    ~TWin32FormWindow();
    TWin32FormWindow(const TWin32FormWindow&) = delete;
    TWin32FormWindow& operator=(const TWin32FormWindow&) = delete;

    // nullptr once the window is gone, also when the system destroyed it (an
    // owned window goes with its owner). Every operation below does nothing then.
    HWND Handle() const { return FWindow.Handle(); }

    void UpdateStyle();
    void Show(bool visible);
    void SetBounds(const TRect& bounds);
    void SetCaption(const std::string& caption);
    void Invalidate(const TRect& area);
    void Capture();
    TWindowPlacement Placement() const;
    void SetPlacement(const TWindowPlacement& placement);
    void SetState(unsigned showCmd);
    bool IsMinimized() const;

    // Paints the form's area on dc.
    void PaintContent(HDC dc, const RECT& area);

    // A key pressed in a child (the native edit box) goes to the form first:
    // true when the form took it.
    bool DeliverKey(UINT message, WPARAM wParam, LPARAM lParam);
    // The child that gets the focus whenever the window does, as a dialog
    // keeps the focus on its control; forgotten when it goes.
    void SetFocusChild(HWND child) { FFocusChild = child; }
    void ForgetFocusChild(HWND child)
    {
        if (FFocusChild == child)
            FFocusChild = nullptr;
    }

private:
    friend class TObjectWindow<TWin32FormWindow>;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnMoveOrSize();
    LRESULT OnGetMinMaxInfo(MINMAXINFO* info);
    // One message to the form; an error it raises goes to the general error report.
    LRESULT Deliver(unsigned message, WPARAM wParam, LPARAM lParam);

    TForm& FForm;
    HWND FFocusChild = nullptr;
    TObjectWindow<TWin32FormWindow> FWindow{*this};
};
