// The form's input routing: the mouse (capture, hover, clicks, the context
// menu), the wheel and keys, from the host's messages to the form's controls.

#include "ui/Forms.h"

#include <exception>
#include <vector>

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
            FApp.Windows().SetCapture(this);
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
        FApp.Windows().SetCapture(nullptr);
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
    const TShiftState shift = FApp.Screen().KeyboardShiftState();
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
