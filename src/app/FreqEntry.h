#pragma once
// Tuning and keyboard frequency entry of the main window, without the window:
// the display digits FreqText (also the entry buffer), the entry state, the
// step images' auto-repeat state and the tuning arithmetic. Each event answers
// what the window must do; the window only applies it.

#include <cstdint>
#include <optional>
#include <string>

#include "app/FreqDisplay.h"

// What the window does after an event, in this order. The only call that can
// fail, Set_Freq, comes after the display has been shown and restarted, so a
// rig error never leaves the display stopped or stale.
struct TEntryStep {
    bool StopDisplay = false;         // stop Timer1
    std::optional<std::string> Error; // raise EConvertError with this text; nothing below applies
    std::optional<TLEDTexts> Fields;  // set the MHz, KHz and Hz LED texts
    bool StartDisplay = false;        // start Timer1
    std::optional<int32_t> SendFreq;  // Transceiver Set_Freq, hertz
    bool ConsumeKey = false;          // the key pressed is replaced by no key
    bool operator==(const TEntryStep&) const = default;
};

// The step images, in the order of RepeatKind.
enum class TRepeatKind { Up1, Up10, Up100, Dn1, Dn10, Dn100 };

// The step of an image in display units (10 Hz): +1, +10, +100, -1, -10, -100.
int32_t StepUnits(TRepeatKind Kind);
// The image of a component name ("tiUp1" ... "tiDn100"); none for another name.
std::optional<TRepeatKind> RepeatKindOf(const std::string& ImageName);

inline constexpr int kFirstRepeatInterval = 400; // ms from the press to the first repeat
inline constexpr int kRepeatInterval = 100;      // ms between later repeats
inline constexpr char kEnterKey = 13;
inline constexpr char kEscKey = 27;

class TFreqEntry {
public:
    // The display digits last shown; the entry buffer while Editing.
    const std::string& FreqText() const { return FFreqText; }
    // FreqText as it was when the entry began.
    const std::string& SavedFreqText() const { return FSavedFreqText; }
    bool Editing() const { return FEditing; }
    bool RepeatActive() const { return FRepeatActive; }
    TRepeatKind RepeatKind() const { return FRepeatKind; }

    // The display tick's and the repeat's formatting: FreqText becomes Freq's
    // digits and the answer is the fields to show (each set only when it
    // differs). During an entry nothing changes and there is nothing to show:
    // the display never overwrites digits being typed.
    std::optional<TLEDTexts> NewLEDFreq(int32_t Freq);

    // The window's activation reset: no entry, FreqText empty (the next display
    // tick fills it again).
    void Reset();

    // Double click on the display: begins an entry when Connected and none is
    // in progress.
    TEntryStep Panel1DblClick(bool Connected);

    // A character key, seen first by the window (key preview). Connected is
    // asked only when the key would begin an entry.
    TEntryStep FormKeyPress(char Key, bool Connected);

    // The hertz to send for a move of Units display units from FreqText; none
    // when FreqText is not a number, during an entry (a half-typed buffer is
    // not a frequency) or when the result leaves the signed 32-bit range.
    std::optional<int32_t> ChangeFreq(int32_t Units) const;

    // A mouse button down over a step image: an entry in progress is cancelled
    // (its saved digits back, nothing sent) and the repeat starts. The window
    // then makes RepeatTimer with kFirstRepeatInterval.
    TEntryStep StepMouseDown(TRepeatKind Kind);
    // A tick of RepeatTimer (the window sets its interval to kRepeatInterval):
    // one step from FreqText, shown at once and sent.
    TEntryStep RepeatTimerTimer();
    // The button released (after the image's click, which calls ChangeFreq):
    // the repeat ends and the display runs again. The window frees RepeatTimer.
    TEntryStep StepMouseUp();

private:
    void BeginEntry(TEntryStep& step);
    void CompleteEntry(TEntryStep& step);

    std::string FFreqText;
    std::string FSavedFreqText;
    bool FEditing = false;
    bool FRepeatActive = false;
    TRepeatKind FRepeatKind = TRepeatKind::Up1;
};
