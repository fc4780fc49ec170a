#include "widgets/TFlatButtonUnit.h"

#include "ui/Keys.h"

TFlatButton::TFlatButton(TComponent* AOwner) : TFlatSpeedButton(AOwner) { SetTabStop(true); }

void TFlatButton::SetDefault(bool value)
{
    if (value == FDefault)
        return;
    FDefault = value;
    Invalidate();
}

void TFlatButton::Paint(TCanvas& canvas)
{
    TFlatSpeedButton::Paint(canvas);
    const int w = Width();
    const int h = Height();
    if (FDefault) {
        // The second pixel of the frame, in the frame's colours.
        TColor face;
        TColor topLeft;
        TColor bottomRight;
        StateColors(face, topLeft, bottomRight);
        canvas.PenWidth = 1;
        canvas.PenColor = topLeft;
        canvas.Line({1, 1}, {w - 2, 1});
        canvas.Line({1, 1}, {1, h - 2});
        canvas.PenColor = bottomRight;
        canvas.Line({1, h - 2}, {w - 1, h - 2});
        canvas.Line({w - 2, 1}, {w - 2, h - 2});
    }
    if (Focused()) {
        // A dotted frame inside the border, every other pixel.
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = clBlack;
        const int inset = 3;
        for (int x = inset; x < w - inset; x += 2) {
            canvas.FillRect({x, inset, x + 1, inset + 1});
            canvas.FillRect({x, h - inset - 1, x + 1, h - inset});
        }
        for (int y = inset + 2; y < h - inset - 1; y += 2) {
            canvas.FillRect({inset, y, inset + 1, y + 1});
            canvas.FillRect({w - inset - 1, y, w - inset, y + 1});
        }
    }
}

void TFlatButton::KeyDown(uint16_t& key, TShiftState shift)
{
    if ((key == Vk::Return || key == Vk::Space) && !(shift & (ssCtrl | ssAlt)) && Enabled()) {
        key = 0;
        Click();
    }
}
