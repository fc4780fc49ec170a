#pragma once
// The texts of the main window's frequency display: the eight display digits
// (10 Hz units) on the MHz, KHz and Hz LED fields, the band label and the
// second-VFO label. Every number is written with "." whatever the locale.

#include <cstdint>
#include <string>

#include "app/BandsFile.h"

// Texts of the three LED fields: 3, 3 and 2 characters.
struct TLEDTexts {
    std::string MHz;
    std::string KHz;
    std::string Hz;
    bool operator==(const TLEDTexts&) const = default;
};

inline constexpr char kNoBand[] = "------";

// The display digits of Freq hertz: Freq / 10 (truncated toward zero), at
// least six digits, blanks on the left to eight characters; 1 GHz and more
// needs nine characters or more. 14200000 -> " 1420000", -1234560 -> " -123456".
std::string FormatFreqText(int32_t Freq);

// Characters 1-3, 4-6 and 7-8 of text, each filled with "-" on the right where
// the text is shorter; characters past the eighth are not shown.
TLEDTexts LEDFieldTexts(const std::string& text);

// The band label: the name of the first band holding Freq (signed, both edges
// inclusive), kNoBand when none does.
std::string BandName(const TBands& Bands, int32_t Freq);

// Freq hertz in megahertz with five decimals: 14250000 -> "14.25000"; the
// hertz digit rounds half away from zero.
std::string MHzText(int32_t Freq);

// The second-VFO label for the arrangement VFO ("VFO A/B"): when characters 5
// and 7 differ, the VFO not in use ("VFO B: 14.25000"); empty otherwise.
std::string SecondVFOText(const std::string& VFO, int32_t FreqA, int32_t FreqB);
