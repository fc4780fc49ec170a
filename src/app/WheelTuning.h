#pragma once
// Tuning by the mouse wheel over the main window's digits, without the window:
// which digit a turn moves, the notches a high-resolution wheel's small turns
// add up to, and the frequency asked for that the digits show until the poll
// reads it back.

#include <cstdint>
#include <optional>
#include <string>

// The place value in display units (10 Hz) of a digit: the cell counted from
// the left of the LED field of that name ("MHz", "KHz", "Hz"); none for
// another field or cell.
std::optional<int32_t> DigitUnits(const std::string& FieldName, int Cell);

// What the display shows of a frequency asked for: kept for this long at most
// when the poll never reads it back.
inline constexpr uint32_t kAskedFreqPatience = 1000; // ms

class TWheelTuning {
public:
    // A turn of Delta (120 a notch, positive away from the operator) over the
    // digit worth Units: the whole notches it completes. The rest of a small
    // turn is kept for the next one over the same digit the same way.
    int Notches(int32_t Units, int Delta);

    // The window asked the rig for Freq at Now, when TickMark poll ticks had
    // read the rig or were reading it: their readings may be from before.
    void Asked(int32_t Freq, uint32_t Now, uint32_t TickMark);
    // The frequency to show for the poll's last reading Read, when Ticks
    // ticks have read the rig: the one asked for while it is pending, else
    // Read. It stops pending once a later tick reads it back, after
    // kAskedFreqPatience, or when the poll no longer reads the rig
    // (Connected false).
    int32_t Shown(int32_t Read, uint32_t Ticks, bool Connected, uint32_t Now);
    // Another command, or a failing one, ends what was asked.
    void Drop() { FAsked.reset(); }
    const std::optional<int32_t>& AskedFreq() const { return FAsked; }

private:
    int32_t FUnits = 0;
    int FRest = 0;
    std::optional<int32_t> FAsked;
    uint32_t FAskedAt = 0;
    uint32_t FTickMark = 0;
};
