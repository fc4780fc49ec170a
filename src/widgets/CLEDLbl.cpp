#include "widgets/CLEDLbl.h"

#include <algorithm>

#include "base/SysUtils.h"

namespace {

// Bit n lights bar n: 1 middle, 2 upper right, 3 top, 4 upper left, 5 lower
// left, 6 bottom, 7 lower right. Bit 0 has no bar.
uint8_t Pattern(unsigned char c)
{
    switch (c) {
    case '-': return 0x02;
    case '0': return 0xFC;
    case '1': return 0x84;
    case '2': return 0x6E;
    case '3': return 0xCE;
    case '4': return 0x96;
    case '5': return 0xDA;
    case '6': return 0xFA;
    case '7': return 0x8C;
    case '8': return 0xFE;
    case '9': return 0x9E; // no bottom bar
    default: return 0;
    }
}

constexpr int kSegments = 7;

} // namespace

TCLEDLabel::TCLEDLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FPoints.reserve(6);
    SetBounds(Left(), Top(), 15, 34);
    // In this order the placement storage and a form description see them.
    PublishInteger("Alignment", [this] { return static_cast<int32_t>(FAlignment); },
                   [this](int32_t v) {
                       if (v != static_cast<int32_t>(TTextAlign::TTALeft) && v != static_cast<int32_t>(TTextAlign::TTARight))
                           throw EInvalidOperation(Format("Invalid Alignment value: %d", v));
                       SetAlignment(static_cast<TTextAlign>(v));
                   });
    PublishInteger("BorderGap", [this] { return FBorderGap; }, [this](int32_t v) { SetBorderGap(v); });
    PublishInteger("SegmentThickness", [this] { return FSegmentThickness; }, [this](int32_t v) { SetSegmentThickness(v); });
    PublishInteger("HorzMargine", [this] { return FHorzMargine; }, [this](int32_t v) { SetHorzMargine(v); });
    PublishInteger("VertMargine", [this] { return FVertMargine; }, [this](int32_t v) { SetVertMargine(v); });
    // Colours travel as their 32 bits; a system colour reads back negative.
    PublishInteger("OnColor", [this] { return static_cast<int32_t>(FOnColor); },
                   [this](int32_t v) { SetOnColor(static_cast<TColor>(v)); });
    PublishInteger("BackGroundColor", [this] { return static_cast<int32_t>(FBackGroundColor); },
                   [this](int32_t v) { SetBackGroundColor(static_cast<TColor>(v)); });
    PublishInteger("OffColor", [this] { return static_cast<int32_t>(FOffColor); },
                   [this](int32_t v) { SetOffColor(static_cast<TColor>(v)); });
    PublishInteger("SegmentBorderColor", [this] { return static_cast<int32_t>(FSegmentBorderColor); },
                   [this](int32_t v) { SetSegmentBorderColor(static_cast<TColor>(v)); });
    PublishString("Text", [this] { return FText; }, [this](const std::string& v) { SetText(v); });
    PublishInteger("NumChars", [this] { return FNumChars; }, [this](int32_t v) { SetNumChars(v); });
}

TCLEDLabel::~TCLEDLabel() = default;

// The bars fit a cell when none of them turns inside out: with no negative
// gap, margin or thickness, every bar is at least as long as its two bevels
// (they may meet in a point, never cross), so each bar stays a simple polygon
// inside the cell's inner box. Wide integers keep huge settings from
// overflowing.
bool TCLEDLabel::SegmentsFit(int64_t cellWidth, int64_t height) const
{
    const int64_t g = FBorderGap;
    const int64_t t = FSegmentThickness;
    const int64_t m = FHorzMargine;
    const int64_t v = FVertMargine;
    if (g < 0 || t < 1 || m < 0 || v < 0)
        return false;
    const int64_t innerWidth = cellWidth - 2 * g - 1; // xr - xl
    const int64_t halfHeight = (height - 2 * g - 1) / 2; // ym - yt and yd - ym
    return innerWidth - 2 * m >= 2 * t && halfHeight - 2 * v >= 2 * t;
}

void TCLEDLabel::Paint(TCanvas& canvas)
{
    const TRect client = ClientRect();
    canvas.BrushColor = FBackGroundColor;
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.FillRect(client);

    if (FNumChars < 1)
        return;
    const int cellWidth = CellWidth();
    // A fitting cell is a few pixels wide, so the count is bounded from here on.
    if (!SegmentsFit(cellWidth, client.Bottom))
        return;

    const size_t count = static_cast<size_t>(FNumChars);
    // Right alignment puts spaces in front; a longer text shows its first
    // characters under either alignment.
    const size_t pad = FAlignment == TTextAlign::TTARight && FText.size() < count ? count - FText.size() : 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = i - std::min(i, pad);
        const unsigned char c = i < pad || at >= FText.size() ? ' ' : static_cast<unsigned char>(FText[at]);
        const int left = static_cast<int>(i) * cellWidth;
        DrawCell(canvas, left, left + cellWidth, client.Bottom, Pattern(c));
    }
}

int TCLEDLabel::CellAt(int x) const
{
    if (FNumChars < 1 || x < 0)
        return -1;
    const int cellWidth = CellWidth();
    if (cellWidth < 1 || x / cellWidth >= FNumChars)
        return -1;
    return x / cellWidth;
}

void TCLEDLabel::DrawCell(TCanvas& canvas, int cellLeft, int cellRight, int height, uint8_t pattern)
{
    const int g = FBorderGap;
    const int t = FSegmentThickness;
    const int m = FHorzMargine;
    const int v = FVertMargine;
    const int xl = cellLeft + g;
    const int xr = cellRight - g - 1;
    const int yt = g;
    const int yb = height - g - 1;
    const int h = (yb - yt) / 2;
    const int ym = yt + h;
    const int yd = yt + 2 * h; // one above yb when the inner height is odd
    const int t2 = t / 2;

    for (int segment = 1; segment <= kSegments; ++segment) {
        switch (segment) {
        case 1:
            FPoints = {{xl + m, ym}, {xl + m + t2, ym - t2}, {xr - m - t2, ym - t2},
                       {xr - m, ym}, {xr - m - t2, ym + t2}, {xl + m + t2, ym + t2}};
            break;
        case 2:
            FPoints = {{xr, yt + v}, {xr, ym - v}, {xr - t, ym - v - t}, {xr - t, yt + v + t}};
            break;
        case 3:
            FPoints = {{xl + m, yt}, {xr - m, yt}, {xr - m - t, yt + t}, {xl + m + t, yt + t}};
            break;
        case 4:
            FPoints = {{xl, yt + v}, {xl, ym - v}, {xl + t, ym - v - t}, {xl + t, yt + v + t}};
            break;
        case 5:
            FPoints = {{xl, ym + v}, {xl, yd - v}, {xl + t, yd - v - t}, {xl + t, ym + v + t}};
            break;
        case 6:
            FPoints = {{xl + m, yd}, {xr - m, yd}, {xr - m - t, yd - t}, {xl + m + t, yd - t}};
            break;
        default:
            FPoints = {{xr, ym + v}, {xr, yd - v}, {xr - t, yd - v - t}, {xr - t, ym + v + t}};
            break;
        }
        DrawSegment(canvas, (pattern >> segment) & 1);
    }
}

void TCLEDLabel::DrawSegment(TCanvas& canvas, bool lit)
{
    canvas.BrushColor = lit ? FOnColor : FOffColor;
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.PenColor = lit ? FSegmentBorderColor : FOffColor;
    canvas.PenWidth = 1;
    canvas.Polygon(FPoints);
}
