#include "widgets/TFlatTitlebarUnit.h"

#include "base/SysUtils.h"
#include "ui/Forms.h"

TFlatTitlebar::TFlatTitlebar(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetBounds(Left(), Top(), 100, 19);
    auto colorProp = [this](const char* name, TColor TFlatTitlebar::*field, void (TFlatTitlebar::*set)(TColor)) {
        PublishInteger(
            name, [this, field] { return static_cast<int32_t>(this->*field); },
            [this, set](int32_t v) { (this->*set)(static_cast<TColor>(v)); });
    };
    colorProp("ActiveTextColor", &TFlatTitlebar::FActiveTextColor, &TFlatTitlebar::SetActiveTextColor);
    colorProp("InactiveTextColor", &TFlatTitlebar::FInactiveTextColor, &TFlatTitlebar::SetInactiveTextColor);
    colorProp("TitlebarColor", &TFlatTitlebar::FTitlebarColor, &TFlatTitlebar::SetTitlebarColor);
}

TFlatTitlebar::~TFlatTitlebar()
{
    // The form may outlive the bar: its messages must not reach a bar that is gone.
    if (TForm* form = WatchedForm())
        form->RemoveMessageHooks(this);
}

TForm* TFlatTitlebar::WatchedForm() const { return dynamic_cast<TForm*>(Parent()); }

void TFlatTitlebar::SetActiveTextColor(TColor value)
{
    if (value == FActiveTextColor)
        return;
    FActiveTextColor = value;
    Invalidate();
}

void TFlatTitlebar::SetInactiveTextColor(TColor value)
{
    if (value == FInactiveTextColor)
        return;
    FInactiveTextColor = value;
    Invalidate();
}

void TFlatTitlebar::SetTitlebarColor(TColor value)
{
    if (value == FTitlebarColor)
        return;
    FTitlebarColor = value;
    Invalidate();
}

void TFlatTitlebar::SetParent(TWinControl* parent)
{
    if (parent == Parent())
        return;
    TForm* form = dynamic_cast<TForm*>(parent);
    if (parent && !form)
        throw EInvalidOperation("TFlatTitlebar can only be placed on a descndant of a TCustomForm");
    if (TForm* old = WatchedForm())
        old->RemoveMessageHooks(this);
    // A drag belongs to the window it started on.
    FDragging = false;
    TCustomControl::SetParent(parent);
    if (form)
        form->AddMessageHook(this, [this](TMessage& msg) { FormMessage(msg); });
}

void TFlatTitlebar::FormMessage(const TMessage& msg)
{
    if (msg.Msg == Msg::Activate) {
        switch (msg.WParam & 0xFFFF) {
        case ActivateState::Inactive:
            FActive = false;
            Invalidate();
            if (OnDeactivate)
                OnDeactivate(this);
            break;
        case ActivateState::Active:
        case ActivateState::ClickActive:
            FActive = true;
            Invalidate();
            if (OnActivate)
                OnActivate(this);
            break;
        default:
            break;
        }
    } else if (msg.Msg == Msg::CaptureChanged) {
        // The mouse was taken from the window (a menu, another program): the
        // button release that would end the drag never comes here, and the
        // window must not follow a mouse whose button is up.
        const TForm* form = WatchedForm();
        if (!form || static_cast<uintptr_t>(msg.LParam) != form->Handle())
            FDragging = false;
    }
}

void TFlatTitlebar::Paint(TCanvas& canvas)
{
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = FTitlebarColor;
    canvas.FillRect(ClientRect());
    if (Caption().empty())
        return;
    canvas.Font = Font();
    canvas.Font.SetColor(FActive ? FActiveTextColor : FInactiveTextColor);
    const TSize extent = canvas.TextExtent(Caption());
    canvas.TextOutAt(Width() / 2 - extent.cx / 2, Height() / 2 - extent.cy / 2, Caption());
}

void TFlatTitlebar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    FDragOrigin = {x, y};
    if (button == TMouseButton::mbLeft && !FDragging)
        FDragging = true;
    TCustomControl::MouseDown(button, shift, x, y);
}

void TFlatTitlebar::MouseMove(TShiftState shift, int x, int y)
{
    if (FDragging)
        if (TForm* form = ParentForm()) {
            // The bar moves with its form, so the grabbed point stays under the mouse.
            form->SetBounds(form->Left() + (x - FDragOrigin.X), form->Top() + (y - FDragOrigin.Y), form->Width(),
                            form->Height());
        }
    TCustomControl::MouseMove(shift, x, y);
}

void TFlatTitlebar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    FDragging = false;
    TCustomControl::MouseUp(button, shift, x, y);
}
