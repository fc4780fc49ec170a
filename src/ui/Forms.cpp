#include "ui/Forms.h"

#include <algorithm>
#include <exception>

#include "base/SysUtils.h"

namespace {

TApplication& OwnersApplication(const TComponent* owner)
{
    TApplication* app = FindApplication(owner);
    if (!app)
        throw EInvalidOperation("A form must belong to the application");
    return *app;
}

} // namespace

// ---------------------------------------------------------------- TForm

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner), FApp(OwnersApplication(AOwner))
{
    SetVisible(false);
    SetBounds(0, 0, 320, 240);
    FApp.Windows().CreateFormWindow(*this);
    FApp.FormCreated(this);
}

TForm::~TForm()
{
    TForm::BeforeDestruction();
    // The form's own controls go while the form still stands: they may undo
    // what they did to it.
    DestroyComponents();
    FApp.ControlGone(this);
    FApp.Windows().DestroyFormWindow(*this);
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
        FApp.Windows().UpdateFormStyle(*this);
}

void TForm::CaptionChanged()
{
    if (Handle())
        FApp.Windows().SetFormCaption(*this, Caption());
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
        FApp.Windows().SetFormBounds(*this, BoundsRect());
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
        FApp.Windows().ShowFormWindow(*this, true);
        if (FWindowState != TWindowState::wsNormal)
            SetWindowState(FWindowState);
    } else {
        TControl::SetVisible(false);
        if (Handle())
            FApp.Windows().ShowFormWindow(*this, false);
        if (OnHide)
            OnHide(this);
    }
}

void TForm::Show()
{
    if (Visible())
        FApp.Windows().ShowFormWindow(*this, true);
    else
        SetVisible(true);
}

TWindowState TForm::WindowState() const
{
    if (!Visible())
        return FWindowState;
    IFormWindows& windows = FApp.Windows();
    TForm& self = const_cast<TForm&>(*this);
    if (windows.IsFormMinimized(self))
        return TWindowState::wsMinimized;
    return windows.GetPlacement(self).ShowCmd == ShowCmd::ShowMaximized ? TWindowState::wsMaximized
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
    FApp.Windows().SetFormState(*this, command);
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

TWindowPlacement TForm::GetPlacement() const { return FApp.Windows().GetPlacement(const_cast<TForm&>(*this)); }

void TForm::SetPlacement(const TWindowPlacement& placement) { FApp.Windows().SetPlacement(*this, placement); }

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

void TForm::ForgetControl(TControl* control)
{
    // A panel that goes takes what lies on it out of the form too.
    if (IsInside(FCaptureControl, control)) {
        FCaptureControl = nullptr;
        FButtonsDown = 0;
        FApp.Windows().SetCapture(nullptr);
    }
    if (IsInside(FHoverControl, control))
        FHoverControl = nullptr;
    if (IsInside(FActiveControl, control))
        FActiveControl = nullptr;
    FApp.ControlGone(control);
}

void TForm::InvalidateArea(const TRect& area)
{
    FApp.Windows().InvalidateForm(*this, area);
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
