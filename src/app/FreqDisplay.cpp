#include "app/FreqDisplay.h"

#include <cstdlib>

namespace {

// Whole numbers only: no locale puts a separator into those. The decimals are
// placed by hand, so "." stays "." whatever the user's settings.
std::string Digits(uint64_t value) { return std::to_string(value); }

std::string PadLeft(std::string text, size_t width, char fill)
{
    if (text.size() < width)
        text.insert(0, width - text.size(), fill);
    return text;
}

std::string Field(const std::string& text, size_t from, size_t width)
{
    std::string piece = from < text.size() ? text.substr(from, width) : std::string();
    piece.append(width - piece.size(), '-');
    return piece;
}

} // namespace

std::string FormatFreqText(int32_t Freq)
{
    // n / 100000 with five decimals and its "." deleted is n's digits, zero
    // filled to six; the sign stays in front.
    const int64_t n = Freq / 10;
    std::string text = PadLeft(Digits(static_cast<uint64_t>(std::llabs(n))), 6, '0');
    if (n < 0)
        text.insert(0, 1, '-');
    return PadLeft(text, 8, ' ');
}

TLEDTexts LEDFieldTexts(const std::string& text)
{
    return {Field(text, 0, 3), Field(text, 3, 3), Field(text, 6, 2)};
}

std::string BandName(const TBands& Bands, int32_t Freq)
{
    for (const TBandRecord& band : Bands)
        if (band.LowFreq <= Freq && Freq <= band.HighFreq)
            return band.Name;
    return kNoBand;
}

std::string MHzText(int32_t Freq)
{
    const uint64_t tens = (static_cast<uint64_t>(std::llabs(static_cast<int64_t>(Freq))) + 5) / 10;
    const std::string text = Digits(tens / 100000) + "." + PadLeft(Digits(tens % 100000), 5, '0');
    return Freq < 0 && tens != 0 ? "-" + text : text;
}

std::string SecondVFOText(const std::string& VFO, int32_t FreqA, int32_t FreqB)
{
    const std::string inUse = VFO.size() >= 5 ? VFO.substr(4, 1) : std::string();
    const std::string other = VFO.size() >= 7 ? VFO.substr(6, 1) : std::string();
    if (inUse == other)
        return {};
    return inUse == "A" ? "VFO B: " + MHzText(FreqB) : "VFO A: " + MHzText(FreqA);
}
