#pragma once
// The frequencies Velkor works with: what its eight digits show (tens of
// hertz, up to 999.999.99 MHz), and nothing at or below 0 Hz, which no radio
// takes. A radio that reports another is a fault of the reading; a program
// that asks for another through a sharing port is refused, and rigctld is
// never sent one.

#include <cstdint>

inline constexpr int32_t kLowestFreq = 1;
inline constexpr int32_t kHighestFreq = 999'999'999;

constexpr bool InFreqRange(int64_t hertz) { return hertz >= kLowestFreq && hertz <= kHighestFreq; }
