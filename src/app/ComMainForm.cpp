#include "app/ComMainForm.h"

#include <utility>

#include "app/FreqDisplay.h"
#include "base/ScopeExit.h"
#include "base/SysUtils.h"
#include "rig/Frequencies.h"
#include "widgets/FlatChrome.h"

TTxControlForm::TTxControlForm(TComponent* AOwner, IRegistry& registry) : TForm(AOwner)
{
    BuildWindow(registry);

    // A step image that loses the mouse while held (a menu or another program
    // takes it) gets no mouse-up: end the repeat here.
    AddMessageHook(this, [this](TMessage& msg) {
        if (msg.Msg == Msg::CaptureChanged && MouseCaptureControl() && (FRepeatTimer || FEntry.RepeatActive()))
            DispatchEvent(&App(), [this] { EndRepeat(); });
    });

    DoCreate();
}

TTxControlForm::~TTxControlForm()
{
    BeforeDestruction();
    RemoveMessageHooks(this);
}

// ---------------------------------------------------------------- lifecycle

void TTxControlForm::FormCreate(TObject*)
{
    BandMenu->Clear();
    TBandsFile file = LoadBandsFile(kBandsFileName);
    FBands = std::move(file.Bands);
    for (size_t i = 0; i < file.MenuItemCount; ++i)
        BandMenu->AddItem(this, "", FBands[i].Name, 0, [this](TObject* s) { BandClick(s); });
    if (file.WrongFormat)
        App().ShowMessageBox(kWrongBandsFormat, kBandsErrorTitle, MsgBox::kOk | MsgBox::kIconError);
}

void TTxControlForm::FormStorage1RestorePlacement(TObject*)
{
    // The stored values are in the caption and the tag now; the form takes
    // them from there. Until the switch is shown anew below (not at all when
    // there is no transceiver yet), any text but "OFF" counts as on.
    FPollInterval = lblSetup->Tag();
    const std::string stored = On_Offlbl->Caption();
    FSwitchOn = stored != "OFF";
    // A stored interval of 0 or less would stop polling or spin: the timer's own stays.
    if (FPollInterval > 0)
        Trx().Tim->SetInterval(static_cast<uint32_t>(FPollInterval));
    // Only exactly "ON" switches on; any other stored text shows "OFF".
    ShowSwitch(false);
    if (stored == "ON")
        Button_OpenClick(this);
}

void TTxControlForm::FormActivate(TObject*)
{
    // While on, activation resets nothing: the switch and an entry stay as they are.
    if (FSwitchOn || !Transceiver)
        return;
    Transceiver->SwitchedOn = false;
    FEntry.Reset();
}

void TTxControlForm::FormCloseQuery(TObject*, bool& CanClose)
{
    CanClose = true;
    if (MemoryList)
        MemoryList->CloseCheck(CanClose);
    // Released while the rig server is still called: once the program ends,
    // its calls give up at once.
    if (CanClose && Transceiver)
        Transceiver->ReleaseAllPtt();
}

void TTxControlForm::FormDestroy(TObject*) { Timer1->SetEnabled(false); }

void TTxControlForm::FormClick(TObject*) { SetWindowState(TWindowState::wsNormal); }

void TTxControlForm::FlatSpeedButton1Click(TObject*) { Close(); }

void TTxControlForm::FlatSpeedButton2Click(TObject*) { App().Minimize(); }

// ---------------------------------------------------------------- the switch

void TTxControlForm::Button_OpenClick(TObject*)
{
    TTransceiver& trx = Trx();
    if (trx.SwitchedOn) {
        SwitchOff();
        trx.SwitchedOn = false;
        return;
    }
    if (FSwitchOn) {
        SwitchOff();
        return;
    }
    // A reading shows as soon as the poll has it, not a display tick later;
    // while the display is stopped (an entry under way) it waits as before.
    trx.OnRead = [this, alive = std::weak_ptr<int>(FAlive)] {
        if (alive.lock() && Timer1->Enabled())
            Timer1Timer(Timer1);
    };
    trx.StartPolling();
    ShowSwitch(true);
    On_Offlbl->SetHint("Disconnect transceiver");
    App().ProcessMessagesFor(kSwitchWait);
    // A second click inside the wait switched off again: the display must not
    // run under "OFF".
    if (!FSwitchOn)
        return;
    Timer1->SetEnabled(true);
    trx.SwitchedOn = true;
}

void TTxControlForm::ShowSwitch(bool on)
{
    FSwitchOn = on;
    On_Offlbl->SetCaption(on ? "ON" : "OFF");
}

void TTxControlForm::SwitchOff()
{
    Trx().StopPolling();
    ShowSwitch(false);
    On_Offlbl->SetHint("Connect transceiver");
    DropWheelSteps();
    ModeLbl->SetCaption("------");
    lblVFO->SetCaption("------");
    SetLEDTexts({"---", "---", "--"});
    Timer1->SetEnabled(false);
    ShowTransmitting(false);
}

void TTxControlForm::ShowTransmitting(bool on)
{
    FlatChrome::SetTitleColor(*Titlebar, {FlatSpeedButton1, FlatSpeedButton2},
                              on ? FlatChrome::kTransmitTitleColor : FlatChrome::kTitleColor);
}

// ---------------------------------------------------------------- display

void TTxControlForm::SetLEDTexts(const TLEDTexts& texts)
{
    // The LED fields repaint on every assignment: a steady frequency costs nothing.
    if (MHz->Text() != texts.MHz)
        MHz->SetText(texts.MHz);
    if (KHz->Text() != texts.KHz)
        KHz->SetText(texts.KHz);
    if (Hz->Text() != texts.Hz)
        Hz->SetText(texts.Hz);
}

void TTxControlForm::NewLEDFreq(int32_t Freq)
{
    if (auto texts = FEntry.NewLEDFreq(Freq))
        SetLEDTexts(*texts);
}

void TTxControlForm::Timer1Timer(TObject*)
{
    TTransceiver& trx = Trx();
    // A wheel step's frequency stays until the poll reads it back.
    const int32_t freq =
        FWheel.Shown(trx.Get_Freq(), trx.TicksRead(), trx.Get_Connected(), App().Events().TickCount());
    NewLEDFreq(freq);
    Bandlbl->SetCaption(BandName(FBands, freq));
    ModeLbl->SetCaption(trx.Get_Mode());
    const std::string vfo = trx.Get_VFO();
    lblVFO->SetCaption(vfo);
    lbl2ndVFO->SetCaption(SecondVFOText(vfo, trx.Get_FreqA(), trx.Get_FreqB()));
    // Keyed by a client here or, where the poll reads PTT, elsewhere.
    ShowTransmitting(trx.Get_Ptt());
}

// ---------------------------------------------------------------- tuning and entry

void TTxControlForm::Apply(const TEntryStep& step)
{
    if (step.StopDisplay)
        Timer1->SetEnabled(false);
    if (step.Error)
        throw EConvertError(*step.Error);
    if (step.Fields)
        SetLEDTexts(*step.Fields);
    if (step.StartDisplay)
        Timer1->SetEnabled(true);
    if (step.SendFreq)
        SendFreq(*step.SendFreq);
}

void TTxControlForm::SendFreq(int32_t Freq)
{
    DropWheelSteps();
    Trx().Set_Freq(Freq);
}

void TTxControlForm::DropWheelSteps()
{
    FWheel.Drop();
    FWheelNext.reset();
}

void TTxControlForm::ChangeFreq(int32_t Units)
{
    if (auto freq = FEntry.ChangeFreq(Units))
        SendFreq(*freq);
}

void TTxControlForm::LEDMouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, int X, int, bool& Handled)
{
    // The LED fields take every turn; off their digits it does nothing.
    Handled = true;
    const auto* led = static_cast<const TCLEDLabel*>(Sender);
    const std::optional<int32_t> units = DigitUnits(led->Name(), led->CellAt(X));
    if (!units)
        return;
    const int notches = FWheel.Notches(*units, WheelDelta);
    // Digits being typed are no frequency to step from.
    if (notches == 0 || FEntry.Editing())
        return;
    WheelStep(int64_t{*units} * notches * ((Shift & ssShift) ? 10 : 1));
}

void TTxControlForm::WheelStep(int64_t Units)
{
    // A step past what the digits show or any radio takes does nothing.
    if (Units < -kHighestFreq / 10 || Units > kHighestFreq / 10)
        return;
    const std::optional<int32_t> freq = FEntry.ChangeFreq(static_cast<int32_t>(Units));
    if (!freq || !InFreqRange(*freq))
        return;
    if (!Connected()) {
        // OFF or failing: as a step image's click and release, the display
        // running afterwards even when the command failed.
        TScopeExit display([this] { Timer1->SetEnabled(true); });
        SendFreq(*freq);
        return;
    }
    NewLEDFreq(*freq);
    Bandlbl->SetCaption(BandName(FBands, *freq));
    // A step served while an earlier one's command waits goes out when that
    // is done; only the newest of them.
    if (FWheelSending) {
        AskWheelFreq(*freq);
        FWheelNext = *freq;
        return;
    }
    FWheelSending = true;
    TScopeExit sendingEnd([this] { FWheelSending = false; });
    for (std::optional<int32_t> next = freq; next; next = std::exchange(FWheelNext, std::nullopt)) {
        AskWheelFreq(*next);
        try {
            Trx().Set_Freq(*next);
        } catch (...) {
            DropWheelSteps();
            throw;
        }
    }
}

void TTxControlForm::AskWheelFreq(int32_t Freq)
{
    const TTransceiver& trx = Trx();
    FWheel.Asked(Freq, App().Events().TickCount(), trx.TicksRead() + (trx.InTick() ? 1 : 0));
}

void TTxControlForm::Panel1DblClick(TObject*) { Apply(FEntry.Panel1DblClick(Connected())); }

void TTxControlForm::FormKeyPress(TObject*, char& Key)
{
    const TEntryStep step = FEntry.FormKeyPress(Key, Connected());
    if (step.ConsumeKey)
        Key = 0;
    Apply(step);
}

void TTxControlForm::tiUp1MouseDown(TObject* Sender, TMouseButton, TShiftState, int, int)
{
    // A second button pressed during a hold starts nothing more.
    if (FRepeatTimer || FEntry.RepeatActive())
        return;
    const auto kind = RepeatKindOf(static_cast<TComponent*>(Sender)->Name());
    if (!kind)
        return;
    delete std::exchange(FEndedRepeatTimer, nullptr);
    const TEntryStep step = FEntry.StepMouseDown(*kind);
    FRepeatTimer = new TTimer(this);
    FRepeatTimer->SetName("RepeatTimer");
    FRepeatTimer->SetInterval(kFirstRepeatInterval);
    FRepeatTimer->OnTimer = [this](TObject* sender) { RepeatTimerTimer(sender); };
    Apply(step);
}

void TTxControlForm::tiUp1MouseUp(TObject*, TMouseButton, TShiftState, int, int) { EndRepeat(); }

void TTxControlForm::EndRepeat()
{
    if (!FRepeatTimer && !FEntry.RepeatActive())
        return;
    const TEntryStep step = FEntry.StepMouseUp();
    DropRepeatTimer();
    Apply(step);
}

void TTxControlForm::DropRepeatTimer()
{
    TTimer* timer = std::exchange(FRepeatTimer, nullptr);
    if (!timer)
        return;
    // A step's rig call serves messages while it waits, so the repeat may end
    // inside its own tick (the capture lost to an error box): the timer is
    // then only stopped, and freed at the next press or with the window.
    if (FInRepeatTick) {
        timer->SetEnabled(false);
        delete std::exchange(FEndedRepeatTimer, timer);
        return;
    }
    delete timer;
}

void TTxControlForm::RepeatTimerTimer(TObject*)
{
    if (!FEntry.RepeatActive() || !FRepeatTimer)
        return;
    FInRepeatTick = true;
    TScopeExit tickEnd([this] { FInRepeatTick = false; });
    FRepeatTimer->SetInterval(kRepeatInterval);
    const TEntryStep step = FEntry.RepeatTimerTimer();
    try {
        Apply(step);
    } catch (...) {
        // A failing step ends the repeat; the timer itself goes at the mouse-up,
        // not inside its own tick. The repeat may have ended meanwhile.
        if (FRepeatTimer)
            FRepeatTimer->SetEnabled(false);
        if (FEntry.RepeatActive() && FEntry.StepMouseUp().StartDisplay)
            Timer1->SetEnabled(true);
        throw;
    }
}

// ---------------------------------------------------------------- menus

bool TTxControlForm::Connected() const { return Transceiver && Transceiver->Get_Connected(); }

TTransceiver& TTxControlForm::Trx() const
{
    if (!Transceiver)
        throw EInvalidOperation("The transceiver does not exist yet");
    return *Transceiver;
}

void TTxControlForm::OpenMenuAt(TPopupMenu* menu, TControl* label)
{
    if (!Connected())
        return;
    menu->Popup(Left() + label->Left(), Top() + Panel1->Top() + label->Top());
}

void TTxControlForm::BandlblClick(TObject*) { OpenMenuAt(BandMenu, Bandlbl); }

void TTxControlForm::BandClick(TObject* Sender)
{
    const std::string name = static_cast<TMenuItem*>(Sender)->Caption();
    const std::optional<int32_t> freq = ::BandClick(FBands, Bandlbl->Caption(), name, Trx().Get_Freq());
    Bandlbl->SetCaption(name);
    if (freq)
        SendFreq(*freq);
}

void TTxControlForm::ModeLblClick(TObject*) { OpenMenuAt(PopupMenu1, ModeLbl); }

void TTxControlForm::ModeChangeClick(TObject* Sender) { Trx().Set_Mode(static_cast<TMenuItem*>(Sender)->Caption()); }

void TTxControlForm::lblVFOClick(TObject*) { OpenMenuAt(PopupMenu2, lblVFO); }

void TTxControlForm::VFOSetClick(TObject* Sender) { Trx().Set_VFO(static_cast<TMenuItem*>(Sender)->Caption()); }

void TTxControlForm::lblMemoClick(TObject*)
{
    if (MemoryList)
        MemoryList->Show();
}

void TTxControlForm::lblMemoInClick(TObject*)
{
    if (!MemoryList)
        return;
    TTransceiver& trx = Trx();
    // The arrangement is read afresh for each test, as the table lists them.
    if (trx.Get_VFO() == "VFO A/A")
        MemoryList->AddMemory("New freq", trx.Get_Mode(), trx.Get_FreqA(), -1);
    else if (trx.Get_VFO() == "VFO B/B")
        MemoryList->AddMemory("New freq", trx.Get_Mode(), -1, trx.Get_FreqB());
    else if (trx.Get_VFO() == "VFO A/B" || trx.Get_VFO() == "VFO B/A")
        MemoryList->AddMemory("New freq", trx.Get_Mode(), trx.Get_FreqA(), trx.Get_FreqB());
}

void TTxControlForm::PortSettingsClick(TObject* Sender)
{
    // A rig server without a settings window of its own is set in ours.
    if (RigServerChoice && !RigServerChoice->ChosenHasOwnDialog()) {
        RigServerClick(Sender);
        return;
    }
    Titlebar->SetCaption(Trx().OpenRigDialog());
}

void TTxControlForm::RigServerClick(TObject*)
{
    if (!RigServerChoice)
        return;
    RigServerChoice->ShowDialog([this] { Titlebar->SetCaption(Trx().Get_RigType()); });
}
