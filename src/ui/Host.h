#pragma once
// The host: the few narrow interfaces through which the component model
// reaches the event loop, the form windows, the screen, the popups, the shell
// and the native edit box, and THost, their sum. The Win32 host drives real
// windows; the headless host drives tests.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>

#include "ui/Graphics.h"
#include "ui/TimerHost.h"

class TApplication;
class TForm;
class TMenuItem;
class TPopupMenu;

// A window's placement as the system keeps it: the normal (restored)
// rectangle in screen coordinates, the minimised and maximised positions,
// the show command and flags.
struct TWindowPlacement {
    unsigned Flags = 0;
    unsigned ShowCmd = 1;
    TPoint MinPosition{-1, -1};
    TPoint MaxPosition{-1, -1};
    TRect NormalPosition;
    bool operator==(const TWindowPlacement&) const = default;
};

namespace ShowCmd {
constexpr unsigned Hide = 0;
constexpr unsigned Normal = 1;
constexpr unsigned ShowMinimized = 2;
constexpr unsigned ShowMaximized = 3;
constexpr unsigned ShowNoActivate = 4;
constexpr unsigned Show = 5;
constexpr unsigned Minimize = 6;
constexpr unsigned ShowMinNoActive = 7;
constexpr unsigned ShowNa = 8;
constexpr unsigned Restore = 9;
} // namespace ShowCmd

// Message box styles and answers; the numbers are the system's.
namespace MsgBox {
constexpr unsigned kOk = 0x0;
constexpr unsigned kOkCancel = 0x1;
constexpr unsigned kYesNoCancel = 0x3;
constexpr unsigned kYesNo = 0x4;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kDefButton2 = 0x100;
constexpr unsigned kTaskModal = 0x2000;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
} // namespace MsgBox

// How the text sits in a native edit box.
enum class TEditAlign { Left, Center, Right };

// What a native edit box tells its owner.
class INativeEditEvents {
public:
    virtual ~INativeEditEvents() = default;
    // The operator changed the text in the box (typing, pasting, cutting).
    virtual void NativeEditChanged() = 0;
};

// A native single-line edit box over part of a form's client area (the grid's
// in-place editor, the rig server dialog's host and port), the one control
// that is a window of its own. A key pressed
// in it goes to its form first, as Msg::KeyDown through TForm::Dispatch; the
// box handles what the form leaves (Result 0), and every character itself,
// except Enter, Escape and Tab, which it drops. Destroying the box gives the
// keyboard focus back to its form when it had it.
class INativeEdit {
public:
    virtual ~INativeEdit() = default;
    // In the form's client coordinates; an empty rectangle hides the box.
    virtual void SetBounds(const TRect& bounds) = 0;
    virtual std::string Text() = 0;
    // The characters of the box's text that the ANSI code page cannot hold
    // (Text() has others in their place), in UTF-8, each once; empty when
    // Text() is the text as shown.
    virtual std::string CharsOutsideCodePage() = 0;
    // Changes the text without telling the owner.
    virtual void SetText(const std::string& text) = 0;
    // Byte offsets into Text().
    virtual void GetSelection(size_t& start, size_t& length) = 0;
    virtual void SetSelection(size_t start, size_t length) = 0;
    // Takes the keyboard focus, at once when its form is the active window,
    // else when the form next becomes active.
    virtual void SetFocus() = 0;
    // A disabled box shows its text greyed and takes no input.
    virtual void SetEnabled(bool enabled) = 0;
};

// The event loop and its timers (a timer needs only ITimerHost's part).
class IEventLoop : public ITimerHost {
public:
    // Milliseconds since some start; wraps around like the system's tick count.
    virtual uint32_t TickCount() = 0;

    // Serves the events that are waiting, then returns.
    virtual void ProcessMessages() = 0;
    // Sleeps until an event is waiting or timeout milliseconds have passed.
    virtual void WaitMessage(uint32_t timeout) = 0;
    // Serves events until Terminate.
    virtual void Run() = 0;
    virtual void Terminate() = 0;
    // Runs call in the outermost event loop, once the event being served and
    // every loop it runs (a message box, a menu, a wait) have returned: what
    // call does never ends a loop from inside it.
    virtual void PostToMainLoop(std::function<void()> call) = 0;
    // From any thread: runs call on the loop's thread soon, in whichever loop
    // serves events then (a message box's, a menu's or a wait's too), its
    // errors going to the general error report. Calls run in their order.
    virtual void Deliver(std::function<void()> call) = 0;
};

// The forms' windows, each form reaching its own, and the application's.
class IFormWindows {
public:
    virtual ~IFormWindows() = default;

    // The window of a form: made hidden at the form's bounds, gone with it.
    // The host passes the window's messages to TForm::Dispatch and paints
    // through TForm::PaintContent.
    virtual void CreateFormWindow(TForm& form) = 0;
    virtual void DestroyFormWindow(TForm& form) = 0;
    // The form's border style changed.
    virtual void UpdateFormStyle(TForm& form) = 0;
    // Shows (and activates) or hides the window.
    virtual void ShowFormWindow(TForm& form, bool visible) = 0;
    // Moves and sizes the window; screen coordinates.
    virtual void SetFormBounds(TForm& form, const TRect& bounds) = 0;
    virtual void SetFormCaption(TForm& form, const std::string& caption) = 0;
    // Marks part of the form's client area for painting.
    virtual void InvalidateForm(TForm& form, const TRect& area) = 0;
    // Sends all mouse input to the form (nullptr ends that).
    virtual void SetCapture(TForm* form) = 0;
    virtual TWindowPlacement GetPlacement(TForm& form) = 0;
    virtual void SetPlacement(TForm& form, const TWindowPlacement& placement) = 0;
    // ShowCmd::Normal, ShowMinimized or ShowMaximized.
    virtual void SetFormState(TForm& form, unsigned showCmd) = 0;
    virtual bool IsFormMinimized(TForm& form) = 0;

    // The application's windows all go to the taskbar; Post... does it when
    // the messages now waiting have been served.
    virtual void MinimizeApplication() = 0;
    virtual void PostMinimizeApplication() = 0;
    virtual bool IsApplicationMinimized() = 0;
};

// The screen around the forms, the mouse and the keyboard.
class IScreen {
public:
    virtual ~IScreen() = default;

    // The primary screen, in pixels, and its logical pixels per inch.
    virtual TSize ScreenSize() = 0;
    virtual int ScreenPixelsPerInch() = 0;
    // Text size in a font, outside painting.
    virtual TSize TextExtent(const TFont& font, const std::string& text) = 0;
    virtual TPoint CursorPos() = 0;
    // Shift, Ctrl and Alt held now, as TShiftState bits.
    virtual unsigned KeyboardShiftState() = 0;
};

// What shows over the forms for a moment: popup menus and the hint window.
class IPopups {
public:
    virtual ~IPopups() = default;

    // Opens a popup menu with its top-left corner at a screen point and waits
    // for the operator: the item chosen, or nullptr when the menu was left.
    virtual TMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) = 0;

    // The hint window: text shown near a screen point, or hidden.
    virtual void ShowHintWindow(const std::string& text, TPoint screen) = 0;
    virtual void HideHintWindow() = 0;
};

// Message boxes and the clipboard.
class IShell {
public:
    virtual ~IShell() = default;

    // A modal message box; returns the answer (MsgBox::kId...).
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
    // The same with the text in UTF-8, for a message that names characters
    // the ANSI code page cannot hold.
    virtual int ShowMessageBoxUtf8(const std::string& text, const std::string& caption, unsigned style) = 0;

    // The clipboard's plain text (in the system's ANSI code page). Set puts
    // text there with a NUL added; Get answers every byte stored, the NUL
    // and whatever follows it included, and in outside the characters of
    // the text up to its NUL that the code page cannot hold (the bytes have
    // others in their place; UTF-8, each once, empty when there are none).
    // False when the clipboard could not be opened or written, or holds no
    // text.
    virtual bool SetClipboardText(const std::string& text) = 0;
    virtual bool GetClipboardText(std::string& bytes, std::string& outside) = 0;
};

// The one native child window: the edit box.
class INativeEditHost {
public:
    virtual ~INativeEditHost() = default;

    // A native edit box on the form's window, shown over bounds (form client
    // coordinates) with the font and alignment, empty and without the focus.
    // Raises EOleError when the system makes none.
    virtual std::unique_ptr<INativeEdit> CreateNativeEdit(TForm& form, const TRect& bounds, const TFont& font,
                                                          TEditAlign align, INativeEditEvents& events) = 0;
};

// All of them, as a host implements them, and the application it serves. A
// user that needs one takes that one alone.
class THost : public virtual IEventLoop,
              public virtual IFormWindows,
              public virtual IScreen,
              public virtual IPopups,
              public virtual IShell,
              public virtual INativeEditHost {
public:
    // The application the host serves (its main and active forms, its menus'
    // shortcuts, its general error report): it attaches itself when made and
    // detaches when gone; one at a time.
    void AttachApplication(TApplication& app);
    void DetachApplication(TApplication& app);
    // nullptr while none is attached.
    TApplication* App() const { return FApp; }

private:
    TApplication* FApp = nullptr;
};
