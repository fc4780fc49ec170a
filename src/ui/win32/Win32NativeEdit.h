#pragma once
// The native edit box of a form (the grid's in-place editor): a real EDIT
// control, a child of the form's window. Its window procedure is taken over
// (this object stored in the window, a static thunk) so that a key pressed in
// the box goes to the form first, as the form's own keys do; the form window
// hands back the box's change notifications and keeps the focus on the box
// while it wants it.

#include <windows.h>

#include <memory>

#include "ui/Host.h"
#include "ui/win32/GdiObjects.h"

class TWin32FormWindow;

class TWin32NativeEdit : public INativeEdit {
public:
    // Raises EOleError when the system makes no box.
    TWin32NativeEdit(TWin32FormWindow& owner, const TRect& bounds, const TFont& font, TEditAlign align,
                     INativeEditEvents& events);
    ~TWin32NativeEdit() override;
    TWin32NativeEdit(const TWin32NativeEdit&) = delete;
    TWin32NativeEdit& operator=(const TWin32NativeEdit&) = delete;

    void SetBounds(const TRect& bounds) override;
    std::string Text() override;
    std::string CharsOutsideCodePage() override;
    void SetText(const std::string& text) override;
    void GetSelection(size_t& start, size_t& length) override;
    void SetSelection(size_t start, size_t length) override;
    void SetFocus() override;
    void SetEnabled(bool enabled) override;

    // nullptr once the box is gone (its parent window destroyed it).
    HWND Handle() const { return FWindow.Get(); }

    // A notification the form window got from one of its children: passed
    // to the box it came from, when it is one of these.
    static void Notified(HWND child, UINT code);

private:
    static LRESULT CALLBACK WndProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

    TWin32FormWindow& FOwner;
    INativeEditEvents& FEvents;
    TFontHandle FFont;
    // After the font: the box goes before the font it shows.
    TWindowHandle FWindow;
    WNDPROC FEditProc = nullptr;
    bool FQuiet = false;
    // Goes false with the object, so that a message handler that freed the
    // box (through the form) touches nothing of it afterwards.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
