#pragma once
// Forms: the windows of the program, each belonging to the application
// (ui/Application.h), whose host makes and serves its window. Their input
// routing is in FormInput.cpp.

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "ui/Application.h"
#include "ui/Classes.h"
#include "ui/Controls.h"
#include "ui/Host.h"
#include "ui/Menus.h"
#include "ui/Messages.h"

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
// A character typed; setting Key to 0 consumes it.
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
// A key pressed (virtual key code); setting Key to 0 consumes it.
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TForm : public TWinControl {
public:
    // Makes the form's window, hidden, on the host of the application the
    // owner belongs to; the first form made is its main form. Raises
    // EInvalidOperation when the owner belongs to no application.
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // The application the form belongs to, for its whole life.
    TApplication& App() const { return FApp; }

    TForm* ParentForm() const override { return const_cast<TForm*>(this); }
    TPoint FormOffset() const override { return {0, 0}; }
    TPoint ClientToScreen(TPoint point) const override { return {Left() + point.X, Top() + point.Y}; }

    // Left and Top are the window's place on the screen.
    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position) { FPosition = position; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style) { FFormStyle = style; }
    // With key preview the form's key events see every key before the active
    // control does.
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool preview) { FKeyPreview = preview; }
    // The control that takes the keys (the form itself when nullptr). A change
    // tells the control that had the focus (DoExit) and then the new one
    // (DoEnter), unless the first one gave the focus elsewhere meanwhile.
    TControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TControl* control);
    TControl* FocusedControl() const override { return FActiveControl; }
    // Moves the focus to the next (or previous) tab stop after current in Tab
    // order, round the end; nullptr current starts at the ends. The control
    // that got it, or nullptr when there is none.
    TControl* SelectNext(TControl* current, bool forward = true);
    // Clicks the item with this shortcut in the popup menus of the active
    // control, its parents and the form, nearest first; false when none has it.
    bool IsShortCut(TShortCut shortCut);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    // Where a maximised window goes (the system's choice while negative).
    TPoint MaxPosition() const { return FMaxPosition; }
    void SetMaxPosition(TPoint position) { FMaxPosition = position; }
    bool Active() const { return FActive; }

    // OnShow runs before the window becomes visible.
    void Show();
    void Hide() { SetVisible(false); }
    // Asks OnCloseQuery, then OnClose decides: hide (the default), minimise,
    // nothing, or, for the main form, the end of the program.
    void Close();
    bool CloseQuery();
    TWindowPlacement GetPlacement() const;
    void SetPlacement(const TWindowPlacement& placement);

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyDown;

    // Runs OnCreate; a form calls it when its controls are built.
    void DoCreate();
    // Runs OnDestroy once, while the whole form still stands. The owner calls
    // it before freeing the form; the destructor does it if nobody did. An
    // error it raises goes to the general error report and the form goes on
    // being freed.
    void BeforeDestruction() override;

    // Observers of every message the form gets, called before the form handles
    // it; removed by their owner (or with the form).
    void AddMessageHook(const void* owner, std::function<void(TMessage&)> hook);
    void RemoveMessageHooks(const void* owner);

    // The host's way in: one window message.
    void Dispatch(TMessage& msg);
    // Paints the form's background and its controls, clipped to area.
    void PaintContent(TCanvas& canvas, const TRect& area);

    // The host's window for the form.
    uintptr_t Handle() const { return FHandle; }
    void SetHandle(uintptr_t handle) { FHandle = handle; }
    // The control that has the mouse captured, or nullptr.
    TControl* MouseCaptureControl() const { return FCaptureControl; }

    void Paint(TCanvas& canvas) override;

protected:
    virtual void WndProc(TMessage& msg);
    void CaptionChanged() override;
    void InvalidateArea(const TRect& area) override;
    void ForgetControl(TControl* control) override;

private:
    void MouseMessage(TMessage& msg);
    void MouseWheelMessage(TMessage& msg);
    void KeyMessage(TMessage& msg);
    void ContextPopup(TControl* control, TPoint client);
    void SetHover(TControl* control, TPoint screen);

    TApplication& FApp;
    struct THook {
        const void* Owner;
        std::function<void(TMessage&)> Hook;
        unsigned Id;
    };
    std::vector<THook> FHooks;
    unsigned FNextHookId = 1;
    uintptr_t FHandle = 0;
    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TPosition FPosition = TPosition::poDesigned;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    TPoint FMaxPosition{-1, -1};
    TWindowState FWindowState = TWindowState::wsNormal;
    bool FKeyPreview = false;
    TControl* FActiveControl = nullptr;
    bool FActive = false;
    bool FDestroying = false;
    TControl* FCaptureControl = nullptr;
    TControl* FHoverControl = nullptr;
    unsigned FButtonsDown = 0;
};
