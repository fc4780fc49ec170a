#pragma once
// TTxControlForm: the main window. A small borderless window with the radio's
// frequency on three LED fields, mode, band and VFO labels, the ON/OFF switch,
// the step images and the popup menus. The rules it applies live in
// FreqDisplay, FreqEntry and BandsFile. ComMainFormLayout.cpp builds the window
// from its design and wires its events; ComMainForm.cpp holds the handlers,
// which apply those rules and talk to the transceiver.

#include <cstdint>
#include <memory>
#include <string>

#include "app/BandsFile.h"
#include "app/FreqEntry.h"
#include "app/MemoryListSeam.h"
#include "app/RigServerSeam.h"
#include "app/WheelTuning.h"
#include "rig/TransceiverUnit.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "widgets/CLEDLbl.h"
#include "widgets/FlatChrome.h"
#include "widgets/FormPlacement.h"

class TTxControlForm : public TForm {
public:
    // Builds the window and runs FormCreate, which reads the bands file from
    // the current directory; the window's place and settings are kept in
    // registry, which outlives it. The transceiver and the memory list come
    // later.
    TTxControlForm(TComponent* AOwner, IRegistry& registry);
    // Runs FormDestroy and lets go of its own hook while the whole window stands.
    ~TTxControlForm() override;

    // Set before the window is first shown.
    TTransceiver* Transceiver = nullptr;
    IMemoryList* MemoryList = nullptr;
    // Without it the COM rig server is the only one.
    IRigServerChoice* RigServerChoice = nullptr;

    // Published methods.
    void NewLEDFreq(int32_t Freq);
    void ChangeFreq(int32_t Units);

    // Event handlers.
    void FormCreate(TObject* Sender);
    void FormActivate(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void FormDestroy(TObject* Sender);
    void FormClick(TObject* Sender);
    void FormKeyPress(TObject* Sender, char& Key);
    void FormStorage1RestorePlacement(TObject* Sender);
    void Button_OpenClick(TObject* Sender);
    void FlatSpeedButton1Click(TObject* Sender);
    void FlatSpeedButton2Click(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void Panel1DblClick(TObject* Sender);
    void tiUp1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void tiUp1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void RepeatTimerTimer(TObject* Sender);
    // The wheel over the LED fields, shared by all three.
    void LEDMouseWheel(TObject* Sender, TShiftState Shift, int WheelDelta, int X, int Y, bool& Handled);
    void BandlblClick(TObject* Sender);
    void BandClick(TObject* Sender);
    void ModeLblClick(TObject* Sender);
    void ModeChangeClick(TObject* Sender);
    void lblVFOClick(TObject* Sender);
    void VFOSetClick(TObject* Sender);
    void lblMemoClick(TObject* Sender);
    void lblMemoInClick(TObject* Sender);
    void PortSettingsClick(TObject* Sender);
    void RigServerClick(TObject* Sender);

    // Controls and components, as the window is designed.
    TFlatTitlebar* Titlebar;
    TFlatSpeedButton* FlatSpeedButton1;
    TFlatSpeedButton* FlatSpeedButton2;
    TLabel* On_Offlbl;
    TLabel* lblMemo;
    TLabel* lblMemoIn;
    TLabel* lbl2ndVFO;
    TPanel* Panel1;
    TCLEDLabel* MHz;
    TCLEDLabel* KHz;
    TCLEDLabel* Hz;
    TLabel* Label2;
    TLabel* Label1;
    TImage* tiDn1;
    TImage* tiDn10;
    TImage* tiDn100;
    TImage* tiUp100;
    TImage* tiUp10;
    TImage* tiUp1;
    TLabel* ModeLbl;
    TLabel* Bandlbl;
    TLabel* lblVFO;
    TLabel* lbl2ndVFO1;
    TLabel* Label4;
    TLabel* lblSetup;
    TTimer* Timer1;
    TFormStorage* FormStorage1;
    TPopupMenu* ShortCutMenu;
    TPopupMenu* PopupMenu1;
    TPopupMenu* PopupMenu2;
    TPopupMenu* BandMenu;

    // The state shared with the display, tuning and entry rules.
    const TFreqEntry& Entry() const { return FEntry; }
    const TWheelTuning& Wheel() const { return FWheel; }
    const TBands& Bands() const { return FBands; }
    TTimer* RepeatTimer() const { return FRepeatTimer; }
    // The switch as last shown (On_Offlbl shows it and keeps it between runs).
    bool SwitchOn() const { return FSwitchOn; }
    // The poll interval in ms as restored (lblSetup's tag keeps it between
    // runs); 0 or less leaves the transceiver's timer as it is.
    int32_t PollInterval() const { return FPollInterval; }

    static constexpr TColor kFaceColor = FlatChrome::kFaceColor;
    static constexpr TColor kTitleColor = FlatChrome::kTitleColor;
    static constexpr uint32_t kSwitchWait = 200;
    static constexpr int32_t kDesignPollInterval = 200;

private:
    // The window as designed (ComMainFormLayout.cpp).
    void BuildWindow(IRegistry& registry);
    void BuildControls();
    void BuildMenus();
    TCLEDLabel* MakeLED(const char* name, TRect bounds, int chars);
    TImage* MakeStepImage(const char* name, int left, int width, int triangles, bool up);
    void ShowSwitch(bool on);
    void SwitchOff();
    void SetLEDTexts(const TLEDTexts& texts);
    void Apply(const TEntryStep& step);
    void EndRepeat();
    // Moves the frequency by Units display units from the digits shown.
    void WheelStep(int64_t Units);
    void AskWheelFreq(int32_t Freq);
    // Every frequency the window sends goes here: another command, switching
    // OFF or a failing step ends what the wheel asked for.
    void SendFreq(int32_t Freq);
    void DropWheelSteps();
    void DropRepeatTimer();
    void OpenMenuAt(TPopupMenu* menu, TControl* label);
    bool Connected() const;
    TTransceiver& Trx() const;
    // The title bar in the transmit colour while the radio transmits.
    void ShowTransmitting(bool on);

    TFreqEntry FEntry;
    TBands FBands;
    TTimer* FRepeatTimer = nullptr;
    TTimer* FEndedRepeatTimer = nullptr; // stopped inside its own tick, freed later
    bool FInRepeatTick = false;
    TWheelTuning FWheel;
    bool FWheelSending = false; // a wheel step's command is waiting for the rig server
    std::optional<int32_t> FWheelNext; // to send when it is done
    bool FSwitchOn = false;
    int32_t FPollInterval = kDesignPollInterval;
    // Gone with the form: a transceiver that outlives it shows nothing here.
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};
