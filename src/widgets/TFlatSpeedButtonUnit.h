#pragma once
// A flat button: a face with a one-pixel frame that lights up under the mouse
// and looks pressed in while held; a caption or a glyph in its middle.

#include "ui/Controls.h"

class TFlatSpeedButton : public TGraphicControl {
public:
    enum class TState { Up, MouseOver, Down, Disabled };

    explicit TFlatSpeedButton(TComponent* AOwner);

    TColor ColorFocused() const { return FColorFocused; }
    void SetColorFocused(TColor value) { SetColorField(FColorFocused, value); }
    TColor ColorDown() const { return FColorDown; }
    void SetColorDown(TColor value) { SetColorField(FColorDown, value); }
    TColor ColorBorder() const { return FColorBorder; }
    void SetColorBorder(TColor value) { SetColorField(FColorBorder, value); }
    TColor ColorHighLight() const { return FColorHighLight; }
    void SetColorHighLight(TColor value) { SetColorField(FColorHighLight, value); }
    TColor ColorShadow() const { return FColorShadow; }
    void SetColorShadow(TColor value) { SetColorField(FColorShadow, value); }

    // Drawn centred instead of the caption; its bottom-left pixel's colour is
    // left out.
    const TBitmap& Glyph() const { return FGlyph; }
    void SetGlyph(const TBitmap& glyph);

    // While true the button paints in its parent's font; changing the
    // button's own font makes it false.
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);

    TState State() const;

    void Paint(TCanvas& canvas) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void Click() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void SetEnabled(bool enabled) override;

protected:
    // The face and the frame's colours of the state the button is in.
    void StateColors(TColor& face, TColor& topLeft, TColor& bottomRight) const;

private:
    void SetColorField(TColor& field, TColor value);
    void SetFlag(bool& flag, bool value);

    TColor FColorFocused = clGray;
    TColor FColorDown = clSilver;
    TColor FColorBorder = clGray;
    TColor FColorHighLight = clWhite;
    TColor FColorShadow = clBlack;
    TBitmap FGlyph;
    bool FParentFont = true;
    bool FMouseInControl = false;
    // The left button went down on the button and is still held.
    bool FTracking = false;
    // While tracking: the mouse is over the button, so releasing clicks.
    bool FPressedIn = false;
};

// The minimise glyph of the main window's title bar: a black bar 10 pixels
// wide and 2 high near the bottom edge of a 14 x 14 white square.
TBitmap MinimizeGlyph();
