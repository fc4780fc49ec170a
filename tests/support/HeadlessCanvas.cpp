#include "tests/support/HeadlessCanvas.h"

#include <cstdlib>

TCanvasCall THeadlessCanvas::Record(TCanvasCall::TKind kind) const
{
    return {kind, {}, {}, {}, BrushColor, BrushStyle, PenColor, PenWidth, Font, Origin, Clip};
}

void THeadlessCanvas::FillRect(const TRect& rect)
{
    TCanvasCall call = Record(TCanvasCall::FillRect);
    call.Rect = rect;
    Calls.push_back(call);
}

void THeadlessCanvas::Polygon(const std::vector<TPoint>& points)
{
    TCanvasCall call = Record(TCanvasCall::Polygon);
    call.Points = points;
    Calls.push_back(call);
}

void THeadlessCanvas::Line(TPoint from, TPoint to)
{
    TCanvasCall call = Record(TCanvasCall::Line);
    call.Points = {from, to};
    Calls.push_back(call);
}

void THeadlessCanvas::TextOutAt(int x, int y, const std::string& text)
{
    TCanvasCall call = Record(TCanvasCall::TextOut);
    const TSize size = Measure(Font, text);
    call.Rect = {x, y, x + size.cx, y + size.cy};
    call.Points = {{x, y}};
    call.Text = text;
    Calls.push_back(call);
}

void THeadlessCanvas::DrawTransparent(int x, int y, const TBitmap& bitmap)
{
    TCanvasCall call = Record(TCanvasCall::Bitmap);
    call.Rect = {x, y, x + bitmap.Width(), y + bitmap.Height()};
    call.Points = {{x, y}};
    Calls.push_back(call);
}

TSize THeadlessCanvas::Measure(const TFont& font, const std::string& text)
{
    const int height = std::abs(font.Height());
    const int width = height / 2 > 0 ? height / 2 : 1;
    return {static_cast<int>(text.size()) * width, height};
}
