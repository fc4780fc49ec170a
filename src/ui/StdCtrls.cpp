#include "ui/StdCtrls.h"

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {}

void TLabel::SetAlignment(TAlignment alignment)
{
    if (alignment != FAlignment) {
        FAlignment = alignment;
        Invalidate();
    }
}

void TLabel::SetTransparent(bool transparent)
{
    if (transparent != FTransparent) {
        FTransparent = transparent;
        Invalidate();
    }
}

void TLabel::Paint(TCanvas& canvas)
{
    if (!FTransparent) {
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = Color();
        canvas.FillRect(ClientRect());
    }
    if (Caption().empty())
        return;
    canvas.Font = Font();
    canvas.BrushStyle = TBrushStyle::Clear;
    const TSize size = canvas.TextExtent(Caption());
    int x = 0;
    if (FAlignment == TAlignment::taCenter)
        x = (Width() - size.cx) / 2;
    else if (FAlignment == TAlignment::taRightJustify)
        x = Width() - size.cx;
    canvas.TextOutAt(x, 0, Caption());
    canvas.BrushStyle = TBrushStyle::Solid;
}

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {}

void TPanel::Paint(TCanvas& canvas)
{
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.BrushColor = Color();
    canvas.FillRect(ClientRect());
}

void TImage::SetPicture(const TBitmap& picture)
{
    FPicture = picture;
    Invalidate();
}

void TImage::SetTransparent(bool transparent)
{
    if (transparent != FTransparent) {
        FTransparent = transparent;
        Invalidate();
    }
}

void TImage::Paint(TCanvas& canvas)
{
    if (FPicture.Empty())
        return;
    if (FTransparent) {
        canvas.DrawTransparent(0, 0, FPicture);
        return;
    }
    canvas.BrushStyle = TBrushStyle::Solid;
    for (int y = 0; y < FPicture.Height(); ++y)
        for (int x = 0; x < FPicture.Width(); ++x) {
            canvas.BrushColor = FPicture.Pixel(x, y);
            canvas.FillRect({x, y, x + 1, y + 1});
        }
}
