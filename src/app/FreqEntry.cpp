#include "app/FreqEntry.h"

#include <limits>

#include "base/SysUtils.h"

namespace {

constexpr size_t kDigits = 8;

// Entry digits fill the fields from the right, "-" where nothing is typed yet.
TLEDTexts EntryFields(const std::string& buffer)
{
    std::string shown = buffer;
    if (shown.size() < kDigits)
        shown.insert(0, kDigits - shown.size(), '-');
    return LEDFieldTexts(shown);
}

// Display units to hertz in 64 bits; none outside the frequency's range.
std::optional<int32_t> UnitsToHertz(int64_t units)
{
    const int64_t hertz = units * 10;
    if (hertz < std::numeric_limits<int32_t>::min() || hertz > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(hertz);
}

bool BeginsEntry(char key) { return key == ' ' || key == '-' || (key >= '0' && key <= '9'); }

} // namespace

int32_t StepUnits(TRepeatKind Kind)
{
    switch (Kind) {
    case TRepeatKind::Up1: return 1;
    case TRepeatKind::Up10: return 10;
    case TRepeatKind::Up100: return 100;
    case TRepeatKind::Dn1: return -1;
    case TRepeatKind::Dn10: return -10;
    case TRepeatKind::Dn100: return -100;
    }
    return 0;
}

std::optional<TRepeatKind> RepeatKindOf(const std::string& ImageName)
{
    static const std::pair<const char*, TRepeatKind> kImages[] = {
        {"tiUp1", TRepeatKind::Up1}, {"tiUp10", TRepeatKind::Up10}, {"tiUp100", TRepeatKind::Up100},
        {"tiDn1", TRepeatKind::Dn1}, {"tiDn10", TRepeatKind::Dn10}, {"tiDn100", TRepeatKind::Dn100},
    };
    for (const auto& [name, kind] : kImages)
        if (ImageName == name)
            return kind;
    return std::nullopt;
}

std::optional<TLEDTexts> TFreqEntry::NewLEDFreq(int32_t Freq)
{
    if (FEditing)
        return std::nullopt;
    FFreqText = FormatFreqText(Freq);
    return LEDFieldTexts(FFreqText);
}

void TFreqEntry::Reset()
{
    FEditing = false;
    FFreqText.clear();
}

void TFreqEntry::BeginEntry(TEntryStep& step)
{
    step.StopDisplay = true;
    FEditing = true;
    FSavedFreqText = FFreqText;
    FFreqText.clear();
    step.Fields = EntryFields(FFreqText);
}

TEntryStep TFreqEntry::Panel1DblClick(bool Connected)
{
    TEntryStep step;
    if (Connected && !FEditing)
        BeginEntry(step);
    return step;
}

TEntryStep TFreqEntry::FormKeyPress(char Key, bool Connected)
{
    TEntryStep step;
    if (!FEditing && BeginsEntry(Key) && Connected)
        BeginEntry(step);
    if (!FEditing)
        return step;

    step.StopDisplay = true;
    const bool nothingTyped = Trim(FFreqText).empty();
    switch (Key) {
    case kEnterKey:
        // Blanks typed before the first digit stand for leading zeros; as
        // blanks between the padding zeros and the digits they would make the
        // entry unreadable.
        for (char& c : FFreqText)
            c = c == ' ' ? '0' : c;
        if (FFreqText.size() < kDigits)
            FFreqText.insert(0, kDigits - FFreqText.size(), '0');
        step.StartDisplay = true;
        break;
    case kEscKey:
        FFreqText = FSavedFreqText;
        step.StartDisplay = true;
        if (FFreqText.empty()) {
            // Nothing was shown when the entry began: there is nothing to go
            // back to, so the entry just ends and the display takes over.
            FEditing = false;
            step.Fields = EntryFields(FFreqText);
            step.ConsumeKey = true;
            return step;
        }
        break;
    case ' ':
    case '-':
        if (nothingTyped)
            FFreqText += ' ';
        break;
    case '0':
        FFreqText += nothingTyped ? ' ' : '0';
        break;
    default:
        if (Key >= '1' && Key <= '9')
            FFreqText += Key;
        break;
    }

    // Eight or more: a text saved at 1 GHz or above has nine, and must end the
    // entry as well.
    if (FFreqText.size() >= kDigits) {
        CompleteEntry(step);
        if (step.Error)
            return step;
    }
    step.Fields = EntryFields(FFreqText);
    step.ConsumeKey = true;
    return step;
}

void TFreqEntry::CompleteEntry(TEntryStep& step)
{
    FEditing = false;
    int32_t units = 0;
    try {
        units = StrToInt(Trim(FFreqText));
    } catch (const EConvertError& e) {
        // Eight blanks: no digit at all. The display stays stopped.
        step.Error = e.Message();
        step.StartDisplay = false;
        return;
    }
    step.SendFreq = UnitsToHertz(units);
    step.StartDisplay = true;
}

std::optional<int32_t> TFreqEntry::ChangeFreq(int32_t Units) const
{
    int32_t n = 0;
    if (FEditing || !TryStrToInt(FFreqText, n))
        return std::nullopt;
    return UnitsToHertz(static_cast<int64_t>(n) + Units);
}

TEntryStep TFreqEntry::StepMouseDown(TRepeatKind Kind)
{
    TEntryStep step;
    if (FEditing) {
        FEditing = false;
        FFreqText = FSavedFreqText;
        step.Fields = EntryFields(FFreqText);
    }
    FRepeatActive = true;
    FRepeatKind = Kind;
    step.StopDisplay = true;
    return step;
}

TEntryStep TFreqEntry::RepeatTimerTimer()
{
    TEntryStep step;
    if (!FRepeatActive)
        return step;
    const std::optional<int32_t> freq = ChangeFreq(StepUnits(FRepeatKind));
    if (!freq)
        return step;
    step.Fields = NewLEDFreq(*freq);
    step.SendFreq = freq;
    return step;
}

TEntryStep TFreqEntry::StepMouseUp()
{
    FRepeatActive = false;
    TEntryStep step;
    step.StartDisplay = true;
    return step;
}
