#include "ui/win32/Win32Canvas.h"

#include "base/win32/ComUtil.h"

COLORREF ColorToRGB(TColor color)
{
    if (color & clSystemColor)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return static_cast<COLORREF>(color & 0xFFFFFF);
}

TFontHandle CreateGdiFont(const TFont& font)
{
    return TFontHandle(CreateFontW(font.Height(), 0, 0, 0, (font.Style() & fsBold) ? FW_BOLD : FW_NORMAL,
                                   (font.Style() & fsItalic) ? TRUE : FALSE,
                                   (font.Style() & fsUnderline) ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                   AnsiToWide(font.Name()).c_str()));
}

TWin32Canvas::TWin32Canvas(HDC dc) : FDC(dc), FSaved(dc) {}

// A handle the system could not make is not kept, so the next call tries again;
// drawing with a null one draws nothing.
HBRUSH TWin32Canvas::Brush(TColor color)
{
    auto it = FBrushes.find(color);
    if (it == FBrushes.end()) {
        TBrushHandle brush(CreateSolidBrush(ColorToRGB(color)));
        if (!brush)
            return nullptr;
        it = FBrushes.emplace(color, std::move(brush)).first;
    }
    return it->second.Get();
}

HPEN TWin32Canvas::Pen(TColor color, int width)
{
    const auto key = std::make_pair(color, width);
    auto it = FPens.find(key);
    if (it == FPens.end()) {
        TPenHandle pen(CreatePen(PS_SOLID, width, ColorToRGB(color)));
        if (!pen)
            return nullptr;
        it = FPens.emplace(key, std::move(pen)).first;
    }
    return it->second.Get();
}

void TWin32Canvas::PrepareClip()
{
    if (FClipApplied && FAppliedClip == Clip)
        return;
    // The DC keeps a copy of the region.
    TRegionHandle region(CreateRectRgn(Clip.Left, Clip.Top, Clip.Right, Clip.Bottom));
    if (!region)
        return;
    SelectClipRgn(FDC, region.Get());
    FAppliedClip = Clip;
    FClipApplied = true;
}

void TWin32Canvas::SelectFont()
{
    const auto key = std::make_tuple(Font.Name(), Font.Height(), Font.Style());
    auto it = FFonts.find(key);
    if (it == FFonts.end()) {
        TFontHandle font = CreateGdiFont(Font);
        if (!font)
            return;
        it = FFonts.emplace(key, std::move(font)).first;
    }
    SelectObject(FDC, it->second.Get());
}

void TWin32Canvas::FillRect(const TRect& rect)
{
    if (BrushStyle == TBrushStyle::Clear)
        return;
    PrepareClip();
    RECT r{rect.Left + Origin.X, rect.Top + Origin.Y, rect.Right + Origin.X, rect.Bottom + Origin.Y};
    if (HBRUSH brush = Brush(BrushColor))
        ::FillRect(FDC, &r, brush);
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
    HGDIOBJ brush = BrushStyle == TBrushStyle::Clear ? GetStockObject(NULL_BRUSH) : Brush(BrushColor);
    HGDIOBJ pen = Pen(PenColor, PenWidth);
    if (!brush || !pen)
        return;
    SelectObject(FDC, brush);
    SelectObject(FDC, pen);
    ::Polygon(FDC, shifted.data(), static_cast<int>(shifted.size()));
}

void TWin32Canvas::Line(TPoint from, TPoint to)
{
    PrepareClip();
    HPEN pen = Pen(PenColor, PenWidth);
    if (!pen)
        return;
    SelectObject(FDC, pen);
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
                if (HBRUSH brush = Brush(color))
                    ::FillRect(FDC, &r, brush);
            }
            column = end;
        }
}
