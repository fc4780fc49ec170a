// The main window through its real class on the headless host: start-up with
// stored settings, the switch, the display, tuning, keys and menus against the
// recording rig server.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/ComMainForm.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/TempFolder.h"
#include "widgets/FlatChrome.h"

namespace {

using namespace RigParams;
using Log = std::vector<std::string>;
constexpr TRegRoot kUser = TRegRoot::CurrentUser;
const char* const kKey = "software\\Velkor\\WindowPos";

class TMemoryListSpy : public IMemoryList {
public:
    void Show() override { Calls.push_back("show"); }
    void AddMemory(const std::string& name, const std::string& mode, int32_t freqA, int32_t freqB) override
    {
        Calls.push_back(Format("add %s %s %d %d", name.c_str(), mode.c_str(), freqA, freqB));
    }
    void CloseCheck(bool& canClose) override
    {
        Calls.push_back("close check");
        canClose = AllowClose;
    }
    Log Calls;
    bool AllowClose = true;
};

// The puts a test's actions sent, fetches and releases left out.
Log Puts(const Log& log)
{
    Log puts;
    for (const std::string& entry : log)
        if (entry.rfind("put", 0) == 0 || entry.rfind("dialog", 0) == 0)
            puts.push_back(entry);
    return puts;
}

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() : FOldDir(std::filesystem::current_path())
    {
        std::filesystem::current_path(FDir.Path());
        WriteBands("160m#1810000#2000000\r\n40m#7000000#7200000\r\n20m#14000000#14350000\r\n");
        App.SetTitle("Velkor");
    }
    ~MainFormTest() override
    {
        delete Form;
        delete Trx;
        std::filesystem::current_path(FOldDir);
    }

    void WriteBands(const std::string& text) { FDir.Write("velkor.ini", text); }

    // The program's start order: window, transceiver, memory list, first show.
    void Start()
    {
        Form = new TTxControlForm(&App, Reg);
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Rig->Radio = {"IC-SIM", 14200000, 14200000, 7050000, SSB_U, VFOAA};
        const uint32_t start = Host.TickCount();
        FirstPollAt = 0;
        Rig->DuringCall = [this, start] {
            if (!FirstPollAt)
                FirstPollAt = Host.TickCount() - start;
        };
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
        Form->Transceiver = Trx;
        Form->MemoryList = &List;
        Form->Show();
        Host.Activate(*Form);
    }

    // Switched on and polled, the display showing the rig.
    void StartOn()
    {
        Start();
        Host.Click(*Form->On_Offlbl);
        Host.Advance(400);
        Rig->ClearLog();
    }

    TMemoryRegistry Reg;
    THeadlessHost Host;
    TApplication App{Host};
    TMemoryListSpy List;
    TTxControlForm* Form = nullptr;
    TTransceiver* Trx = nullptr;
    TFakeRigServer* Rig = nullptr;
    uint32_t FirstPollAt = 0; // ms from the start to the first call on the rig

private:
    std::filesystem::path FOldDir;
    TTempFolder FDir{"velkor-main"};
};

TEST_F(MainFormTest, FirstStartWithoutStoredSettings)
{
    Start();
    EXPECT_EQ(Form->Width(), 229);
    EXPECT_EQ(Form->Height(), 103);
    EXPECT_EQ(Form->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "OFF");
    EXPECT_EQ(Form->On_Offlbl->Hint(), "Connect transceiver");
    EXPECT_EQ(Form->Titlebar->Caption(), "None");
    EXPECT_EQ((TLEDTexts{Form->MHz->Text(), Form->KHz->Text(), Form->Hz->Text()}), (TLEDTexts{"---", "---", "---"}));
    for (TLabel* label : {Form->ModeLbl, Form->Bandlbl, Form->lblVFO})
        EXPECT_EQ(label->Caption(), "------");
    EXPECT_EQ(Trx->Tim->Interval(), 200u);
    EXPECT_FALSE(Trx->Tim->Enabled());
    EXPECT_FALSE(Form->Timer1->Enabled());
    EXPECT_EQ(Form->BandMenu->Count(), 3);
    EXPECT_EQ(Form->BandMenu->Items(1)->Caption(), "40m");
    EXPECT_TRUE(Host.MessageBoxes().empty());
    Host.Advance(1000);
    EXPECT_TRUE(Rig->Log.empty()) << "nothing polls while off";
}

TEST_F(MainFormTest, StoredSettingsDecideTheSwitchAndThePollInterval)
{
    struct TCase {
        const char* Caption;
        const char* Tag;
        bool On;
        uint32_t Interval;
    } cases[] = {
        {"ON", "1000", true, 1000},
        {"ON", "0", true, 50},
        {"ON", "-5", true, 50},
        {"on", "200", false, 200},
        {"ONE", "200", false, 200},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Caption) + " " + c.Tag);
        Reg.SetString(kUser, kKey, "On_Offlbl_Caption", c.Caption);
        Reg.SetString(kUser, kKey, "lblSetup_Tag", c.Tag);
        Start();
        EXPECT_EQ(Form->On_Offlbl->Caption(), c.On ? "ON" : "OFF");
        EXPECT_EQ(Trx->Tim->Enabled(), c.On);
        EXPECT_EQ(Form->Timer1->Enabled(), c.On);
        EXPECT_EQ(Trx->Tim->Interval(), c.Interval);
        Host.Advance(2000);
        if (c.On) {
            EXPECT_EQ(FirstPollAt, c.Interval) << "the first poll comes one interval after the start";
        }
        delete Form;
        delete Trx;
        Form = nullptr;
        Trx = nullptr;
    }
}

// The stored properties are read into the switch and the interval, and the
// captions and tags write them back as the window made of them; a text that
// is no number is 0, one in hex is written back in decimal.
TEST_F(MainFormTest, StoredPropertiesComeBackAsTheWindowTookThem)
{
    struct TCase {
        const char* Stored[4]; // On_Offlbl.Caption, Titlebar.Caption, lblMemo.Tag, lblSetup.Tag; nullptr: missing
        bool On;
        int32_t Interval;
        const char* Saved[4];
    } cases[] = {
        {{nullptr, nullptr, nullptr, nullptr}, false, 200, {"OFF", "None", "400", "200"}},
        {{"ON", "IC-SIM", "400", "1000"}, true, 1000, {"ON", "IC-SIM", "400", "1000"}},
        {{" ON ", "  My rig ", " 7 ", " 300 "}, true, 300, {"ON", "My rig", "7", "300"}},
        {{"", "", "x", "abc"}, false, 0, {"OFF", "", "0", "0"}},
        {{"Off", "None", "-1", "-5"}, false, -5, {"OFF", "None", "-1", "-5"}},
        {{"ON", "a", "2147483648", "$3E8"}, true, 1000, {"ON", "a", "0", "1000"}},
    };
    const char* const names[4] = {"On_Offlbl_Caption", "Titlebar_Caption", "lblMemo_Tag", "lblSetup_Tag"};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Stored[0] ? c.Stored[0] : "(nothing stored)");
        Reg.DeleteKey(kUser, kKey);
        for (int i = 0; i < 4; ++i)
            if (c.Stored[i])
                Reg.SetString(kUser, kKey, names[i], c.Stored[i]);
        Start();
        EXPECT_EQ(Form->SwitchOn(), c.On);
        EXPECT_EQ(Form->PollInterval(), c.Interval);
        EXPECT_EQ(Form->On_Offlbl->Caption(), c.On ? "ON" : "OFF");
        Form->FormStorage1->SaveFormPlacement();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Reg.Value(kUser, kKey, names[i]), (TRegValue{RegType::kSz, c.Saved[i]})) << names[i];
        delete Form;
        delete Trx;
        Form = nullptr;
        Trx = nullptr;
    }
}

// Shown before there is a transceiver, the restore fails at the interval: the
// stored switch text stays and counts as on, and the window, never restored,
// writes nothing back.
TEST_F(MainFormTest, ARestoreWithoutTransceiverKeepsTheStoredSwitchText)
{
    Reg.SetString(kUser, kKey, "On_Offlbl_Caption", "maybe");
    Form = new TTxControlForm(&App, Reg);
    Form->Show();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "maybe");
    EXPECT_TRUE(Form->SwitchOn());
    Reg.ClearWrites();
    Form->FormStorage1->SaveFormPlacement();
    EXPECT_TRUE(Reg.Writes().empty());
}

TEST_F(MainFormTest, ARefusedCloseKeepsRunningAndWritesNothing)
{
    Start();
    List.AllowClose = false;
    Reg.ClearWrites();
    Form->Close();
    EXPECT_FALSE(Host.Terminated());
    EXPECT_TRUE(Reg.Writes().empty());
    EXPECT_EQ(List.Calls, (Log{"close check"}));

    List.AllowClose = true;
    Host.Click(*Form->FlatSpeedButton1);
    EXPECT_TRUE(Host.Terminated());
    auto caption = Reg.Value(kUser, kKey, "On_Offlbl_Caption");
    ASSERT_TRUE(caption);
    EXPECT_EQ(caption->Data, "OFF");
}

// The title bar's buttons: invisible on the bar until the mouse comes, pressed
// in while held; face, top-left and bottom-right of the frame, as painted.
TEST_F(MainFormTest, TheTitleBarButtonsShowOnlyUnderTheMouse)
{
    constexpr TColor kTitle = 9211797;
    Start();
    for (TFlatSpeedButton* button : {Form->FlatSpeedButton1, Form->FlatSpeedButton2}) {
        SCOPED_TRACE(button->Name());
        auto look = [&] {
            std::vector<TCanvasCall> calls;
            for (const TCanvasCall& call : Host.Paint(*Form))
                if (call.Origin == button->FormOffset())
                    calls.push_back(call);
            return calls.size() < 5 ? std::vector<TColor>{}
                                    : std::vector<TColor>{calls[0].BrushColor, calls[1].PenColor, calls[4].PenColor};
        };
        EXPECT_EQ(look(), (std::vector<TColor>{kTitle, kTitle, kTitle})) << "idle";
        Host.MouseMove(*button, 5, 5);
        EXPECT_EQ(look(), (std::vector<TColor>{clGray, kTitle, clBlack})) << "under the mouse";
        Host.MouseDown(*button, TMouseButton::mbLeft, 5, 5);
        EXPECT_EQ(look(), (std::vector<TColor>{kTitle, clBlack, kTitle})) << "pressed";
        Host.MouseMove(*button, 40, 5);
        Host.MouseUp(*button, TMouseButton::mbLeft, 40, 5);
        Host.MouseMove(*Form->Titlebar, 50, 5);
        EXPECT_EQ(look(), (std::vector<TColor>{kTitle, kTitle, kTitle})) << "idle again";
    }
    EXPECT_FALSE(Host.Terminated()) << "released off the button: no click";
}

TEST_F(MainFormTest, TheSwitchShowsTheRigAndSwitchingOffKeepsBandAndSecondVfo)
{
    Start();
    Rig->Radio.Vfo = VFOAB;
    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "ON");
    EXPECT_EQ(Form->On_Offlbl->Hint(), "Disconnect transceiver");
    Host.Advance(400);
    EXPECT_EQ((TLEDTexts{Form->MHz->Text(), Form->KHz->Text(), Form->Hz->Text()}), (TLEDTexts{" 14", "200", "00"}));
    EXPECT_EQ(Form->Bandlbl->Caption(), "20m");
    EXPECT_EQ(Form->ModeLbl->Caption(), "USB");
    EXPECT_EQ(Form->lblVFO->Caption(), "VFO A/B");
    EXPECT_EQ(Form->lbl2ndVFO->Caption(), "VFO B: 7.05000");

    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "OFF");
    EXPECT_EQ((TLEDTexts{Form->MHz->Text(), Form->KHz->Text(), Form->Hz->Text()}), (TLEDTexts{"---", "---", "--"}));
    EXPECT_EQ(Form->ModeLbl->Caption(), "------");
    EXPECT_EQ(Form->lblVFO->Caption(), "------");
    EXPECT_EQ(Form->Bandlbl->Caption(), "20m");
    EXPECT_EQ(Form->lbl2ndVFO->Caption(), "VFO B: 7.05000");
    EXPECT_FALSE(Trx->Tim->Enabled());
    EXPECT_FALSE(Form->Timer1->Enabled());
}

TEST_F(MainFormTest, AfterReactivationOneClickSwitchesOff)
{
    StartOn();
    Host.Deactivate(*Form);
    Host.Activate(*Form);
    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "OFF");
    EXPECT_FALSE(Trx->Tim->Enabled());
}

TEST_F(MainFormTest, ASecondClickInsideTheWaitSwitchesOffForGood)
{
    Start();
    Host.Schedule(100, [this] { Host.Click(*Form->On_Offlbl); });
    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "OFF");
    EXPECT_FALSE(Form->Timer1->Enabled()) << "no display under OFF";
    EXPECT_FALSE(Trx->SwitchedOn);
    EXPECT_FALSE(Trx->Tim->Enabled());
    // The next click switches on again.
    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "ON");
    EXPECT_TRUE(Form->Timer1->Enabled());
}

TEST_F(MainFormTest, ASteadyFrequencyRepaintsNothing)
{
    StartOn();
    Host.Paint(*Form);
    Host.Advance(100 * 50);
    for (const TRect& area : Host.WindowOf(*Form).Invalid)
        for (TCLEDLabel* led : {Form->MHz, Form->KHz, Form->Hz}) {
            const TPoint at = led->FormOffset();
            EXPECT_TRUE(area.Intersect({at.X, at.Y, at.X + led->Width(), at.Y + led->Height()}).IsEmpty())
                << led->Name() << " repainted at a steady frequency";
        }
    Rig->Radio.Freq = 14200100;
    Host.Advance(400);
    EXPECT_EQ(Form->Hz->Text(), "10");
}

// A poll's reading reaches the digits in the poll's own tick, not a display
// tick later; an entry under way and OFF keep theirs.
TEST_F(MainFormTest, APollsReadingShowsAtOnceUnlessTheDisplayIsStopped)
{
    const struct {
        const char* Before; // typed first, or "OFF" to switch off
        const char* Hz;     // the ten-hertz field right after one poll tick
    } cases[] = {{"", "10"}, {"7", "--"}, {"OFF", "--"}};
    for (const auto& c : cases) {
        StartOn();
        if (std::string(c.Before) == "OFF")
            Host.Click(*Form->On_Offlbl);
        else
            Host.Type(c.Before);
        Rig->Radio.Freq = 14200100;
        DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); });
        EXPECT_EQ(Form->Hz->Text(), c.Hz) << c.Before;
        delete std::exchange(Form, nullptr);
        delete std::exchange(Trx, nullptr);
    }
}

TEST_F(MainFormTest, TheTitleBarShowsTransmittingWithoutMovingAControl)
{
    StartOn();
    Rig->Keys = true;
    std::vector<TRect> before;
    for (TControl* control : {static_cast<TControl*>(Form->Titlebar), static_cast<TControl*>(Form->MHz),
                              static_cast<TControl*>(Form->FlatSpeedButton1)})
        before.push_back(control->BoundsRect());
    const int marker = 0;
    Trx->Set_Ptt(true, &marker);
    Host.Advance(400);
    EXPECT_EQ(Form->Titlebar->TitlebarColor(), FlatChrome::kTransmitTitleColor);
    EXPECT_EQ(Form->FlatSpeedButton2->Color(), FlatChrome::kTransmitTitleColor);
    Trx->ReleasePtt(&marker);
    Host.Advance(400);
    EXPECT_EQ(Form->Titlebar->TitlebarColor(), FlatChrome::kTitleColor);

    // Switching off releases the radio and the colour with it.
    Trx->Set_Ptt(true, &marker);
    Host.Advance(400);
    Host.Click(*Form->On_Offlbl);
    EXPECT_EQ(Rig->Radio.Ptt, 0);
    EXPECT_EQ(Form->Titlebar->TitlebarColor(), FlatChrome::kTitleColor);
    std::vector<TRect> after;
    for (TControl* control : {static_cast<TControl*>(Form->Titlebar), static_cast<TControl*>(Form->MHz),
                              static_cast<TControl*>(Form->FlatSpeedButton1)})
        after.push_back(control->BoundsRect());
    EXPECT_EQ(after, before);

    // Closing releases it before the program ends.
    Host.Click(*Form->On_Offlbl);
    Host.Advance(400);
    Trx->Set_Ptt(true, &marker);
    Form->Close();
    EXPECT_EQ(Rig->Radio.Ptt, 0);
}

TEST_F(MainFormTest, HoldingAStepImageRepeatsThenClicksOnce)
{
    StartOn();
    Host.MouseDown(*Form->tiDn10, TMouseButton::mbLeft, 2, 2);
    EXPECT_FALSE(Form->Timer1->Enabled()) << "the display waits while a step is held";
    Host.Advance(950);
    Host.MouseUp(*Form->tiDn10, TMouseButton::mbLeft, 2, 2);
    const Log puts = Puts(Rig->Log);
    ASSERT_EQ(puts.size(), 2u * 7) << "six repeats and the click, each to the VFO in use too";
    EXPECT_EQ(puts[0], "put Freq 14199900");
    EXPECT_EQ(puts[10], "put Freq 14199400");
    EXPECT_EQ(puts[12], "put Freq 14199300") << "the click steps on from where the repeat got to";
    EXPECT_TRUE(Form->Timer1->Enabled());
    EXPECT_EQ(Form->RepeatTimer(), nullptr);
}

TEST_F(MainFormTest, AFailingClickOrALostMouseEndsTheRepeatWithOneError)
{
    StartOn();
    Rig->FailAll = true;
    Host.Click(*Form->tiUp1);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Form->RepeatTimer(), nullptr) << "the mouse-up ran although the click failed";
    EXPECT_TRUE(Form->Timer1->Enabled());

    Rig->FailAll = false;
    Host.MouseDown(*Form->tiUp10, TMouseButton::mbLeft, 2, 2);
    TMessage lost{Msg::CaptureChanged, 0, 0, 0};
    Form->Dispatch(lost);
    EXPECT_EQ(Form->RepeatTimer(), nullptr);
    Rig->ClearLog();
    Host.Advance(1000);
    EXPECT_TRUE(Puts(Rig->Log).empty()) << "no repeat after the mouse went elsewhere";

    Trx->StopPolling(); // only the repeat talks to the rig now
    Rig->FailAll = true;
    Host.MouseDown(*Form->tiUp10, TMouseButton::mbLeft, 2, 2);
    Host.Advance(1000);
    EXPECT_EQ(Host.MessageBoxes().size(), 2u) << "a failing repeat ends the repeat";
    Host.MouseUp(*Form->tiUp10, TMouseButton::mbRight, 2, 2);
    EXPECT_EQ(Form->RepeatTimer(), nullptr);
}

// A step's rig call serves messages while it waits: the poll's error box may
// take the mouse there, ending the repeat inside the repeat's own tick.
TEST_F(MainFormTest, TheRepeatEndingInsideItsFailingStepFreesNoTimerInItsTick)
{
    StartOn();
    Trx->StopPolling();
    Host.MouseDown(*Form->tiUp10, TMouseButton::mbLeft, 2, 2);
    Rig->FailAll = true;
    bool lost = false;
    Rig->DuringCall = [&] {
        if (std::exchange(lost, true))
            return;
        TMessage captureChanged{Msg::CaptureChanged, 0, 0, 0};
        Form->Dispatch(captureChanged);
    };
    Host.Advance(1000);
    EXPECT_TRUE(lost);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Form->RepeatTimer(), nullptr);
    EXPECT_TRUE(Form->Timer1->Enabled());
    Rig->FailAll = false;
    Rig->ClearLog();
    Host.Advance(1000);
    EXPECT_TRUE(Puts(Rig->Log).empty()) << "the repeat ended for good";
    Host.MouseDown(*Form->tiUp10, TMouseButton::mbLeft, 2, 2);
    Host.MouseUp(*Form->tiUp10, TMouseButton::mbLeft, 2, 2);
    EXPECT_FALSE(Puts(Rig->Log).empty()) << "the next press tunes again";
}

// The wheel over a digit tunes by its place; the rig at 14.200.00 reads back
// nothing, so each case waits out the asked frequency before the next.
TEST_F(MainFormTest, TheWheelOverADigitTunesByItsPlace)
{
    StartOn();
    const struct {
        TControl* Field;
        int Cell; // its cell, or a pixel from the left when negative
        std::vector<int> Deltas;
        TShiftState Shift;
        int32_t Sent; // 0: nothing
    } cases[] = {
        {Form->MHz, 0, {120}, 0, 114200000},   {Form->MHz, 1, {-120}, 0, 4200000},
        {Form->MHz, 2, {240}, 0, 16200000},    {Form->KHz, 0, {120}, 0, 14300000},
        {Form->KHz, 1, {-120}, 0, 14190000},   {Form->KHz, 2, {40, 40, 40}, 0, 14201000},
        {Form->Hz, 0, {120}, 0, 14200100},     {Form->Hz, 1, {120}, ssShift, 14200100},
        {Form->Hz, 1, {80, -80}, 0, 0},        {Form->MHz, 1, {-240}, 0, 0},
        {Form->MHz, 0, {120}, ssShift, 0},     {Form->MHz, -52, {120}, 0, 0},
        {Form->Label2, -3, {120}, 0, 0},        {Form->Panel1, -1, {120}, 0, 0},
    };
    for (const auto& c : cases) {
        Rig->ClearLog();
        const int x = c.Cell < 0 ? -c.Cell : c.Cell * (c.Field == Form->Hz ? 14 : 17) + 8;
        for (int delta : c.Deltas)
            Host.TurnWheel(*c.Field, delta, x, 5, c.Shift);
        const Log puts = Puts(Rig->Log);
        EXPECT_EQ(puts, c.Sent ? Log({Format("put Freq %d", c.Sent), Format("put FreqA %d", c.Sent)}) : Log())
            << c.Field->Name() << " " << c.Cell;
        Host.Advance(kAskedFreqPatience + 200);
        ASSERT_EQ(Form->MHz->Text(), " 14") << "the asked frequency given up";
    }
}

// Fast steps add up from what was asked until the poll reads it back, and
// steps served while a command waits go out as one.
TEST_F(MainFormTest, TheWheelStepsFromWhatItAskedUntilThePollReadsItBack)
{
    StartOn();
    const auto turn = [this](int notches) { Host.MouseWheel(*Form->KHz, notches, 42, 5); };
    turn(1);
    Host.Advance(400);
    EXPECT_EQ(Form->KHz->Text(), "201") << "the poll still reads 14.200";
    bool served = false;
    Rig->DuringCall = [&] {
        if (!std::exchange(served, true))
            turn(1), turn(1);
    };
    turn(1);
    EXPECT_EQ(Puts(Rig->Log), Log({"put Freq 14201000", "put FreqA 14201000", "put Freq 14202000",
                                   "put FreqA 14202000", "put Freq 14204000", "put FreqA 14204000"}));
    Rig->Radio.Freq = 14204000;
    Host.Advance(250);
    EXPECT_FALSE(Form->Wheel().AskedFreq()) << "read back";
    Rig->Radio.Freq = 14200000;
    Host.Advance(250);
    EXPECT_EQ(Form->KHz->Text(), "200") << "a change at the rig shows once the asked one was read";

    Rig->FailAt = static_cast<int>(Rig->Log.size()) + 1;
    turn(1);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_FALSE(Form->Wheel().AskedFreq()) << "a failed command asks for nothing";
    Host.Click(*Form->On_Offlbl);
    Rig->ClearLog();
    turn(1);
    EXPECT_EQ(Puts(Rig->Log).size(), 2u) << "OFF, as a step image: sent from the digits";
    EXPECT_TRUE(Form->Timer1->Enabled());
}

// A rig that stops answering while a step is pending: the digits go back to
// the last reading instead of a frequency nobody confirmed.
TEST_F(MainFormTest, AWheelStepPendingWhenThePollFailsShowsTheLastReading)
{
    StartOn();
    Host.MouseWheel(*Form->KHz, 1, 42, 5);
    ASSERT_EQ(Form->KHz->Text(), "201");
    Rig->FailAll = true;
    Host.Advance(250);
    EXPECT_FALSE(Form->Wheel().AskedFreq());
    EXPECT_EQ(Form->KHz->Text(), "200");
    EXPECT_EQ(Host.MessageBoxes().size(), 1u) << "the failing poll is reported once";
}

TEST_F(MainFormTest, TypedDigitsTuneTheRig)
{
    StartOn();
    Host.Type("705000");
    EXPECT_EQ((TLEDTexts{Form->MHz->Text(), Form->KHz->Text(), Form->Hz->Text()}), (TLEDTexts{"--7", "050", "00"}));
    EXPECT_FALSE(Form->Timer1->Enabled());
    Host.Advance(200);
    EXPECT_EQ(Form->KHz->Text(), "050") << "the display does not overwrite the entry";
    Host.Type("\r");
    EXPECT_EQ(Puts(Rig->Log), (Log{"put Freq 7050000", "put FreqA 7050000"}));
    EXPECT_TRUE(Form->Timer1->Enabled());

    Rig->ClearLog();
    Host.Type("x");
    EXPECT_TRUE(Form->Timer1->Enabled()) << "a letter leaves the display running";
    Host.Type("00705000");
    EXPECT_EQ(Puts(Rig->Log), (Log{"put Freq 7050000", "put FreqA 7050000"}));
}

TEST_F(MainFormTest, ABandChoiceReturnsToWhereTheBandWasLeft)
{
    StartOn();
    Host.ChoosePopupItem("40m");
    Host.Click(*Form->Bandlbl);
    ASSERT_EQ(Host.Popups().size(), 1u);
    EXPECT_EQ(Host.Popups()[0].Menu, "BandMenu");
    EXPECT_EQ(Host.Popups()[0].Point, (TPoint{370 + 165, 113 + 35 + 19}));
    EXPECT_EQ(Puts(Rig->Log), (Log{"put Freq 7000000", "put FreqA 7000000"}));
    Rig->Radio.Freq = 7012340;
    Host.Advance(400);
    EXPECT_EQ(Form->Bandlbl->Caption(), "40m");
    Host.ChoosePopupItem("20m");
    Host.Click(*Form->Bandlbl);
    Host.ChoosePopupItem("40m");
    Host.Click(*Form->Bandlbl);
    EXPECT_EQ(Puts(Rig->Log).back(), "put FreqA 7012340");
}

TEST_F(MainFormTest, ABandNamedLikeAMenuLineIsABand)
{
    WriteBands("-#3500000#3800000\r\n");
    StartOn();
    ASSERT_FALSE(Form->BandMenu->Items(0)->IsLine());
    Host.ChoosePopupItem("-");
    Host.Click(*Form->Bandlbl);
    EXPECT_EQ(Puts(Rig->Log), (Log{"put Freq 3500000", "put FreqA 3500000"}));
}

TEST_F(MainFormTest, MenusAndShortcutsReachTheRigInOrder)
{
    StartOn();
    Host.ChoosePopupItem("CW-R");
    Host.KeyDown(Vk::F1 + 1); // F2: the mode menu
    Host.ChoosePopupItem("VFO B/A");
    Host.KeyDown(Vk::F1 + 2); // F3: the VFO menu
    Host.KeyDown(Vk::F10);
    EXPECT_EQ(Puts(Rig->Log), (Log{"put Mode 16777216", "put Vfo 4096", "put Vfo 512", "dialog true"}));
    EXPECT_EQ(Form->Titlebar->Caption(), "IC-SIM");
    EXPECT_EQ(Host.Popups().at(0).Point, (TPoint{370 + 165, 113 + 35 + 2}));

    Host.KeyDown(Vk::F4);
    Host.KeyDown(Vk::F4, ssCtrl);
    EXPECT_EQ(List.Calls, (Log{"show", "add New freq USB 14200000 -1"}));

    Host.KeyDown(Vk::F12);
    EXPECT_EQ(Form->On_Offlbl->Caption(), "OFF");
    Host.ChoosePopupItem("FM");
    Host.Click(*Form->ModeLbl);
    EXPECT_EQ(Host.Popups().size(), 2u) << "menus stay shut while not connected";
}

class TRigServerChoiceSpy : public IRigServerChoice {
public:
    bool ChosenHasOwnDialog() const override { return !Rigctld; }
    void ShowDialog(std::function<void()> accepted) override { ++Opened, Accepted = std::move(accepted); }
    bool Rigctld = true;
    int Opened = 0;
    std::function<void()> Accepted;
};

// While rigctld is chosen F10 opens the program's dialog, not the COM rig
// server's window; a rig that cannot be named after it is reported.
TEST_F(MainFormTest, TrxSettingsOpenTheRigServerDialogWhileRigctldIsChosen)
{
    TRigServerChoiceSpy choice;
    StartOn();
    Form->RigServerChoice = &choice;
    Host.KeyDown(Vk::F10);
    EXPECT_EQ(choice.Opened, 1);
    EXPECT_EQ(Puts(Rig->Log), Log{});
    Rig->FailAll = true;
    DispatchEvent(&App, choice.Accepted);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Rig is not responding.");
    EXPECT_EQ(Form->Titlebar->Caption(), "None");
}

TEST_F(MainFormTest, VfoToMemoryPassesTheFrequenciesOfTheArrangement)
{
    struct TCase {
        int32_t Vfo;
        const char* Expected;
    } cases[] = {
        {VFOAA, "add New freq USB 14200000 -1"},
        {VFOBB, "add New freq USB -1 7050000"},
        {VFOAB, "add New freq USB 14200000 7050000"},
        {VFOBA, "add New freq USB 14200000 7050000"},
    };
    StartOn();
    for (const TCase& c : cases) {
        Rig->Radio.Vfo = c.Vfo;
        Host.Advance(400);
        List.Calls.clear();
        Host.Click(*Form->lblMemoIn);
        EXPECT_EQ(List.Calls, (Log{c.Expected}));
    }
}

TEST_F(MainFormTest, AWrongBandsLineIsReportedOnceAndKeepsTheBandsBefore)
{
    WriteBands("80m#3500000#3800000\n40m # 7000000 # 7200000\n20m#14000000#14350000\n");
    Start();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Wrong bands file format");
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "Error");
    EXPECT_EQ(Form->BandMenu->Count(), 1);
}

} // namespace
