#include "ui/Controls.h"

#include <algorithm>

TControl::TControl(TComponent* AOwner) : TComponent(AOwner)
{
    FFont.OnChange = [this] { Invalidate(); };
    PublishString("Caption", [this] { return FCaption; }, [this](const std::string& v) { SetCaption(v); });
    PublishString("Hint", [this] { return FHint; }, [this](const std::string& v) { SetHint(v); });
    PublishInteger("Left", [this] { return FLeft; }, [this](int32_t v) { SetLeft(v); });
    PublishInteger("Top", [this] { return FTop; }, [this](int32_t v) { SetTop(v); });
    PublishInteger("Width", [this] { return FWidth; }, [this](int32_t v) { SetWidth(v); });
    PublishInteger("Height", [this] { return FHeight; }, [this](int32_t v) { SetHeight(v); });
}

TControl::~TControl()
{
    if (FParent) {
        FParent->ForgetControl(this);
        Invalidate();
        auto& siblings = FParent->FControls;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
        std::erase(FParent->FTabList, this);
    }
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == FParent)
        return;
    if (FParent) {
        Invalidate();
        FParent->ForgetControl(this);
        auto& siblings = FParent->FControls;
        siblings.erase(std::find(siblings.begin(), siblings.end(), this));
        std::erase(FParent->FTabList, this);
    }
    FParent = parent;
    if (FParent) {
        FParent->FControls.push_back(this);
        FParent->FTabList.push_back(this);
        Invalidate();
    }
}

int TControl::TabOrder() const
{
    if (!FParent)
        return -1;
    const auto& list = FParent->FTabList;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TControl::SetTabOrder(int order)
{
    if (!FParent)
        return;
    auto& list = FParent->FTabList;
    std::erase(list, this);
    order = std::clamp(order, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + order, this);
}

bool TControl::CanFocus() const
{
    for (const TControl* control = this; control; control = control->FParent)
        if (!control->FVisible || !control->FEnabled)
            return false;
    return ParentForm() != nullptr;
}

bool TControl::Focused() const { return FParent && FParent->FocusedControl() == this; }

TForm* TControl::ParentForm() const { return FParent ? FParent->ParentForm() : nullptr; }

TPoint TControl::FormOffset() const
{
    TPoint parent = FParent ? FParent->FormOffset() : TPoint{};
    return {parent.X + FLeft, parent.Y + FTop};
}

TPoint TControl::ClientToScreen(TPoint point) const
{
    const TPoint inParent{point.X + FLeft, point.Y + FTop};
    return FParent ? FParent->ClientToScreen(inParent) : inParent;
}

TPoint TControl::ScreenToClient(TPoint point) const
{
    TPoint origin = ClientToScreen({0, 0});
    return {point.X - origin.X, point.Y - origin.Y};
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight)
        return;
    Invalidate();
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    Invalidate();
}

void TControl::SetVisible(bool visible)
{
    if (visible == FVisible)
        return;
    FVisible = visible;
    Invalidate();
}

bool TControl::Showing() const
{
    for (const TControl* control = this; control; control = control->FParent)
        if (!control->FVisible)
            return false;
    return true;
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == FEnabled)
        return;
    FEnabled = enabled;
    Invalidate();
}

void TControl::SetCaption(const std::string& caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    CaptionChanged();
}

void TControl::SetColor(TColor color)
{
    if (color == FColor)
        return;
    FColor = color;
    Invalidate();
}

void TControl::Invalidate() { InvalidateArea(ClientRect()); }

void TControl::InvalidateArea(const TRect& area)
{
    if (FParent)
        FParent->InvalidateArea(area.Offset(FLeft, FTop));
}

void TControl::Paint(TCanvas&) {}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

TWinControl::~TWinControl()
{
    // Children owned elsewhere outlive their parent: they are left without one,
    // and the form no longer routes the mouse to them.
    for (TControl* control : FControls) {
        ForgetControl(control);
        control->FParent = nullptr;
    }
    FTabList.clear();
}

void TWinControl::GetTabStops(std::vector<TControl*>& stops) const
{
    for (TControl* control : FTabList) {
        if (!control->Visible() || !control->Enabled())
            continue;
        if (control->TabStop())
            stops.push_back(control);
        if (auto* container = dynamic_cast<TWinControl*>(control))
            container->GetTabStops(stops);
    }
}

void TWinControl::ForgetControl(TControl* control)
{
    if (FParent)
        FParent->ForgetControl(control);
}

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled) const
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* control = *it;
        if (control->Visible() && (allowDisabled || control->Enabled()) && control->BoundsRect().Contains(point))
            return control;
    }
    return nullptr;
}

namespace {

void PaintTree(TControl& control, TCanvas& canvas, TPoint origin, const TRect& clip)
{
    const TRect bounds{origin.X, origin.Y, origin.X + control.Width(), origin.Y + control.Height()};
    const TRect visible = bounds.Intersect(clip);
    if (visible.IsEmpty())
        return;
    // Every control starts from the same canvas state.
    canvas.Origin = origin;
    canvas.Clip = visible;
    canvas.BrushColor = clWhite;
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.PenColor = clBlack;
    canvas.PenWidth = 1;
    canvas.Font = TFont();
    control.Paint(canvas);
    if (auto* parent = dynamic_cast<TWinControl*>(&control))
        for (int i = 0; i < parent->ControlCount(); ++i) {
            TControl& child = *parent->Controls(i);
            if (child.Visible())
                PaintTree(child, canvas, {origin.X + child.Left(), origin.Y + child.Top()}, visible);
        }
}

} // namespace

void TWinControl::PaintControls(TCanvas& canvas)
{
    const TRect clip = canvas.Clip;
    PaintTree(*this, canvas, canvas.Origin, clip);
}

bool IsInside(const TControl* control, const TControl* container)
{
    for (; control; control = control->Parent())
        if (control == container)
            return true;
    return false;
}
