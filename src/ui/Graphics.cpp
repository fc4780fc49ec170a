#include "ui/Graphics.h"

#include <algorithm>

TRect TRect::Intersect(const TRect& other) const
{
    TRect r{std::max(Left, other.Left), std::max(Top, other.Top), std::min(Right, other.Right),
            std::min(Bottom, other.Bottom)};
    if (r.IsEmpty())
        return {};
    return r;
}

void TFont::SetName(const std::string& name)
{
    if (name != FName) {
        FName = name;
        Changed();
    }
}

void TFont::SetHeight(int height)
{
    if (height != FHeight) {
        FHeight = height;
        Changed();
    }
}

void TFont::SetSize(int points)
{
    // Rounded as the system rounds MulDiv.
    const int pixels = (points * 96 + 36) / 72;
    SetHeight(-pixels);
}

void TFont::SetStyle(uint8_t style)
{
    if (style != FStyle) {
        FStyle = style;
        Changed();
    }
}

void TFont::SetColor(TColor color)
{
    if (color != FColor) {
        FColor = color;
        Changed();
    }
}

void TFont::Assign(const TFont& other)
{
    if (*this == other)
        return;
    FName = other.FName;
    FHeight = other.FHeight;
    FStyle = other.FStyle;
    FColor = other.FColor;
    Changed();
}

bool TFont::operator==(const TFont& other) const
{
    return FName == other.FName && FHeight == other.FHeight && FStyle == other.FStyle && FColor == other.FColor;
}

void TFont::Changed()
{
    if (OnChange)
        OnChange();
}

TBitmap::TBitmap(int width, int height, TColor fill)
    : FWidth(width), FHeight(height), FPixels(static_cast<size_t>(width * height), fill)
{
}

TBitmap TBitmap::FromRows(const std::vector<std::string>& rows, const std::vector<std::pair<char, TColor>>& palette)
{
    const int height = static_cast<int>(rows.size());
    const int width = height ? static_cast<int>(rows.front().size()) : 0;
    TBitmap bitmap(width, height, clBlack);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width && x < static_cast<int>(rows[static_cast<size_t>(y)].size()); ++x)
            for (const auto& [key, color] : palette)
                if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == key)
                    bitmap.SetPixel(x, y, color);
    return bitmap;
}
