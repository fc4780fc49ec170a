#include "ui/ScrollBar.h"

#include <algorithm>

#include "ui/Forms.h"

namespace {

// A thumb is never shorter than this, and needs a track as long.
constexpr int kMinThumb = 8;

void DrawArrow(TCanvas& canvas, const TRect& r, bool up, bool enabled)
{
    const int cx = (r.Left + r.Right - 1) / 2;
    const int cy = (r.Top + r.Bottom - 1) / 2;
    const int tip = up ? cy - 2 : cy + 2;
    const int base = up ? cy + 1 : cy - 1;
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = enabled ? clBlack : clGray;
    canvas.PenColor = canvas.BrushColor;
    canvas.PenWidth = 1;
    canvas.Polygon({{cx, tip}, {cx - 3, base}, {cx + 3, base}});
}

} // namespace

void DrawRaised(TCanvas& canvas, const TRect& r)
{
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = clBtnFace;
    canvas.FillRect(r);
    if (r.Width() < 3 || r.Height() < 3)
        return;
    canvas.BrushColor = clWhite;
    canvas.FillRect({r.Left, r.Top, r.Right - 1, r.Top + 1});
    canvas.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom - 1});
    canvas.BrushColor = clGray;
    canvas.FillRect({r.Left + 1, r.Bottom - 2, r.Right - 1, r.Bottom - 1});
    canvas.FillRect({r.Right - 2, r.Top + 1, r.Right - 1, r.Bottom - 1});
    canvas.BrushColor = clBlack;
    canvas.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    canvas.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
}

TScrollBar::TScrollBar(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, kDefaultWidth, 0); }

void TScrollBar::SetRange(int max, int pageSize)
{
    max = std::max(max, 0);
    pageSize = std::max(pageSize, 1);
    if (max == FMax && pageSize == FPageSize)
        return;
    FMax = max;
    FPageSize = pageSize;
    FPosition = std::min(FPosition, FMax);
    Invalidate();
}

void TScrollBar::SetPosition(int position)
{
    position = std::clamp(position, 0, FMax);
    if (position == FPosition)
        return;
    FPosition = position;
    Invalidate();
}

void TScrollBar::ScrollTo(int position)
{
    const int before = FPosition;
    SetPosition(position);
    if (FPosition != before && OnScroll)
        OnScroll(this);
}

TRect TScrollBar::ThumbRect() const
{
    const int trackLength = TrackLength();
    const int64_t total = static_cast<int64_t>(FMax) + FPageSize;
    if (trackLength < kMinThumb)
        return {};
    const int length =
        std::clamp(static_cast<int>(static_cast<int64_t>(trackLength) * FPageSize / total), kMinThumb, trackLength);
    const int top = ArrowHeight() +
                    (FMax > 0 ? static_cast<int>(static_cast<int64_t>(FPosition) * (trackLength - length) / FMax) : 0);
    return {0, top, Width(), top + length};
}

void TScrollBar::Paint(TCanvas& canvas)
{
    const TRect up{0, 0, Width(), ArrowHeight()};
    const TRect down{0, Height() - ArrowHeight(), Width(), Height()};
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = kTrackColor;
    canvas.FillRect({0, up.Bottom, Width(), down.Top});
    DrawRaised(canvas, up);
    DrawArrow(canvas, up, true, FPosition > 0);
    DrawRaised(canvas, down);
    DrawArrow(canvas, down, false, FPosition < FMax);
    const TRect thumb = ThumbRect();
    if (!thumb.IsEmpty())
        DrawRaised(canvas, thumb);
}

TScrollBar::TPart TScrollBar::PartAt(int x, int y) const
{
    if (!Visible() || x < 0 || x >= Width() || y < 0 || y >= Height())
        return TPart::None;
    if (y < ArrowHeight())
        return TPart::LineUp;
    if (y >= Height() - ArrowHeight())
        return TPart::LineDown;
    const TRect thumb = ThumbRect();
    if (thumb.IsEmpty())
        return TPart::None;
    if (y < thumb.Top)
        return TPart::PageUp;
    if (y >= thumb.Bottom)
        return TPart::PageDown;
    return TPart::Thumb;
}

void TScrollBar::Step(TPart part)
{
    switch (part) {
    case TPart::LineUp:
        ScrollTo(FPosition - 1);
        break;
    case TPart::LineDown:
        ScrollTo(FPosition + 1);
        break;
    case TPart::PageUp:
        ScrollTo(FPosition - FPageSize);
        break;
    case TPart::PageDown:
        ScrollTo(FPosition + FPageSize);
        break;
    default:
        break;
    }
}

bool TScrollBar::FocusScrolled()
{
    TWinControl* scrolled = Parent();
    TForm* form = ParentForm();
    if (!scrolled || !form || !scrolled->TabStop() || !scrolled->CanFocus())
        return true;
    form->SetActiveControl(scrolled);
    return form->ActiveControl() == scrolled;
}

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    // Only the press that begins a hold moves the focus, as the form does for
    // a control that takes keys.
    if (button == TMouseButton::mbLeft && !(shift & (ssRight | ssMiddle)) && !FocusScrolled())
        return;
    if (button == TMouseButton::mbLeft) {
        const TPart part = PartAt(x, y);
        if (part == TPart::Thumb) {
            FPress = part;
            FThumbGrab = y - ThumbRect().Top;
        } else if (part != TPart::None) {
            // Held, the arrows and the track go on scrolling, the track until
            // the thumb reaches the mouse.
            FPress = part;
            FMouse = {x, y};
            Step(part);
            if (!FRepeatTimer) {
                FRepeatTimer = new TTimer(this);
                FRepeatTimer->OnTimer = [this](TObject*) {
                    FRepeatTimer->SetInterval(kRepeat);
                    if (PartAt(FMouse.X, FMouse.Y) == FPress)
                        Step(FPress);
                };
            }
            FRepeatTimer->SetInterval(kFirstRepeat);
            FRepeatTimer->SetEnabled(true);
        }
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y)
{
    if (FPress == TPart::Thumb) {
        const int travel = TrackLength() - ThumbRect().Height();
        if (travel > 0 && FMax > 0) {
            const int offset = std::clamp(y - FThumbGrab - ArrowHeight(), 0, travel);
            ScrollTo(static_cast<int>((static_cast<int64_t>(offset) * FMax + travel / 2) / travel));
        }
    } else if (FPress != TPart::None) {
        FMouse = {x, y};
    }
    TGraphicControl::MouseMove(shift, x, y);
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == TMouseButton::mbLeft) {
        FPress = TPart::None;
        if (FRepeatTimer)
            FRepeatTimer->SetEnabled(false);
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}
