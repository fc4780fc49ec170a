#include "ui/Forms.h"

#include <algorithm>
#include <cassert>
#include <exception>

#include "base/SysUtils.h"

namespace {

bool IsInside(const TControl* control, const TControl* container)
{
    for (; control; control = control->Parent())
        if (control == container)
            return true;
    return false;
}

TApplication& OwnersApplication(const TComponent* owner)
{
    TApplication* app = FindApplication(owner);
    if (!app)
        throw EInvalidOperation("A form must belong to the application");
    return *app;
}

} // namespace

TApplication* FindApplication(const TComponent* component)
{
    for (; component; component = component->Owner())
        if (auto* app = dynamic_cast<const TApplication*>(component))
            return const_cast<TApplication*>(app);
    return nullptr;
}

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner), FApp(OwnersApplication(AOwner))
{
    SetVisible(false);
    SetBounds(0, 0, 320, 240);
    FApp.Host().CreateFormWindow(*this);
    FApp.FormCreated(this);
}

TForm::~TForm()
{
    TForm::BeforeDestruction();
    // The form's own controls go while the form still stands: they may undo
    // what they did to it.
    DestroyComponents();
    FApp.ControlGone(this);
    FApp.Host().DestroyFormWindow(*this);
    FApp.FormDestroyed(this);
}

void TForm::BeforeDestruction()
{
    if (FDestroying)
        return;
    FDestroying = true;
    // Destructors let nothing out: an error is reported like any event's.
    if (OnDestroy)
        DispatchEvent(&FApp, [this] { OnDestroy(this); });
}

void TForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == FBorderStyle)
        return;
    FBorderStyle = style;
    if (Handle())
        FApp.Host().UpdateFormStyle(*this);
}

void TForm::CaptionChanged()
{
    if (Handle())
        FApp.Host().SetFormCaption(*this, Caption());
}

void TForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

void TForm::SetBounds(int left, int top, int width, int height)
{
    if (left == Left() && top == Top() && width == Width() && height == Height())
        return;
    TControl::SetBounds(left, top, width, height);
    if (Handle())
        FApp.Host().SetFormBounds(*this, BoundsRect());
}

void TForm::SetVisible(bool visible)
{
    if (visible == Visible())
        return;
    if (visible) {
        // OnShow comes while the window is still hidden.
        if (OnShow)
            OnShow(this);
        TControl::SetVisible(true);
        FApp.Host().ShowFormWindow(*this, true);
        if (FWindowState != TWindowState::wsNormal)
            SetWindowState(FWindowState);
    } else {
        TControl::SetVisible(false);
        if (Handle())
            FApp.Host().ShowFormWindow(*this, false);
        if (OnHide)
            OnHide(this);
    }
}

void TForm::Show()
{
    if (Visible())
        FApp.Host().ShowFormWindow(*this, true);
    else
        SetVisible(true);
}

TWindowState TForm::WindowState() const
{
    if (!Visible())
        return FWindowState;
    THost& host = FApp.Host();
    TForm& self = const_cast<TForm&>(*this);
    if (host.IsFormMinimized(self))
        return TWindowState::wsMinimized;
    return host.GetPlacement(self).ShowCmd == ShowCmd::ShowMaximized ? TWindowState::wsMaximized
                                                                      : TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state)
{
    FWindowState = state;
    if (!Visible())
        return;
    unsigned command = state == TWindowState::wsMinimized   ? ShowCmd::ShowMinimized
                       : state == TWindowState::wsMaximized ? ShowCmd::ShowMaximized
                                                             : ShowCmd::Normal;
    FApp.Host().SetFormState(*this, command);
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::Close()
{
    if (!CloseQuery())
        return;
    const bool main = FApp.MainForm() == this;
    TCloseAction action = main ? TCloseAction::caFree : TCloseAction::caHide;
    if (OnClose)
        OnClose(this, action);
    if (action == TCloseAction::caNone)
        return;
    if (main) {
        if (!FApp.TerminationAllowed())
            return;
        FApp.Terminate();
    }
    else if (action == TCloseAction::caMinimize)
        SetWindowState(TWindowState::wsMinimized);
    else
        Hide();
}

TWindowPlacement TForm::GetPlacement() const { return FApp.Host().GetPlacement(const_cast<TForm&>(*this)); }

void TForm::SetPlacement(const TWindowPlacement& placement) { FApp.Host().SetPlacement(*this, placement); }

void TForm::AddMessageHook(const void* owner, std::function<void(TMessage&)> hook)
{
    FHooks.push_back({owner, std::move(hook), FNextHookId++});
}

void TForm::RemoveMessageHooks(const void* owner)
{
    std::erase_if(FHooks, [owner](const THook& h) { return h.Owner == owner; });
}

void TForm::Dispatch(TMessage& msg)
{
    // A hook may remove itself or others while the message goes round.
    std::vector<unsigned> ids;
    for (const THook& hook : FHooks)
        ids.push_back(hook.Id);
    for (unsigned id : ids) {
        auto it = std::find_if(FHooks.begin(), FHooks.end(), [id](const THook& h) { return h.Id == id; });
        if (it != FHooks.end()) {
            auto hook = it->Hook;
            hook(msg);
        }
    }
    WndProc(msg);
}

void TForm::WndProc(TMessage& msg)
{
    switch (msg.Msg) {
    case Msg::Activate: {
        const bool active = (msg.WParam & 0xFFFF) != ActivateState::Inactive;
        if (active == FActive)
            break;
        FActive = active;
        if (active)
            FApp.FActiveForm = this;
        else if (FApp.FActiveForm == this)
            FApp.FActiveForm = nullptr;
        if (active && OnActivate)
            OnActivate(this);
        if (!active && OnDeactivate)
            OnDeactivate(this);
        break;
    }
    case Msg::Close:
        Close();
        break;
    case Msg::QueryEndSession:
        // The session may end only as the program would close.
        msg.Result = FApp.MainForm() != this || (CloseQuery() && FApp.TerminationAllowed());
        break;
    case Msg::KeyDown:
    case Msg::SysKeyDown:
    case Msg::Char:
        KeyMessage(msg);
        break;
    case Msg::Move: {
        // The host reports the window's new place on the screen.
        const TPoint place = LParamToPoint(msg.LParam);
        TControl::SetBounds(place.X, place.Y, Width(), Height());
        break;
    }
    case Msg::Size: {
        const TPoint size = LParamToPoint(msg.LParam);
        TControl::SetBounds(Left(), Top(), size.X, size.Y);
        break;
    }
    case Msg::CaptureChanged:
        // Taken away from the form (another window, a menu): no drag goes on.
        if (FCaptureControl && FButtonsDown) {
            FButtonsDown = 0;
            FCaptureControl = nullptr;
        }
        break;
    case Msg::MouseLeave:
        SetHover(nullptr, {});
        break;
    case Msg::MouseWheel:
        MouseWheelMessage(msg);
        break;
    case Msg::MouseMove:
    case Msg::LButtonDown:
    case Msg::LButtonUp:
    case Msg::LButtonDblClk:
    case Msg::RButtonDown:
    case Msg::RButtonUp:
    case Msg::RButtonDblClk:
    case Msg::MButtonDown:
    case Msg::MButtonUp:
    case Msg::MButtonDblClk:
        MouseMessage(msg);
        break;
    default:
        break;
    }
}

namespace {

TShiftState ShiftFromKeys(uintptr_t keys)
{
    TShiftState shift = 0;
    if (keys & MouseKeys::Shift)
        shift |= ssShift;
    if (keys & MouseKeys::Control)
        shift |= ssCtrl;
    if (keys & MouseKeys::Left)
        shift |= ssLeft;
    if (keys & MouseKeys::Right)
        shift |= ssRight;
    if (keys & MouseKeys::Middle)
        shift |= ssMiddle;
    return shift;
}

// The deepest showing, enabled control under a point of the form's client area.
TControl* HitTest(TForm& form, TPoint point)
{
    TControl* found = &form;
    TWinControl* parent = &form;
    TPoint local = point;
    while (TControl* child = parent->ControlAtPos(local)) {
        found = child;
        local = {local.X - child->Left(), local.Y - child->Top()};
        parent = dynamic_cast<TWinControl*>(child);
        if (!parent)
            break;
    }
    return found;
}

} // namespace

void TForm::MouseMessage(TMessage& msg)
{
    const TPoint point = LParamToPoint(msg.LParam);
    TShiftState shift = ShiftFromKeys(msg.WParam);
    // Only a control that got the press is clicked by the release.
    const bool pressed = FCaptureControl != nullptr;
    TControl* under = HitTest(*this, point);
    TControl* target = FCaptureControl ? FCaptureControl : under;
    const TPoint offset = target->FormOffset();
    const int x = point.X - offset.X;
    const int y = point.Y - offset.Y;

    if (msg.Msg == Msg::MouseMove) {
        SetHover(under, ClientToScreen(point));
        target->MouseMove(shift, x, y);
        return;
    }

    TMouseButton button = TMouseButton::mbLeft;
    unsigned bit = MouseKeys::Left;
    if (msg.Msg >= Msg::RButtonDown && msg.Msg <= Msg::RButtonDblClk) {
        button = TMouseButton::mbRight;
        bit = MouseKeys::Right;
    } else if (msg.Msg >= Msg::MButtonDown) {
        button = TMouseButton::mbMiddle;
        bit = MouseKeys::Middle;
    }
    const bool down = msg.Msg == Msg::LButtonDown || msg.Msg == Msg::RButtonDown || msg.Msg == Msg::MButtonDown;
    const bool doubleClick =
        msg.Msg == Msg::LButtonDblClk || msg.Msg == Msg::RButtonDblClk || msg.Msg == Msg::MButtonDblClk;

    if (down || doubleClick) {
        FApp.CancelHint();
        // A tab stop pressed with the left button takes the focus first; the
        // control losing it may answer by taking it back.
        if (!FCaptureControl && button == TMouseButton::mbLeft && target->TabStop() && target->CanFocus()) {
            SetActiveControl(target);
            // The control that had the focus took it back (an edit it
            // rejected): the press is dropped, as a system button drops it.
            if (FActiveControl != target)
                return;
        }
        // The pressed control takes every mouse message until the last button
        // is up, also from outside itself.
        if (!FCaptureControl) {
            FCaptureControl = target;
            FApp.Host().SetCapture(this);
        }
        FButtonsDown |= bit;
        if (doubleClick) {
            if (button == TMouseButton::mbLeft)
                target->DblClick();
            target->MouseDown(button, shift | ssDouble, x, y);
        } else {
            target->MouseDown(button, shift, x, y);
        }
        return;
    }

    // A button went up.
    FButtonsDown &= ~bit;
    if (FButtonsDown == 0 && FCaptureControl) {
        FCaptureControl = nullptr;
        FApp.Host().SetCapture(nullptr);
    }
    // The click comes first, then the mouse-up, which runs even when the click
    // fails: a control that started something at the press ends it there.
    std::exception_ptr clickError;
    if (button == TMouseButton::mbLeft && pressed && target->ClientRect().Contains({x, y})) {
        try {
            target->Click();
        } catch (...) {
            clickError = std::current_exception();
        }
    }
    target->MouseUp(button, shift, x, y);
    if (clickError)
        std::rethrow_exception(clickError);
    if (button == TMouseButton::mbRight && ClientRect().Contains(point))
        ContextPopup(under, point);
}

void TForm::ContextPopup(TControl* control, TPoint client)
{
    for (; control; control = control->Parent())
        if (TPopupMenu* menu = control->PopupMenu()) {
            const TPoint screen = ClientToScreen(client);
            menu->Popup(screen.X, screen.Y);
            return;
        }
}

void TForm::KeyMessage(TMessage& msg)
{
    // With key preview, or when no control takes keys, the form's events come first.
    const bool formFirst = FKeyPreview || !FActiveControl;
    if (msg.Msg == Msg::Char) {
        char key = static_cast<char>(msg.WParam);
        if (formFirst && OnKeyPress)
            OnKeyPress(this, key);
        if (key && FActiveControl)
            FActiveControl->KeyPress(key);
        msg.Result = key == 0;
        return;
    }
    uint16_t key = static_cast<uint16_t>(msg.WParam);
    const TShiftState shift = FApp.Host().KeyboardShiftState();
    if (formFirst && OnKeyDown)
        OnKeyDown(this, key, shift);
    if (key && FActiveControl)
        FActiveControl->KeyDown(key, shift);
    // Tab that nobody took moves the focus through the tab stops, if any.
    if (key == Vk::Tab && msg.Msg == Msg::KeyDown && !(shift & (ssCtrl | ssAlt))) {
        std::vector<TControl*> stops;
        GetTabStops(stops);
        if (!stops.empty()) {
            SelectNext(FActiveControl, !(shift & ssShift));
            key = 0;
        }
    }
    msg.Result = key == 0;
}

void TForm::MouseWheelMessage(TMessage& msg)
{
    const int delta = static_cast<int16_t>((msg.WParam >> 16) & 0xFFFF);
    const TShiftState shift = ShiftFromKeys(msg.WParam & 0xFFFF);
    const TPoint screen = LParamToPoint(msg.LParam);
    // The control under the mouse, or one it lies on; else the focused one.
    TControl* under = HitTest(*this, {screen.X - Left(), screen.Y - Top()});
    for (TControl* control = under; control; control = control->Parent()) {
        const TPoint client = control->ScreenToClient(screen);
        if (control->MouseWheel(shift, delta, client.X, client.Y)) {
            msg.Result = 1;
            return;
        }
    }
    if (FActiveControl && !IsInside(under, FActiveControl)) {
        const TPoint client = FActiveControl->ScreenToClient(screen);
        msg.Result = FActiveControl->MouseWheel(shift, delta, client.X, client.Y);
    }
}

void TForm::SetActiveControl(TControl* control)
{
    if (control == FActiveControl)
        return;
    if (TControl* old = FActiveControl) {
        FActiveControl = nullptr;
        old->Invalidate();
        old->DoExit();
        // The control leaving gave the focus elsewhere (back to itself).
        if (FActiveControl)
            return;
    }
    FActiveControl = control;
    if (control) {
        control->Invalidate();
        control->DoEnter();
    }
}

TControl* TForm::SelectNext(TControl* current, bool forward)
{
    std::vector<TControl*> stops;
    GetTabStops(stops);
    if (stops.empty())
        return nullptr;
    auto it = std::find(stops.begin(), stops.end(), current);
    TControl* next;
    if (it == stops.end())
        next = forward ? stops.front() : stops.back();
    else if (forward)
        next = std::next(it) == stops.end() ? stops.front() : *std::next(it);
    else
        next = it == stops.begin() ? stops.back() : *std::prev(it);
    SetActiveControl(next);
    return FActiveControl == next ? next : nullptr;
}

bool TForm::IsShortCut(TShortCut shortCut)
{
    for (TControl* control = FActiveControl ? FActiveControl : this; control; control = control->Parent())
        if (TPopupMenu* menu = control->PopupMenu(); menu && menu->IsShortCut(shortCut))
            return true;
    return false;
}

void TForm::SetHover(TControl* control, TPoint)
{
    if (control == FHoverControl)
        return;
    TControl* old = FHoverControl;
    FHoverControl = control;
    if (old)
        old->MouseLeave();
    if (control)
        control->MouseEnter();
    FApp.HintMouseOver(control);
}

void TForm::ForgetControl(TControl* control)
{
    // A panel that goes takes what lies on it out of the form too.
    if (IsInside(FCaptureControl, control)) {
        FCaptureControl = nullptr;
        FButtonsDown = 0;
        FApp.Host().SetCapture(nullptr);
    }
    if (IsInside(FHoverControl, control))
        FHoverControl = nullptr;
    if (IsInside(FActiveControl, control))
        FActiveControl = nullptr;
    FApp.ControlGone(control);
}

void TForm::InvalidateArea(const TRect& area)
{
    FApp.Host().InvalidateForm(*this, area);
}

void TForm::Paint(TCanvas& canvas)
{
    canvas.BrushColor = Color();
    canvas.FillRect(ClientRect());
}

void TForm::PaintContent(TCanvas& canvas, const TRect& area)
{
    canvas.Origin = {0, 0};
    canvas.Clip = area.Intersect(ClientRect());
    PaintControls(canvas);
}

// ---------------------------------------------------------------- TApplication

TApplication::TApplication(THost& host) : TComponent(nullptr), FHost(host)
{
    FHintTimer = new TTimer(this, FHost);
    FHintTimer->SetEnabled(false);
    FHintTimer->OnTimer = [this](TObject*) {
        FHintTimer->SetEnabled(false);
        if (FHintControl) {
            const TPoint cursor = FHost.CursorPos();
            FHost.ShowHintWindow(FHintControl->Hint(), {cursor.X, cursor.Y + 20});
        }
    };
    FHost.AttachApplication(*this);
}

TApplication::~TApplication()
{
    // The windows and timers it owns go first, while the host still serves it.
    DestroyComponents();
    FHost.DetachApplication(*this);
}

void TApplication::FormCreated(TForm* form)
{
    if (!FMainForm)
        FMainForm = form;
}

void TApplication::FormDestroyed(TForm* form)
{
    if (FMainForm == form)
        FMainForm = nullptr;
    if (FActiveForm == form)
        FActiveForm = nullptr;
}

void TApplication::Run()
{
    if (FMainForm && !FMainForm->Visible())
        DispatchEvent(this, [this] { FMainForm->Show(); });
    FHost.Run();
}

void TApplication::ProcessMessagesFor(uint32_t milliseconds)
{
    const uint32_t start = FHost.TickCount();
    for (;;) {
        FHost.ProcessMessages();
        const uint32_t now = FHost.TickCount();
        if (now < start || now - start >= milliseconds)
            return;
        FHost.WaitMessage(milliseconds - (now - start));
    }
}

bool TApplication::IsShortCut(TShortCut shortCut)
{
    TForm* form = FActiveForm ? FActiveForm : FMainForm;
    return form && form->IsShortCut(shortCut);
}

void TApplication::AddTerminationCheck(const void* owner, std::function<bool()> check)
{
    FTerminationChecks.emplace_back(owner, std::move(check));
}

void TApplication::RemoveTerminationChecks(const void* owner)
{
    std::erase_if(FTerminationChecks, [owner](const auto& check) { return check.first == owner; });
}

bool TApplication::TerminationAllowed()
{
    // A check may add or remove checks while it asks.
    const auto checks = FTerminationChecks;
    for (const auto& check : checks)
        if (!check.second())
            return false;
    return true;
}

void TApplication::HintMouseOver(TControl* control)
{
    if (control == FHintControl)
        return;
    CancelHint();
    if (control && control->ShowHint() && !control->Hint().empty()) {
        FHintControl = control;
        FHintTimer->SetInterval(HintPause);
        FHintTimer->SetEnabled(true);
    }
}

void TApplication::CancelHint()
{
    if (FHintTimer)
        FHintTimer->SetEnabled(false);
    if (FHintControl) {
        FHintControl = nullptr;
        FHost.HideHintWindow();
    }
}

void TApplication::ControlGone(TControl* control)
{
    if (IsInside(FHintControl, control))
        CancelHint();
}

std::string ErrorReportText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void TApplication::ShowException(const std::exception& error)
{
    FHost.ShowMessageBox(ErrorReportText(error.what()), FTitle, MsgBox::kOk | MsgBox::kIconError);
}

void DispatchEvent(TApplication* app, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        if (app)
            app->ShowException(error);
    } catch (...) {
        if (app)
            app->ShowException(Exception("Unknown error"));
    }
}

void THost::AttachApplication(TApplication& app)
{
    assert(!FApp && "one application per host at a time");
    FApp = &app;
}

void THost::DetachApplication(TApplication& app)
{
    if (FApp == &app)
        FApp = nullptr;
}
