#pragma once
// TCanvas on a GDI device context.

#include <windows.h>

#include <map>
#include <tuple>

#include "ui/Graphics.h"
#include "ui/win32/GdiObjects.h"

// The system's RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);

// A font handle made from a TFont; empty when the system cannot make it.
TFontHandle CreateGdiFont(const TFont& font);

class TWin32Canvas : public TCanvas {
public:
    // Draws on dc, which it does not own; the DC's state, objects included, is
    // put back when the canvas goes, before the canvas deletes its own objects.
    explicit TWin32Canvas(HDC dc);
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
    TRect FAppliedClip{0, 0, 0, 0};
    bool FClipApplied = false;
    std::map<TColor, TBrushHandle> FBrushes;
    std::map<std::pair<TColor, int>, TPenHandle> FPens;
    std::map<std::tuple<std::string, int, uint8_t>, TFontHandle> FFonts;
    // Last, so that it goes first: our objects leave the DC before they are deleted.
    TSavedDC FSaved;
};
