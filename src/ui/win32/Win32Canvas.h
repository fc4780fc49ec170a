#pragma once
// TCanvas on a GDI device context.

#include <windows.h>

#include <map>
#include <tuple>

#include "ui/Graphics.h"

// The system's RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);

// Owns one font handle made from a TFont.
class TGdiFont {
public:
    explicit TGdiFont(const TFont& font);
    ~TGdiFont() { DeleteObject(FHandle); }
    TGdiFont(const TGdiFont&) = delete;
    TGdiFont& operator=(const TGdiFont&) = delete;
    HFONT Handle() const { return FHandle; }

private:
    HFONT FHandle;
};

class TWin32Canvas : public TCanvas {
public:
    // Draws on dc, which it does not own; every object it selects is put back
    // when it goes.
    explicit TWin32Canvas(HDC dc);
    ~TWin32Canvas() override;
    TWin32Canvas(const TWin32Canvas&) = delete;
    TWin32Canvas& operator=(const TWin32Canvas&) = delete;

    void FillRect(const TRect& rect) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Line(TPoint from, TPoint to) override;
    void TextOutAt(int x, int y, const std::string& text) override;
    TSize TextExtent(const std::string& text) override;
    void DrawTransparent(int x, int y, const TBitmap& bitmap) override;

private:
    // Selects the clip, font, brush and pen the next call needs.
    void PrepareClip();
    void SelectFont();
    HBRUSH Brush(TColor color);
    HPEN Pen(TColor color, int width);

    HDC FDC;
    int FSavedState;
    TRect FAppliedClip{0, 0, 0, 0};
    bool FClipApplied = false;
    std::map<TColor, HBRUSH> FBrushes;
    std::map<std::pair<TColor, int>, HPEN> FPens;
    std::map<std::tuple<std::string, int, uint8_t>, TGdiFont*> FFonts;
};
