#pragma once
// A host without an operating system, for tests, made of one small fake per
// host interface: a manual clock that fires the timers when the test advances
// it, form windows kept as plain records with the mouse played on them as the
// system would, message boxes recorded and answered from a script with an
// in-memory clipboard, and recorded edit boxes. THeadlessHost puts them
// together and adds the keyboard, which reaches all of them.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/HeadlessCanvas.h"
#include "ui/Controls.h"
#include "ui/Host.h"
#include "ui/Menus.h"

// The clock and the event loop. Errors of what it runs go to the general
// error report of the application attached to the host it is part of.
class THeadlessEventLoop : public virtual IEventLoop {
public:
    explicit THeadlessEventLoop(const THost& host) : FHost(host) {}

    void StartTimer(TTimer& timer, uint32_t interval) override;
    void StopTimer(TTimer& timer) override;
    uint32_t TickCount() override { return FNow; }
    // Lets ProcessMessagesStep milliseconds pass, firing the timers due in them
    // (a loop that waits by processing messages sees time go by).
    void ProcessMessages() override { Advance(ProcessMessagesStep); }
    // Lets the time pass (the events due in it fire), as a wait with nothing
    // else to do would.
    void WaitMessage(uint32_t timeout) override { Advance(timeout); }
    void Run() override {}
    void Terminate() override { FTerminated = true; }
    // Kept until the test returns to the main loop (RunMainLoopCalls).
    void PostToMainLoop(std::function<void()> call) override { FMainLoopCalls.push_back(std::move(call)); }
    // The test stands for the main loop: runs the calls posted to it, in
    // order, those they post too; errors go to the general error report.
    void RunMainLoopCalls();
    size_t MainLoopCallsWaiting() const { return FMainLoopCalls.size(); }
    // Kept until the loop serves events: Advance, and so ProcessMessages and
    // WaitMessage, run what was delivered first.
    void Deliver(std::function<void()> call) override;
    // Runs the calls delivered so far; how many ran.
    size_t RunDelivered();
    // Waits up to limit real milliseconds until a call has been delivered
    // (from another thread), then runs what came; false when nothing came.
    bool AwaitDelivery(uint32_t limit);

    void Advance(uint32_t milliseconds);
    void SetTickCount(uint32_t now) { FNow = now; }
    bool IsTimerRunning(const TTimer& timer) const;
    // Runs an event once when the clock has moved delay milliseconds on, also
    // inside a handler that waits by serving messages.
    void Schedule(uint32_t delay, std::function<void()> event);
    bool Terminated() const { return FTerminated; }
    uint32_t ProcessMessagesStep = 10;

private:
    struct TScheduled {
        TTimer* Timer; // nullptr for a scheduled event
        uint32_t Interval;
        uint64_t Due;
        uint64_t Sequence;
        std::function<void()> Event;
    };
    TScheduled* NextDue(uint64_t until);

    const THost& FHost;
    std::deque<std::function<void()>> FMainLoopCalls;
    std::mutex FDeliveredMutex;
    std::condition_variable FDeliveredCame;
    std::deque<std::function<void()>> FDelivered;
    uint32_t FNow = 0;
    uint64_t FClock = 0; // FNow without the wrap-around, for ordering
    uint64_t FSequence = 0;
    std::vector<TScheduled> FTimers;
    bool FTerminated = false;
};

// Form windows as plain records, the screen, popup menus answered from a
// script, the hint window, and the mouse as the system reports it to a form.
class THeadlessFormWindows : public virtual IFormWindows, public virtual IScreen, public virtual IPopups {
public:
    explicit THeadlessFormWindows(const THost& host) : FHost(host) {}

    // A form's window as the host keeps it.
    struct TWindow {
        bool Visible = false;
        TRect Bounds;
        TWindowPlacement Placement;
        std::string Caption;
        std::vector<TRect> Invalid;
    };

    void CreateFormWindow(TForm& form) override;
    void DestroyFormWindow(TForm& form) override;
    void UpdateFormStyle(TForm&) override {}
    void ShowFormWindow(TForm& form, bool visible) override;
    void SetFormBounds(TForm& form, const TRect& bounds) override;
    void SetFormCaption(TForm& form, const std::string& caption) override { Window(form).Caption = caption; }
    void InvalidateForm(TForm& form, const TRect& area) override;
    void SetCapture(TForm* form) override { FCapture = form; }
    TPoint CursorPos() override { return FCursor; }
    unsigned KeyboardShiftState() override { return FShift; }
    TWindowPlacement GetPlacement(TForm& form) override { return Window(form).Placement; }
    void SetPlacement(TForm& form, const TWindowPlacement& placement) override;
    void SetFormState(TForm& form, unsigned showCmd) override;
    bool IsFormMinimized(TForm& form) override;
    void MinimizeApplication() override;
    // Carried out at the next ProcessMessages of the host.
    void PostMinimizeApplication() override { FMinimizePosted = true; }
    bool IsApplicationMinimized() override { return FApplicationMinimized; }
    TSize ScreenSize() override { return FScreenSize; }
    int ScreenPixelsPerInch() override { return FPixelsPerInch; }
    TSize TextExtent(const TFont& font, const std::string& text) override
    {
        return THeadlessCanvas::Measure(font, text);
    }
    // Records the popup and answers from the scripted choices (none left: the
    // menu is left without a choice).
    TMenuItem* TrackPopupMenu(TPopupMenu& menu, TPoint screen) override;
    void ShowHintWindow(const std::string& text, TPoint screen) override;
    void HideHintWindow() override { FHintVisible = false; }

    // Popup menus: the caption to choose in the next one opened, in order.
    struct TPopupCall {
        std::string Menu; // the menu's name
        TPoint Point;
        std::vector<std::string> Items; // caption, and a tab and the shortcut's text when it has one
    };
    // The next popup answers the first enabled item with this caption (a line
    // cannot be chosen), or none.
    void ChoosePopupItem(const std::string& caption) { FPopupChoices.push_back(caption); }
    const std::vector<TPopupCall>& Popups() const { return FPopups; }

    // Windows.
    const TWindow& WindowOf(const TForm& form) const;
    bool HasWindow(const TForm& form) const { return FWindows.count(&form) != 0; }
    TForm* ActiveForm() const { return FActive; }
    TForm* CaptureForm() const { return FCapture; }
    bool MinimizePosted() const { return FMinimizePosted; }
    void SetScreen(TSize size, int pixelsPerInch)
    {
        FScreenSize = size;
        FPixelsPerInch = pixelsPerInch;
    }
    // Paints what was invalidated (or all of it) and returns the calls.
    std::vector<TCanvasCall> Paint(TForm& form, bool all = true);

    // The mouse, as the system reports it to a form: positions are in the
    // control's client coordinates, or on the screen for the ...At functions.
    void MouseDown(TControl& control, TMouseButton button, int x, int y, TShiftState keys = 0);
    void MouseUp(TControl& control, TMouseButton button, int x, int y, TShiftState keys = 0);
    void MouseMove(TControl& control, int x, int y, TShiftState keys = 0);
    void Click(TControl& control, int x = 1, int y = 1);
    void DoubleClick(TControl& control, int x = 1, int y = 1);
    void MouseDownAt(TForm& form, TMouseButton button, TPoint screen);
    void MouseUpAt(TForm& form, TMouseButton button, TPoint screen);
    void MouseMoveAt(TForm& form, TPoint screen);
    void MouseLeave(TForm& form);
    // The wheel turned over a point of the control: notches away from the
    // user, negative towards; TurnWheel in the system's units (120 a notch,
    // less for a high-resolution wheel).
    void MouseWheel(TControl& control, int notches, int x = 1, int y = 1, TShiftState keys = 0);
    void TurnWheel(TControl& control, int delta, int x, int y, TShiftState keys = 0);
    // Activation as the system reports it: the form that had it is told first.
    void Activate(TForm& form, bool byClick = false);
    void Deactivate(TForm& form);

    const std::string& HintText() const { return FHintText; }
    bool HintVisible() const { return FHintVisible; }
    TPoint HintPosition() const { return FHintPosition; }

protected:
    // A posted minimise, carried out.
    void RunPostedMinimize();
    // The Shift, Ctrl and Alt state the keyboard reports.
    unsigned FShift = 0;

private:
    TWindow& Window(TForm& form);
    void SendMouse(TForm& form, unsigned msg, TPoint screen, TShiftState keys);
    static unsigned ButtonBit(TMouseButton button);

    const THost& FHost;
    std::deque<std::string> FPopupChoices;
    std::vector<TPopupCall> FPopups;
    std::map<const TForm*, TWindow> FWindows;
    TForm* FActive = nullptr;
    TForm* FCapture = nullptr;
    TPoint FCursor;
    unsigned FButtons = 0;
    bool FMinimizePosted = false;
    bool FApplicationMinimized = false;
    TSize FScreenSize{1024, 768};
    int FPixelsPerInch = 96;
    std::string FHintText;
    TPoint FHintPosition;
    bool FHintVisible = false;
};

// Message boxes recorded and answered from a script, and an in-memory
// clipboard.
class THeadlessShell : public virtual IShell {
public:
    struct TMessageBoxCall {
        std::string Text;
        std::string Caption;
        unsigned Style;
        bool Utf8 = false; // the text in UTF-8 (ShowMessageBoxUtf8)
    };

    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    int ShowMessageBoxUtf8(const std::string& text, const std::string& caption, unsigned style) override;
    // ClipboardFails makes every access fail, as a clipboard held open by
    // another program does.
    bool SetClipboardText(const std::string& text) override;
    bool GetClipboardText(std::string& bytes, std::string& outside) override;

    // Message boxes: answers for the next ones, in order; when none is left a
    // box is answered with its default button.
    void AnswerMessageBox(int answer) { FAnswers.push_back(answer); }
    const std::vector<TMessageBoxCall>& MessageBoxes() const { return FMessageBoxes; }

    // The clipboard's bytes as stored (the NUL that Set adds included).
    std::string ClipboardBytes() const { return FClipboard; }
    // outside: the characters (UTF-8) the text stood for that the code page
    // cannot hold, as another program's Unicode text would have them.
    void SetClipboardBytes(const std::string& bytes, const std::string& outside = {})
    {
        FClipboard = bytes, FClipboardOutside = outside, FClipboardHasText = true;
    }
    bool ClipboardFails = false;

private:
    std::deque<int> FAnswers;
    std::vector<TMessageBoxCall> FMessageBoxes;
    std::string FClipboard;
    std::string FClipboardOutside;
    bool FClipboardHasText = false;
};

// Recorded edit boxes. What the operator does in them comes through the host
// (THeadlessHost), whose keys reach them.
class THeadlessNativeEdits : public virtual INativeEditHost {
public:
    explicit THeadlessNativeEdits(const THost& host) : FHost(host) {}

    std::unique_ptr<INativeEdit> CreateNativeEdit(TForm& form, const TRect& bounds, const TFont& font,
                                                  TEditAlign align, INativeEditEvents& events) override;

    // The edit box as the operator sees it; Alive false once it is gone.
    struct TEditBox {
        TForm* Form = nullptr;
        TRect Bounds;
        TFont Font;
        TEditAlign Align = TEditAlign::Left;
        std::string Text;
        // Characters typed that the code page cannot hold (UTF-8), each a
        // "?" in Text; forgotten once Text holds no "?" or is set anew.
        std::string Outside;
        size_t SelStart = 0;
        size_t SelLength = 0;
        bool Focused = false;
        bool Enabled = true;
        bool Alive = true;
    };
    // The newest edit box that still stands, or nullptr.
    const TEditBox* EditBox() const;
    int EditBoxesMade() const { return static_cast<int>(FEditBoxes.size()); }

protected:
    // The box of the active form that has the focus, or nullptr.
    TEditBox* FocusedEditBox(const TForm* active);
    std::shared_ptr<TEditBox> FindBox(const TEditBox* box) const;
    // Tells the box's owner that the operator changed its text.
    void NotifyEditBox(TEditBox* box);

private:
    class TFakeEdit;

    const THost& FHost;
    std::vector<std::shared_ptr<TEditBox>> FEditBoxes;
    std::vector<TFakeEdit*> FLiveEdits;
};

class THeadlessHost : public THost,
                      public THeadlessEventLoop,
                      public THeadlessFormWindows,
                      public THeadlessShell,
                      public THeadlessNativeEdits {
public:
    // The parts ask this host for its application.
    THeadlessHost()
        : THeadlessEventLoop(static_cast<const THost&>(*this)),
          THeadlessFormWindows(static_cast<const THost&>(*this)),
          THeadlessNativeEdits(static_cast<const THost&>(*this))
    {
    }

    // Carries out a posted minimise, then lets time pass.
    void ProcessMessages() override;

    // Keys, to the active form as the system sends them: a key down (first
    // matched against the menus' shortcuts, as the message loop does), and
    // characters typed. While an edit box of the form has the focus the key
    // goes to the form first and what it leaves to the box (caret keys,
    // Delete); the characters go to the box.
    void KeyDown(unsigned key, TShiftState shift = 0);
    void Type(const std::string& text);
    // Text pasted into the focused edit box by its own paste key: it
    // replaces the selection as it stands, TABs and line breaks included.
    void PasteIntoEditBox(const std::string& text);
    // Characters the code page cannot hold (UTF-8) typed into the focused
    // edit box at once, as an input method puts them there.
    void TypeOutsideCodePage(const std::string& chars);

private:
    // True when the form took the key.
    bool SendKey(unsigned msg, unsigned key);
};
