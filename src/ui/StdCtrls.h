#pragma once
// The plain controls the windows are built of: a text label, a panel that
// holds other controls, and a picture with a transparent colour.

#include "ui/Controls.h"

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One line of text on the label's colour (or on what lies below it when
// transparent), aligned horizontally, at the top. "&" is shown as it is.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);

    void Paint(TCanvas& canvas) override;

private:
    TAlignment FAlignment = TAlignment::taLeftJustify;
    bool FTransparent = false;
};

// A flat area in its colour that holds other controls; no bevel.
class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* AOwner);
    void Paint(TCanvas& canvas) override;
};

// A bitmap at the control's top-left corner; when transparent, the pixels of
// the bitmap's bottom-left colour are left out.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner) : TGraphicControl(AOwner) {}

    const TBitmap& Picture() const { return FPicture; }
    void SetPicture(const TBitmap& picture);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);

    void Paint(TCanvas& canvas) override;

private:
    TBitmap FPicture;
    bool FTransparent = false;
};
