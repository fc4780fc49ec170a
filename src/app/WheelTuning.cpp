#include "app/WheelTuning.h"

std::optional<int32_t> DigitUnits(const std::string& FieldName, int Cell)
{
    // The place value of each field's rightmost digit, and its width.
    struct TField {
        const char* Name;
        int32_t LastUnits;
        int Cells;
    };
    static constexpr TField kFields[] = {{"MHz", 100'000, 3}, {"KHz", 100, 3}, {"Hz", 1, 2}};
    for (const TField& field : kFields) {
        if (FieldName != field.Name)
            continue;
        if (Cell < 0 || Cell >= field.Cells)
            return std::nullopt;
        int32_t units = field.LastUnits;
        for (int i = Cell; i < field.Cells - 1; ++i)
            units *= 10;
        return units;
    }
    return std::nullopt;
}

int TWheelTuning::Notches(int32_t Units, int Delta)
{
    // Another digit, or the wheel turned back, starts afresh.
    if (Units != FUnits || (FRest < 0) != (Delta < 0))
        FRest = 0;
    FUnits = Units;
    FRest += Delta;
    const int notches = FRest / 120;
    FRest %= 120;
    return notches;
}

void TWheelTuning::Asked(int32_t Freq, uint32_t Now, uint32_t TickMark)
{
    FAsked = Freq;
    FAskedAt = Now;
    FTickMark = TickMark;
}

int32_t TWheelTuning::Shown(int32_t Read, uint32_t Ticks, bool Connected, uint32_t Now)
{
    if (!FAsked)
        return Read;
    // Tick numbers and the clock wrap around: their differences do not.
    const bool readBack = static_cast<int32_t>(Ticks - FTickMark) > 0 && Read / 10 == *FAsked / 10;
    if (!Connected || readBack || Now - FAskedAt >= kAskedFreqPatience) {
        FAsked.reset();
        return Read;
    }
    return *FAsked;
}
