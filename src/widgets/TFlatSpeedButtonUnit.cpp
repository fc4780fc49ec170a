#include "widgets/TFlatSpeedButtonUnit.h"

TFlatSpeedButton::TFlatSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetBounds(Left(), Top(), 25, 25);
    Font().OnChange = [this] {
        FParentFont = false;
        Invalidate();
    };
    auto colorProp = [this](const char* name, TColor (TFlatSpeedButton::*get)() const,
                            void (TFlatSpeedButton::*set)(TColor)) {
        PublishInteger(
            name, [this, get] { return static_cast<int32_t>((this->*get)()); },
            [this, set](int32_t v) { (this->*set)(static_cast<TColor>(v)); });
    };
    colorProp("Color", &TFlatSpeedButton::Color, &TFlatSpeedButton::SetColor);
    colorProp("ColorFocused", &TFlatSpeedButton::ColorFocused, &TFlatSpeedButton::SetColorFocused);
    colorProp("ColorDown", &TFlatSpeedButton::ColorDown, &TFlatSpeedButton::SetColorDown);
    colorProp("ColorBorder", &TFlatSpeedButton::ColorBorder, &TFlatSpeedButton::SetColorBorder);
    colorProp("ColorHighLight", &TFlatSpeedButton::ColorHighLight, &TFlatSpeedButton::SetColorHighLight);
    colorProp("ColorShadow", &TFlatSpeedButton::ColorShadow, &TFlatSpeedButton::SetColorShadow);
}

void TFlatSpeedButton::SetColorField(TColor& field, TColor value)
{
    if (value == field)
        return;
    field = value;
    Invalidate();
}

void TFlatSpeedButton::SetFlag(bool& flag, bool value)
{
    if (value == flag)
        return;
    flag = value;
    Invalidate();
}

void TFlatSpeedButton::SetGlyph(const TBitmap& glyph)
{
    FGlyph = glyph;
    Invalidate();
}

void TFlatSpeedButton::SetParentFont(bool value) { SetFlag(FParentFont, value); }

TFlatSpeedButton::TState TFlatSpeedButton::State() const
{
    if (!Enabled())
        return TState::Disabled;
    if (FTracking && FPressedIn)
        return TState::Down;
    if (FMouseInControl)
        return TState::MouseOver;
    return TState::Up;
}

void TFlatSpeedButton::StateColors(TColor& face, TColor& topLeft, TColor& bottomRight) const
{
    face = Color();
    topLeft = FColorBorder;
    bottomRight = FColorBorder;
    switch (State()) {
    case TState::MouseOver:
        face = FColorFocused;
        topLeft = FColorHighLight;
        bottomRight = FColorShadow;
        break;
    case TState::Down:
        face = FColorDown;
        topLeft = FColorShadow;
        bottomRight = FColorHighLight;
        break;
    case TState::Up:
    case TState::Disabled:
        break;
    }
}

void TFlatSpeedButton::Paint(TCanvas& canvas)
{
    TColor face;
    TColor topLeft;
    TColor bottomRight;
    StateColors(face, topLeft, bottomRight);
    const int w = Width();
    const int h = Height();
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = face;
    canvas.FillRect(ClientRect());
    // Lines leave out their last point: the bottom-right colour owns both far
    // corners, as a raised frame is drawn.
    canvas.PenWidth = 1;
    canvas.PenColor = topLeft;
    canvas.Line({0, 0}, {w - 1, 0});
    canvas.Line({0, 0}, {0, h - 1});
    canvas.PenColor = bottomRight;
    canvas.Line({0, h - 1}, {w, h - 1});
    canvas.Line({w - 1, 0}, {w - 1, h - 1});

    if (!FGlyph.Empty()) {
        canvas.DrawTransparent((w - FGlyph.Width()) / 2, (h - FGlyph.Height()) / 2, FGlyph);
    } else if (!Caption().empty()) {
        canvas.Font = FParentFont && Parent() ? Parent()->Font() : Font();
        canvas.BrushStyle = TBrushStyle::Clear;
        const TSize extent = canvas.TextExtent(Caption());
        canvas.TextOutAt((w - extent.cx) / 2, (h - extent.cy) / 2, Caption());
    }
}

void TFlatSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == TMouseButton::mbLeft && Enabled()) {
        FTracking = true;
        FPressedIn = ClientRect().Contains({x, y});
        Invalidate();
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TFlatSpeedButton::MouseMove(TShiftState shift, int x, int y)
{
    // Held and dragged off, the button pops out; back over it, in again.
    if (FTracking)
        SetFlag(FPressedIn, ClientRect().Contains({x, y}));
    TGraphicControl::MouseMove(shift, x, y);
}

void TFlatSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == TMouseButton::mbLeft && FTracking) {
        FTracking = false;
        FPressedIn = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}

void TFlatSpeedButton::Click()
{
    // Disabled while held: the release does nothing.
    if (Enabled())
        TGraphicControl::Click();
}

void TFlatSpeedButton::MouseEnter() { SetFlag(FMouseInControl, true); }

void TFlatSpeedButton::MouseLeave() { SetFlag(FMouseInControl, false); }

void TFlatSpeedButton::SetEnabled(bool enabled)
{
    if (!enabled) {
        FTracking = false;
        FPressedIn = false;
    }
    TGraphicControl::SetEnabled(enabled);
}

TBitmap MinimizeGlyph()
{
    TBitmap glyph(14, 14, clWhite);
    for (int y = 10; y < 12; ++y)
        for (int x = 2; x < 12; ++x)
            glyph.SetPixel(x, y, clBlack);
    return glyph;
}
