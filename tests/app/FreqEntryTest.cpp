// Tuning and keyboard entry as the operator meets them: keys, double clicks
// and step images on the real main window on the headless host, checked by
// its LED fields, its display timer, the error reports and what reaches the
// recording rig server; the tuning arithmetic of TFreqEntry on its own.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "app/ComMainForm.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"

namespace {

using namespace RigParams;
using Freqs = std::vector<int32_t>;
using Texts = std::vector<std::string>;

const TLEDTexts kDashes = {"---", "---", "--"};

// The main window and its transceiver on the recording rig server, switched
// on: with a frequency shown the display has shown it; without, the rig is
// connected but the display has not ticked yet.
class TTunedWindow {
public:
    explicit TTunedWindow(std::optional<int32_t> shown = 14200000)
    {
        App.SetTitle("Velkor");
        Form = new TTxControlForm(&App, FRegistry);
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Rig->Radio = {"IC-SIM", shown.value_or(14200000), 14200000, 7050000, SSB_U, VFOAA};
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
        Form->Transceiver = Trx;
        Form->Show();
        Host.Activate(*Form);
        Host.Click(*Form->On_Offlbl);
        if (shown)
            Host.Advance(400);
        Rig->ClearLog();
        FReported = Host.MessageBoxes().size();
    }
    ~TTunedWindow()
    {
        delete Form;
        delete Trx;
    }

    // A character key as the system sends it to the window; true when the
    // window took it, so that it goes no further.
    bool Key(char key)
    {
        TMessage message{Msg::Char, static_cast<unsigned char>(key), 0, 0};
        DispatchEvent(&App, [&] { Form->Dispatch(message); });
        return message.Result != 0;
    }
    // The keys in turn; whether the window took the last.
    bool Type(const std::string& keys)
    {
        bool taken = false;
        for (char key : keys)
            taken = Key(key);
        return taken;
    }
    // The rig server failing: its next poll is reported, and the rig is not
    // connected from then on.
    void LoseTheRig()
    {
        Rig->FailAll = true;
        Host.Advance(400);
        ASSERT_EQ(Errors(), Texts{"Rig is not responding."});
        FReported = Host.MessageBoxes().size();
    }

    TLEDTexts Fields() const { return {Form->MHz->Text(), Form->KHz->Text(), Form->Hz->Text()}; }
    bool DisplayRunning() const { return Form->Timer1->Enabled(); }
    const TFreqEntry& Entry() const { return Form->Entry(); }
    // The frequencies sent, in order.
    Freqs Sent() const
    {
        Freqs sent;
        for (const std::string& put : Rig->Puts())
            if (put.starts_with("put Freq "))
                sent.push_back(std::atoi(put.c_str() + 9));
        return sent;
    }
    // The errors reported since the window was switched on.
    Texts Errors() const
    {
        Texts errors;
        for (size_t i = FReported; i < Host.MessageBoxes().size(); ++i)
            errors.push_back(Host.MessageBoxes()[i].Text);
        return errors;
    }

private:
    // Made before the windows that keep their settings in it.
    TMemoryRegistry FRegistry;

public:
    THeadlessHost Host;
    TApplication App{Host};
    TTxControlForm* Form = nullptr;
    TTransceiver* Trx = nullptr;
    TFakeRigServer* Rig = nullptr;

private:
    size_t FReported = 0;
};

TEST(FreqEntry, KeysFillTheEightPositionsAndSendTheEntry)
{
    struct TCase {
        const char* Name;
        std::optional<int32_t> Shown;
        std::string Keys; // "\r" Enter, "\x1b" Esc
        Freqs Sent;
        bool Editing;
        TLEDTexts Fields;
        bool Running;
        bool Taken; // the last key
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
         "'' is not a valid integer value."},
        {"eight zeros are blanks", 14200000, "00000000", {}, false, {"-  ", "   ", "  "}, false, false,
         "'' is not a valid integer value."},
        {"letter while idle", 14200000, "a", {}, false, {" 14", "200", "00"}, true, false, ""},
        {"Enter while idle", 14200000, "\r", {}, false, {" 14", "200", "00"}, true, false, ""},
        {"letter during an entry", 14200000, "5a", {}, true, {"---", "---", "-5"}, false, true, ""},
        {"not connected", 14200000, "5", {}, false, {" 14", "200", "00"}, true, false, "", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTunedWindow w(c.Shown);
        if (!c.Connected)
            w.LoseTheRig();
        EXPECT_EQ(w.Type(c.Keys), c.Taken);
        EXPECT_EQ(w.Sent(), c.Sent);
        EXPECT_EQ(w.Entry().Editing(), c.Editing);
        EXPECT_EQ(w.Fields(), c.Fields);
        EXPECT_EQ(w.DisplayRunning(), c.Running);
        EXPECT_EQ(w.Errors(), c.Error.empty() ? Texts{} : Texts{c.Error});
    }
}

TEST(FreqEntry, DoubleClickBeginsAnEntryOnlyWhenConnectedAndIdle)
{
    TTunedWindow w;
    w.LoseTheRig();
    w.Host.DoubleClick(*w.Form->Panel1);
    EXPECT_FALSE(w.Entry().Editing());
    EXPECT_TRUE(w.DisplayRunning());

    w.Rig->FailAll = false;
    w.Host.Advance(400);
    w.Host.DoubleClick(*w.Form->Panel1);
    w.Host.DoubleClick(*w.Form->MHz);
    EXPECT_TRUE(w.Entry().Editing());
    EXPECT_FALSE(w.DisplayRunning());
    EXPECT_EQ(w.Fields(), kDashes);
    EXPECT_EQ(w.Entry().SavedFreqText(), " 1420000") << "a second double click must not restart the entry";

    w.Type("\r"); // right after the double click: 0 Hz
    EXPECT_EQ(w.Sent(), Freqs{0});
    EXPECT_EQ(w.Fields(), (TLEDTexts{"000", "000", "00"}));
    EXPECT_TRUE(w.Errors().empty());
}

// The switch turned off and on again during an entry runs the display while
// the digits are being typed.
TEST(FreqEntry, DisplayTickNeverOverwritesDigitsBeingTyped)
{
    TTunedWindow w;
    w.Type("7");
    w.Host.Click(*w.Form->On_Offlbl);
    w.Rig->Radio.Freq = 3500000;
    w.Host.Click(*w.Form->On_Offlbl);
    w.Host.Advance(400);
    ASSERT_TRUE(w.DisplayRunning());
    EXPECT_EQ(w.Entry().FreqText(), "7");
    EXPECT_EQ(w.Fields(), kDashes) << "what switching off showed stays";

    w.Type("05000\r");
    EXPECT_EQ(w.Sent(), Freqs{7050000});
    w.Rig->Radio.Freq = 7050000;
    w.Host.Advance(400);
    EXPECT_EQ(w.Entry().FreqText(), "  705000");
    EXPECT_EQ(w.Fields(), (TLEDTexts{"  7", "050", "00"}));
}

TEST(FreqEntry, ActivationWhileOffEndsTheEntryAndNothingIsTunedUntilTheNextTick)
{
    TTunedWindow w;
    w.Type("7");
    w.Host.Click(*w.Form->On_Offlbl);
    w.Host.Deactivate(*w.Form);
    w.Host.Activate(*w.Form);
    EXPECT_FALSE(w.Entry().Editing());
    EXPECT_EQ(w.Entry().FreqText(), "");

    // Switched on again, before the display has ticked: an entry has nothing
    // to go back to (Esc just ends it), and a step nothing to step from.
    w.Host.Click(*w.Form->On_Offlbl);
    w.Type("5\x1b");
    EXPECT_FALSE(w.Entry().Editing());
    EXPECT_TRUE(w.DisplayRunning());
    w.Host.Click(*w.Form->tiUp1);
    EXPECT_TRUE(w.Sent().empty());
    w.Host.Advance(400);
    w.Host.Click(*w.Form->tiUp1);
    EXPECT_EQ(w.Sent(), Freqs{14200010});
    EXPECT_TRUE(w.Errors().empty());
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
        const char* Image;
        uint32_t Ms;
        Freqs Sent;
        TLEDTexts Fields; // the last repeat's, shown at once
    };
    const std::vector<TCase> cases = {
        {"tiUp100", 399, {14201000}, {" 14", "200", "00"}},
        {"tiUp1", 400, {14200010, 14200020}, {" 14", "200", "01"}},
        {"tiDn10", 950, {14199900, 14199800, 14199700, 14199600, 14199500, 14199400, 14199300}, {" 14", "199", "40"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Image);
        TTunedWindow w;
        auto* image = static_cast<TImage*>(w.Form->FindComponent(c.Image));
        ASSERT_TRUE(image);
        w.Host.MouseDown(*image, TMouseButton::mbLeft, 2, 2);
        EXPECT_FALSE(w.DisplayRunning()) << "the display stops while the image is held";
        w.Host.Advance(c.Ms);
        w.Host.MouseUp(*image, TMouseButton::mbLeft, 2, 2);
        EXPECT_EQ(w.Sent(), c.Sent);
        EXPECT_EQ(w.Fields(), c.Fields);
        EXPECT_TRUE(w.DisplayRunning());
        w.Host.Advance(1000);
        EXPECT_EQ(w.Sent(), c.Sent) << "no repeat after the release";
    }
}

TEST(FreqEntry, StepPressedDuringAnEntryCancelsItAndTunesFromTheSavedDigits)
{
    struct TCase {
        std::optional<int32_t> Shown;
        Freqs Sent;
        TLEDTexts Fields;
    };
    const std::vector<TCase> cases = {
        {14200000, {14201000}, {" 14", "200", "00"}},
        {std::nullopt, {}, kDashes}, // entry begun with nothing shown: nothing to tune from
    };
    for (const TCase& c : cases) {
        TTunedWindow w(c.Shown);
        w.Type("70");
        w.Host.MouseDown(*w.Form->tiUp100, TMouseButton::mbLeft, 2, 2);
        EXPECT_FALSE(w.Entry().Editing());
        EXPECT_EQ(w.Fields(), c.Fields);
        EXPECT_TRUE(w.Sent().empty());
        w.Host.MouseUp(*w.Form->tiUp100, TMouseButton::mbLeft, 2, 2);
        EXPECT_EQ(w.Sent(), c.Sent);
    }
}

TEST(FreqEntry, StepsAreIdleWhileAnEntryBegunDuringAHoldIsTyped)
{
    TTunedWindow w;
    w.Host.MouseDown(*w.Form->tiUp1, TMouseButton::mbLeft, 2, 2);
    w.Type("12");
    w.Host.Advance(500);
    w.Host.MouseUp(*w.Form->tiUp1, TMouseButton::mbLeft, 2, 2);
    w.Host.Advance(400);
    EXPECT_TRUE(w.Sent().empty());
    EXPECT_TRUE(w.Entry().Editing());
    EXPECT_EQ(w.Entry().FreqText(), "12");
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
