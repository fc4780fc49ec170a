#pragma once
// Colours, geometry, fonts, bitmaps and the canvas that controls paint on.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// 0x00BBGGRR, or a system colour: 0x80000000 plus the system's colour index.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clInfoText = clSystemColor | 23;

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const TSize&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    TRect Intersect(const TRect& other) const;
    bool operator==(const TRect&) const = default;
};

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4 };

class TFont {
public:
    TFont() = default;
    // A copy takes the values, never the owner's change handler.
    TFont(const TFont& other) : FName(other.FName), FHeight(other.FHeight), FStyle(other.FStyle), FColor(other.FColor) {}
    TFont& operator=(const TFont& other)
    {
        Assign(other);
        return *this;
    }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name);
    // Pixels; negative for the height of the characters, as the system takes it.
    int Height() const { return FHeight; }
    void SetHeight(int height);
    // Points, at the design resolution of 96 pixels per inch.
    void SetSize(int points);
    uint8_t Style() const { return FStyle; }
    void SetStyle(uint8_t style);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    void Assign(const TFont& other);
    bool operator==(const TFont& other) const;

    // Called after every change.
    std::function<void()> OnChange;

private:
    void Changed();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    uint8_t FStyle = 0;
    TColor FColor = clWindowText;
};

// A small picture held as pixels, row 0 at the top; its bottom-left pixel's
// colour is the transparent one when it is drawn transparently.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(int width, int height, TColor fill);
    // One string per row, one character per pixel, each mapped by the palette.
    static TBitmap FromRows(const std::vector<std::string>& rows, const std::vector<std::pair<char, TColor>>& palette);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    TColor Pixel(int x, int y) const { return FPixels[static_cast<size_t>(y * FWidth + x)]; }
    void SetPixel(int x, int y, TColor color) { FPixels[static_cast<size_t>(y * FWidth + x)] = color; }
    TColor TransparentColor() const { return Empty() ? clBlack : Pixel(0, FHeight - 1); }

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<TColor> FPixels;
};

enum class TBrushStyle { Solid, Clear };

// What a control paints on, in its own client coordinates: the canvas adds the
// control's place on the form and clips to it.
class TCanvas {
public:
    virtual ~TCanvas() = default;

    TColor BrushColor = clWhite;
    TBrushStyle BrushStyle = TBrushStyle::Solid;
    TColor PenColor = clBlack;
    int PenWidth = 1;
    TFont Font;

    // Fills with the brush.
    virtual void FillRect(const TRect& rect) = 0;
    // Fills with the brush and outlines with the pen.
    virtual void Polygon(const std::vector<TPoint>& points) = 0;
    // A line with the pen, the last point excluded, as the system draws it.
    virtual void Line(TPoint from, TPoint to) = 0;
    // Text in the font and its colour; the text's box is filled with the brush
    // unless the brush is clear.
    virtual void TextOutAt(int x, int y, const std::string& text) = 0;
    virtual TSize TextExtent(const std::string& text) = 0;
    // The bitmap with its transparent colour left out.
    virtual void DrawTransparent(int x, int y, const TBitmap& bitmap) = 0;

    // Where the control being painted sits on the surface, and the part of the
    // surface it may paint on; set by the form while it paints its controls.
    TPoint Origin;
    TRect Clip{-1000000, -1000000, 1000000, 1000000};
};
