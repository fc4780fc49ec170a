#pragma once
// The seven-segment LED field: a short text drawn as digits in a fixed number
// of character cells, each cell seven bars that are lit or unlit. Only digits
// and the minus sign light bars; any other character is a cell of unlit bars.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Controls.h"

enum class TTextAlign : int32_t { TTALeft = 0, TTARight = 1 };

class TCLEDLabel : public TGraphicControl {
public:
    explicit TCLEDLabel(TComponent* AOwner);
    ~TCLEDLabel() override;

    // Every setter repaints, even when the value is unchanged.
    TTextAlign Alignment() const { return FAlignment; }
    void SetAlignment(TTextAlign value) { Store(FAlignment, value); }
    int32_t BorderGap() const { return FBorderGap; }
    void SetBorderGap(int32_t value) { Store(FBorderGap, value); }
    int32_t SegmentThickness() const { return FSegmentThickness; }
    void SetSegmentThickness(int32_t value) { Store(FSegmentThickness, value); }
    int32_t HorzMargine() const { return FHorzMargine; }
    void SetHorzMargine(int32_t value) { Store(FHorzMargine, value); }
    int32_t VertMargine() const { return FVertMargine; }
    void SetVertMargine(int32_t value) { Store(FVertMargine, value); }
    TColor OnColor() const { return FOnColor; }
    void SetOnColor(TColor value) { Store(FOnColor, value); }
    TColor OffColor() const { return FOffColor; }
    void SetOffColor(TColor value) { Store(FOffColor, value); }
    TColor SegmentBorderColor() const { return FSegmentBorderColor; }
    void SetSegmentBorderColor(TColor value) { Store(FSegmentBorderColor, value); }
    TColor BackGroundColor() const { return FBackGroundColor; }
    void SetBackGroundColor(TColor value) { Store(FBackGroundColor, value); }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value) { Store(FText, value); }
    int32_t NumChars() const { return FNumChars; }
    void SetNumChars(int32_t value) { Store(FNumChars, value); }

    // Background over the whole client area, then the bars of every cell. A
    // count below one, or cells too small to hold the bars, show background only.
    void Paint(TCanvas& canvas) override;
    // The character cell under x (client coordinates), counted from the left;
    // -1 outside every cell, on the few pixels right of the last one too.
    int CellAt(int x) const;

private:
    // Every assignment repaints, the same value included.
    template <class T>
    void Store(T& field, const T& value)
    {
        field = value;
        Invalidate();
    }
    // Every cell is as wide; the pixels left over lie right of the last.
    int CellWidth() const { return ClientRect().Right / FNumChars; }
    void DrawCell(TCanvas& canvas, int cellLeft, int cellRight, int height, uint8_t pattern);
    void DrawSegment(TCanvas& canvas, bool lit);
    bool SegmentsFit(int64_t cellWidth, int64_t height) const;

    std::vector<TPoint> FPoints; // reused for every bar
    int32_t FBorderGap = 1;
    int32_t FSegmentThickness = 2;
    int32_t FHorzMargine = 1;
    int32_t FVertMargine = 2;
    TColor FOnColor = clRed;
    TColor FOffColor = clMaroon;
    TColor FSegmentBorderColor = clRed;
    TColor FBackGroundColor = clBlack;
    std::string FText = "8";
    int32_t FNumChars = 1;
    TTextAlign FAlignment = TTextAlign::TTARight;
};
