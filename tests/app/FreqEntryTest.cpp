#include <gtest/gtest.h>

#include <climits>

#include "app/FreqEntry.h"

namespace {

const TLEDTexts kDashes = {"---", "---", "--"};

// The main window around the entry: applies each step as the window does and
// keeps what the operator would see.
struct TWindowModel {
    TFreqEntry Entry;
    bool Connected = true;
    bool DisplayRunning = true;
    TLEDTexts Fields = kDashes;
    std::vector<int32_t> Sent;
    std::vector<std::string> Errors;
    bool Consumed = false;

    void Apply(const TEntryStep& step)
    {
        if (step.StopDisplay)
            DisplayRunning = false;
        Consumed = false;
        if (step.Error) {
            Errors.push_back(*step.Error);
            return;
        }
        if (step.Fields)
            Fields = *step.Fields;
        if (step.StartDisplay)
            DisplayRunning = true;
        if (step.SendFreq)
            Sent.push_back(*step.SendFreq);
        Consumed = step.ConsumeKey;
    }
    void Tick(int32_t freq)
    {
        if (std::optional<TLEDTexts> fields = Entry.NewLEDFreq(freq))
            Fields = *fields;
    }
    void Type(const std::string& keys)
    {
        for (char key : keys)
            Apply(Entry.FormKeyPress(key, Connected));
    }
    // A step image pressed, held for ms and released over it with the left button.
    void Hold(TRepeatKind kind, int ms)
    {
        Apply(Entry.StepMouseDown(kind));
        for (int t = kFirstRepeatInterval; t <= ms; t += kRepeatInterval)
            Apply(Entry.RepeatTimerTimer());
        if (std::optional<int32_t> freq = Entry.ChangeFreq(StepUnits(kind)))
            Sent.push_back(*freq);
        Apply(Entry.StepMouseUp());
    }
};

TEST(FreqEntry, KeysFillTheEightPositionsAndSendTheEntry)
{
    struct TCase {
        const char* Name;
        std::optional<int32_t> Shown; // the display tick ran with this frequency
        std::string Keys;             // "\r" Enter, "\x1b" Esc
        std::vector<int32_t> Sent;
        bool Editing;
        TLEDTexts Fields;
        bool Running;
        bool Consumed;
        std::string Error;
        bool Connected = true;
    };
    const std::vector<TCase> cases = {
        {"digits then Enter", 14200000, "705000\r", {7050000}, false, {"007", "050", "00"}, true, true, ""},
        {"eighth key completes", 14200000, "00705000", {7050000}, false, {"  7", "050", "00"}, true, true, ""},
        {"a blank and seven digits", 14200000, " 1420000", {14200000}, false, {" 14", "200", "00"}, true, true, ""},
        {"a leading zero then Enter", 14200000, "0705000\r", {7050000}, false, {"007", "050", "00"}, true, true, ""},
        {"dash and blank fill positions", 14200000, "- 5\r", {50}, false, {"000", "000", "05"}, true, true, ""},
        {"digits shown from the right", 14200000, "142", {}, true, {"---", "--1", "42"}, false, true, ""},
        {"Esc sends the digits shown before", 14200055, "123\x1b", {14200050}, false, {" 14", "200", "05"}, true,
         true, ""},
        {"Esc at one gigahertz ends the entry", 1000000005, "5\x1b", {1000000000}, false, {"100", "000", "00"},
         true, true, ""},
        {"Esc below zero", -1234560, "9\x1b", {-1234560}, false, {" -1", "234", "56"}, true, true, ""},
        {"Esc with nothing saved ends the entry", std::nullopt, "5\x1b", {}, false, kDashes, true, true, ""},
        {"eight blanks", 14200000, "        ", {}, false, {"-  ", "   ", "  "}, false, false,
         "'' is not a valid integer value"},
        {"eight zeros are blanks", 14200000, "00000000", {}, false, {"-  ", "   ", "  "}, false, false,
         "'' is not a valid integer value"},
        {"letter while idle", 14200000, "a", {}, false, {" 14", "200", "00"}, true, false, ""},
        {"Enter while idle", 14200000, "\r", {}, false, {" 14", "200", "00"}, true, false, ""},
        {"letter during an entry", 14200000, "5a", {}, true, {"---", "---", "-5"}, false, true, ""},
        {"not connected", 14200000, "5", {}, false, {" 14", "200", "00"}, true, false, "", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowModel w;
        w.Connected = c.Connected;
        if (c.Shown)
            w.Tick(*c.Shown);
        w.Type(c.Keys);
        EXPECT_EQ(w.Sent, c.Sent);
        EXPECT_EQ(w.Entry.Editing(), c.Editing);
        EXPECT_EQ(w.Fields, c.Fields);
        EXPECT_EQ(w.DisplayRunning, c.Running);
        EXPECT_EQ(w.Consumed, c.Consumed);
        EXPECT_EQ(w.Errors, c.Error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Error});
    }
}

TEST(FreqEntry, DoubleClickBeginsAnEntryOnlyWhenConnectedAndIdle)
{
    TWindowModel w;
    w.Tick(14200000);
    w.Connected = false;
    w.Apply(w.Entry.Panel1DblClick(w.Connected));
    EXPECT_FALSE(w.Entry.Editing());
    EXPECT_TRUE(w.DisplayRunning);

    w.Connected = true;
    w.Apply(w.Entry.Panel1DblClick(w.Connected));
    w.Apply(w.Entry.Panel1DblClick(w.Connected));
    EXPECT_TRUE(w.Entry.Editing());
    EXPECT_FALSE(w.DisplayRunning);
    EXPECT_EQ(w.Fields, kDashes);
    EXPECT_EQ(w.Entry.SavedFreqText(), " 1420000") << "a second double click must not restart the entry";

    w.Type("\r"); // right after the double click: 0 Hz
    EXPECT_EQ(w.Sent, std::vector<int32_t>{0});
    EXPECT_EQ(w.Fields, (TLEDTexts{"000", "000", "00"}));
}

TEST(FreqEntry, DisplayTickNeverOverwritesDigitsBeingTyped)
{
    TWindowModel w;
    w.Tick(14200000);
    w.Type("7");
    w.Tick(3500000); // the display started by something else during the entry
    EXPECT_EQ(w.Entry.FreqText(), "7");
    EXPECT_EQ(w.Fields, (TLEDTexts{"---", "---", "-7"}));
    w.Type("05000\r");
    EXPECT_EQ(w.Sent, std::vector<int32_t>{7050000});
    w.Tick(7050000);
    EXPECT_EQ(w.Entry.FreqText(), "  705000");
}

TEST(FreqEntry, ActivationResetEndsTheEntryAndNothingIsTunedUntilTheNextTick)
{
    TWindowModel w;
    w.Tick(14200000);
    w.Type("7");
    w.Entry.Reset();
    EXPECT_FALSE(w.Entry.Editing());
    EXPECT_EQ(w.Entry.FreqText(), "");
    EXPECT_EQ(w.Entry.ChangeFreq(1), std::nullopt);

    // An entry begun now has nothing to go back to: Esc just ends it.
    w.Type("5\x1b");
    EXPECT_FALSE(w.Entry.Editing());
    EXPECT_TRUE(w.DisplayRunning);
    EXPECT_TRUE(w.Sent.empty());
    w.Tick(14200000);
    EXPECT_EQ(w.Entry.ChangeFreq(1), 14200010);
}

TEST(FreqEntry, ChangeFreqStepsFromTheDisplayDigitsInSixtyFourBits)
{
    struct TCase {
        std::optional<int32_t> Shown;
        int32_t Units;
        std::optional<int32_t> Sent;
    };
    const std::vector<TCase> cases = {
        {14200050, 100, 14201050},
        {14200055, 100, 14201050}, // the hertz digit is dropped
        {7050000, -1, 7049990},
        {0, -1, -10},
        {-1234560, 10, -1234460},
        {1000000000, -100, 999999000},
        {INT32_MAX, 1, std::nullopt}, // 2147483650 does not fit
        {INT32_MAX, -1, 2147483630},
        {INT32_MIN, -100, std::nullopt},
        {std::nullopt, 1, std::nullopt}, // nothing shown yet
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Shown ? *c.Shown : -1);
        SCOPED_TRACE(c.Units);
        TFreqEntry entry;
        if (c.Shown)
            entry.NewLEDFreq(*c.Shown);
        EXPECT_EQ(entry.ChangeFreq(c.Units), c.Sent);
    }
}

TEST(FreqEntry, HeldStepRepeatsFromTheDigitsItShowsThenClicksOnce)
{
    struct TCase {
        TRepeatKind Kind;
        int Ms;
        std::vector<int32_t> Sent;
        TLEDTexts Fields; // the last repeat's, shown at once
    };
    const std::vector<TCase> cases = {
        {TRepeatKind::Up100, 399, {14201000}, {" 14", "200", "00"}},
        {TRepeatKind::Up1, 400, {14200010, 14200020}, {" 14", "200", "01"}},
        {TRepeatKind::Dn10, 950, {14199900, 14199800, 14199700, 14199600, 14199500, 14199400, 14199300},
         {" 14", "199", "40"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Ms);
        TWindowModel w;
        w.Tick(14200000);
        w.Apply(w.Entry.StepMouseDown(c.Kind));
        EXPECT_FALSE(w.DisplayRunning) << "the display stops while the image is held";
        w.Apply(w.Entry.StepMouseUp());

        w.Hold(c.Kind, c.Ms);
        EXPECT_EQ(w.Sent, c.Sent);
        EXPECT_EQ(w.Fields, c.Fields);
        EXPECT_TRUE(w.DisplayRunning);
        EXPECT_EQ(w.Entry.RepeatTimerTimer(), TEntryStep{}) << "no repeat after the release";
    }
}

TEST(FreqEntry, StepPressedDuringAnEntryCancelsItAndTunesFromTheSavedDigits)
{
    struct TCase {
        std::optional<int32_t> Shown;
        std::vector<int32_t> Sent;
        TLEDTexts Fields;
    };
    const std::vector<TCase> cases = {
        {14200000, {14201000}, {" 14", "200", "00"}},
        {std::nullopt, {}, kDashes}, // entry begun with nothing shown: nothing to tune from
    };
    for (const TCase& c : cases) {
        TWindowModel w;
        if (c.Shown)
            w.Tick(*c.Shown);
        w.Type("70");
        w.Apply(w.Entry.StepMouseDown(TRepeatKind::Up100));
        EXPECT_FALSE(w.Entry.Editing());
        EXPECT_EQ(w.Fields, c.Fields);
        EXPECT_TRUE(w.Sent.empty());
        if (std::optional<int32_t> freq = w.Entry.ChangeFreq(100))
            w.Sent.push_back(*freq);
        w.Apply(w.Entry.StepMouseUp());
        EXPECT_EQ(w.Sent, c.Sent);
    }
}

TEST(FreqEntry, StepsAreIdleWhileAnEntryBegunDuringAHoldIsTyped)
{
    TWindowModel w;
    w.Tick(14200000);
    w.Apply(w.Entry.StepMouseDown(TRepeatKind::Up1));
    w.Type("12");
    w.Apply(w.Entry.RepeatTimerTimer());
    EXPECT_EQ(w.Entry.ChangeFreq(1), std::nullopt);
    w.Apply(w.Entry.StepMouseUp());
    w.Tick(14200000);
    EXPECT_TRUE(w.Sent.empty());
    EXPECT_EQ(w.Entry.FreqText(), "12");
}

TEST(FreqEntry, ImagesAreKnownByTheirComponentNames)
{
    const std::vector<std::pair<std::string, std::optional<int32_t>>> cases = {
        {"tiUp1", 1}, {"tiUp10", 10}, {"tiUp100", 100}, {"tiDn1", -1}, {"tiDn10", -10},
        {"tiDn100", -100}, {"tiup1", std::nullopt}, {"Panel1", std::nullopt},
    };
    for (const auto& [name, units] : cases) {
        const std::optional<TRepeatKind> kind = RepeatKindOf(name);
        EXPECT_EQ(kind ? std::optional<int32_t>(StepUnits(*kind)) : std::nullopt, units) << name;
    }
}

} // namespace
