#include "ui/win32/Win32Canvas.h"

#include "base/win32/ComUtil.h"

COLORREF ColorToRGB(TColor color)
{
    if (color & clSystemColor)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

TGdiFont::TGdiFont(const TFont& font)
{
    FHandle = CreateFontW(font.Height(), 0, 0, 0, (font.Style() & fsBold) ? FW_BOLD : FW_NORMAL,
                          (font.Style() & fsItalic) ? TRUE : FALSE, (font.Style() & fsUnderline) ? TRUE : FALSE,
                          FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, AnsiToWide(font.Name()).c_str());
}

TWin32Canvas::TWin32Canvas(HDC dc) : FDC(dc), FSavedState(SaveDC(dc)) {}

TWin32Canvas::~TWin32Canvas()
{
    // The saved state puts the original objects back before ours are deleted.
    RestoreDC(FDC, FSavedState);
    for (auto& [color, brush] : FBrushes)
        DeleteObject(brush);
    for (auto& [key, pen] : FPens)
        DeleteObject(pen);
    for (auto& [key, font] : FFonts)
        delete font;
}

HBRUSH TWin32Canvas::Brush(TColor color)
{
    HBRUSH& brush = FBrushes[color];
    if (!brush)
        brush = CreateSolidBrush(ColorToRGB(color));
    return brush;
}

HPEN TWin32Canvas::Pen(TColor color, int width)
{
    HPEN& pen = FPens[{color, width}];
    if (!pen)
        pen = CreatePen(PS_SOLID, width, ColorToRGB(color));
    return pen;
}

void TWin32Canvas::PrepareClip()
{
    if (FClipApplied && FAppliedClip == Clip)
        return;
    HRGN region = CreateRectRgn(Clip.Left, Clip.Top, Clip.Right, Clip.Bottom);
    SelectClipRgn(FDC, region);
    DeleteObject(region);
    FAppliedClip = Clip;
    FClipApplied = true;
}

void TWin32Canvas::SelectFont()
{
    auto key = std::make_tuple(Font.Name(), Font.Height(), Font.Style());
    TGdiFont*& font = FFonts[key];
    if (!font)
        font = new TGdiFont(Font);
    SelectObject(FDC, font->Handle());
}

void TWin32Canvas::FillRect(const TRect& rect)
{
    if (BrushStyle == TBrushStyle::Clear)
        return;
    PrepareClip();
    RECT r{rect.Left + Origin.X, rect.Top + Origin.Y, rect.Right + Origin.X, rect.Bottom + Origin.Y};
    ::FillRect(FDC, &r, Brush(BrushColor));
}

void TWin32Canvas::Polygon(const std::vector<TPoint>& points)
{
    if (points.empty())
        return;
    PrepareClip();
    std::vector<POINT> shifted;
    shifted.reserve(points.size());
    for (const TPoint& p : points)
        shifted.push_back({p.X + Origin.X, p.Y + Origin.Y});
    SelectObject(FDC, BrushStyle == TBrushStyle::Clear ? GetStockObject(NULL_BRUSH) : Brush(BrushColor));
    SelectObject(FDC, Pen(PenColor, PenWidth));
    ::Polygon(FDC, shifted.data(), static_cast<int>(shifted.size()));
}

void TWin32Canvas::Line(TPoint from, TPoint to)
{
    PrepareClip();
    SelectObject(FDC, Pen(PenColor, PenWidth));
    MoveToEx(FDC, from.X + Origin.X, from.Y + Origin.Y, nullptr);
    LineTo(FDC, to.X + Origin.X, to.Y + Origin.Y);
}

void TWin32Canvas::TextOutAt(int x, int y, const std::string& text)
{
    PrepareClip();
    SelectFont();
    SetTextColor(FDC, ColorToRGB(Font.Color()));
    if (BrushStyle == TBrushStyle::Clear) {
        SetBkMode(FDC, TRANSPARENT);
    } else {
        SetBkMode(FDC, OPAQUE);
        SetBkColor(FDC, ColorToRGB(BrushColor));
    }
    const std::wstring wide = AnsiToWide(text);
    ::TextOutW(FDC, x + Origin.X, y + Origin.Y, wide.c_str(), static_cast<int>(wide.size()));
}

TSize TWin32Canvas::TextExtent(const std::string& text)
{
    SelectFont();
    const std::wstring wide = AnsiToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(FDC, wide.c_str(), static_cast<int>(wide.size()), &size);
    return {size.cx, size.cy};
}

void TWin32Canvas::DrawTransparent(int x, int y, const TBitmap& bitmap)
{
    PrepareClip();
    const TColor transparent = bitmap.TransparentColor();
    // Glyphs are a few pixels; one fill per run of equal pixels is enough.
    for (int row = 0; row < bitmap.Height(); ++row)
        for (int column = 0; column < bitmap.Width();) {
            const TColor color = bitmap.Pixel(column, row);
            int end = column + 1;
            while (end < bitmap.Width() && bitmap.Pixel(end, row) == color)
                ++end;
            if (color != transparent) {
                RECT r{x + column + Origin.X, y + row + Origin.Y, x + end + Origin.X, y + row + 1 + Origin.Y};
                ::FillRect(FDC, &r, Brush(color));
            }
            column = end;
        }
}
