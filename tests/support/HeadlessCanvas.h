#pragma once
// A canvas that records what is painted on it, for tests.

#include <string>
#include <vector>

#include "ui/Graphics.h"

struct TCanvasCall {
    enum TKind { FillRect, Polygon, Line, TextOut, Bitmap };
    TKind Kind;
    TRect Rect;                 // FillRect; TextOut and Bitmap: the box drawn
    std::vector<TPoint> Points; // Polygon; Line: from, to; Text and Bitmap: where
    std::string Text;
    TColor BrushColor;
    TBrushStyle BrushStyle;
    TColor PenColor;
    int PenWidth;
    TFont Font;
    TPoint Origin;              // the painted control's place on the surface
    TRect Clip;
};

// Text is measured as a fixed-pitch font: each character is half the font's
// height wide (at least one pixel), a line is the height tall.
class THeadlessCanvas : public TCanvas {
public:
    void FillRect(const TRect& rect) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Line(TPoint from, TPoint to) override;
    void TextOutAt(int x, int y, const std::string& text) override;
    TSize TextExtent(const std::string& text) override { return Measure(Font, text); }
    void DrawTransparent(int x, int y, const TBitmap& bitmap) override;

    static TSize Measure(const TFont& font, const std::string& text);

    std::vector<TCanvasCall> Calls;

private:
    TCanvasCall Record(TCanvasCall::TKind kind) const;
};
