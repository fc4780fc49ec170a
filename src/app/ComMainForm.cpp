#include "app/ComMainForm.h"

#include "app/FreqDisplay.h"
#include "base/SysUtils.h"

TTxControlForm* TxControlForm = nullptr;

namespace {

constexpr TColor kStepGround = clWhite; // the images' transparent colour

// Step image: black triangles on the transparent ground, pointing left (down)
// or right (up), five pixels wide and nine high, each one four pixels on.
TBitmap StepBitmap(int width, int triangles, bool up)
{
    TBitmap bitmap(width, 15, kStepGround);
    const int first = (width - (4 * triangles + 1)) / 2;
    for (int t = 0; t < triangles; ++t) {
        const int left = first + 4 * t;
        for (int row = 0; row < 9; ++row) {
            const int inset = row < 4 ? 4 - row : row - 4; // distance from the middle row
            for (int x = 0; x < 5 - inset; ++x)
                bitmap.SetPixel(up ? left + x : left + 4 - x, 3 + row, clBlack);
        }
    }
    return bitmap;
}

void CenteredBold(TLabel* label)
{
    label->SetAlignment(TAlignment::taCenter);
    label->Font().SetStyle(fsBold);
}

} // namespace

TTxControlForm::TTxControlForm(TComponent* AOwner) : TForm(AOwner)
{
    TxControlForm = this;
    SetName("TxControlForm");
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetCaption("Velkor - Transceiver control module");
    SetBounds(370, 113, 229, 103);
    SetColor(clBlack);
    SetKeyPreview(true);
    BuildControls();
    BuildMenus();
    SetPopupMenu(ShortCutMenu);

    Timer1 = new TTimer(this);
    Timer1->SetName("Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(50);
    Timer1->OnTimer = [this](TObject* sender) { Timer1Timer(sender); };

    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnActivate = [this](TObject* sender) { FormActivate(sender); };
    OnCloseQuery = [this](TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    OnDestroy = [this](TObject* sender) { FormDestroy(sender); };
    OnClick = [this](TObject* sender) { FormClick(sender); };
    OnKeyPress = [this](TObject* sender, char& key) { FormKeyPress(sender, key); };

    // Made after the handlers above, which it wraps.
    FormStorage1 = new TFormStorage(this);
    FormStorage1->SetName("FormStorage1");
    FormStorage1->SetIniSection("\\software\\Velkor\\WindowPos");
    FormStorage1->SetStoredProps({"On_Offlbl.Caption", "Titlebar.Caption", "lblMemo.Tag", "lblSetup.Tag"});
    FormStorage1->OnRestorePlacement = [this](TObject* sender) { FormStorage1RestorePlacement(sender); };

    // A step image that loses the mouse while held (a menu or another program
    // takes it) gets no mouse-up: end the repeat here.
    AddMessageHook(this, [this](TMessage& msg) {
        if (msg.Msg == Msg::CaptureChanged && MouseCaptureControl() && (FRepeatTimer || FEntry.RepeatActive()))
            DispatchEvent([this] { EndRepeat(); });
    });

    DoCreate();
}

TTxControlForm::~TTxControlForm()
{
    BeforeDestruction();
    RemoveMessageHooks(this);
    if (TxControlForm == this)
        TxControlForm = nullptr;
}

TLabel* TTxControlForm::MakeLabel(TWinControl* parent, const char* name, TRect bounds, const char* caption)
{
    auto* label = new TLabel(this);
    label->SetName(name);
    label->SetParent(parent);
    label->SetBounds(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    label->SetCaption(caption);
    label->SetColor(kFaceColor);
    label->Font().SetColor(clBlack);
    return label;
}

TCLEDLabel* TTxControlForm::MakeLED(const char* name, TRect bounds, int chars)
{
    auto* led = new TCLEDLabel(this);
    led->SetName(name);
    led->SetParent(Panel1);
    led->SetBounds(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom);
    led->SetNumChars(chars);
    led->SetOnColor(clBlack);
    led->SetOffColor(kFaceColor);
    led->SetBackGroundColor(kFaceColor);
    led->SetSegmentBorderColor(clBlack);
    led->SetSegmentThickness(2);
    led->SetBorderGap(1);
    led->SetHorzMargine(1);
    led->SetVertMargine(1);
    led->SetAlignment(TTextAlign::TTARight);
    led->SetText("---");
    led->OnDblClick = [this](TObject* sender) { Panel1DblClick(sender); };
    return led;
}

TImage* TTxControlForm::MakeStepImage(const char* name, int left, int width, int triangles, bool up)
{
    auto* image = new TImage(this);
    image->SetName(name);
    image->SetParent(Panel1);
    image->SetBounds(left, 36, width, 15);
    image->SetPicture(StepBitmap(width, triangles, up));
    image->SetTransparent(true);
    const int32_t units = StepUnits(*RepeatKindOf(name));
    image->OnClick = [this, units](TObject*) { ChangeFreq(units); };
    image->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        tiUp1MouseDown(s, b, sh, x, y);
    };
    image->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        tiUp1MouseUp(s, b, sh, x, y);
    };
    return image;
}

void TTxControlForm::BuildControls()
{
    Titlebar = new TFlatTitlebar(this);
    Titlebar->SetName("Titlebar");
    Titlebar->SetParent(this);
    Titlebar->SetBounds(2, 2, 225, 18);
    Titlebar->SetCaption("None");
    Titlebar->SetTitlebarColor(kTitleColor);
    Titlebar->SetActiveTextColor(clWhite);
    Titlebar->SetInactiveTextColor(clSilver);
    Titlebar->Font().SetStyle(fsBold);

    auto makeButton = [this](const char* name, int left, const char* hint) {
        auto* button = new TFlatSpeedButton(this);
        button->SetName(name);
        button->SetParent(Titlebar);
        button->SetBounds(left, 2, 16, 15);
        button->SetColor(kTitleColor);
        button->SetColorFocused(clGray);
        button->SetHint(hint);
        button->SetShowHint(true);
        return button;
    };
    FlatSpeedButton1 = makeButton("FlatSpeedButton1", 208, "Close");
    FlatSpeedButton1->SetCaption("X");
    FlatSpeedButton1->OnClick = [this](TObject* sender) { FlatSpeedButton1Click(sender); };
    FlatSpeedButton2 = makeButton("FlatSpeedButton2", 192, "Minimize");
    FlatSpeedButton2->SetGlyph(MinimizeGlyph());
    FlatSpeedButton2->OnClick = [this](TObject* sender) { FlatSpeedButton2Click(sender); };

    On_Offlbl = MakeLabel(this, "On_Offlbl", {2, 21, 30, 13}, "OFF");
    CenteredBold(On_Offlbl);
    On_Offlbl->SetHint("Connect transceiver");
    On_Offlbl->SetShowHint(true);
    On_Offlbl->OnClick = [this](TObject* sender) { Button_OpenClick(sender); };

    lblMemo = MakeLabel(this, "lblMemo", {33, 21, 49, 13}, "Memory");
    lblMemo->SetAlignment(TAlignment::taCenter);
    lblMemo->Font().SetName("Arial");
    lblMemo->Font().SetSize(8);
    lblMemo->SetTag(400);
    lblMemo->OnClick = [this](TObject* sender) { lblMemoClick(sender); };

    lblMemoIn = MakeLabel(this, "lblMemoIn", {83, 21, 46, 13}, "VFO->M");
    lblMemoIn->SetAlignment(TAlignment::taCenter);
    lblMemoIn->OnClick = [this](TObject* sender) { lblMemoInClick(sender); };

    lbl2ndVFO = MakeLabel(this, "lbl2ndVFO", {130, 21, 97, 13}, "");
    lbl2ndVFO->SetAlignment(TAlignment::taCenter);
    lbl2ndVFO->SetHint("Change mode");
    lbl2ndVFO->SetShowHint(true);

    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(2, 35, 225, 51);
    Panel1->SetColor(kFaceColor);
    Panel1->OnDblClick = [this](TObject* sender) { Panel1DblClick(sender); };

    MHz = MakeLED("MHz", {8, 2, 53, 32}, 3);
    KHz = MakeLED("KHz", {67, 2, 53, 32}, 3);
    Hz = MakeLED("Hz", {126, 10, 28, 24}, 2);

    for (auto [label, name, left] : {std::tuple{&Label2, "Label2", 60}, std::tuple{&Label1, "Label1", 119}}) {
        *label = MakeLabel(Panel1, name, {left, 13, 7, 24}, ".");
        (*label)->Font().SetStyle(fsBold);
        (*label)->Font().SetHeight(-19);
        (*label)->OnDblClick = [this](TObject* sender) { Panel1DblClick(sender); };
    }

    tiDn1 = MakeStepImage("tiDn1", 22, 15, 1, false);
    tiDn10 = MakeStepImage("tiDn10", 39, 15, 2, false);
    tiDn100 = MakeStepImage("tiDn100", 57, 22, 3, false);
    tiUp100 = MakeStepImage("tiUp100", 84, 22, 3, true);
    tiUp10 = MakeStepImage("tiUp10", 110, 15, 2, true);
    tiUp1 = MakeStepImage("tiUp1", 127, 15, 1, true);

    auto makeMenuLabel = [this](const char* name, int top, TNotifyEvent onClick) {
        TLabel* label = MakeLabel(Panel1, name, {165, top, 55, 13}, "------");
        CenteredBold(label);
        label->SetHint("Change mode");
        label->SetShowHint(true);
        label->OnClick = std::move(onClick);
        return label;
    };
    ModeLbl = makeMenuLabel("ModeLbl", 2, [this](TObject* sender) { ModeLblClick(sender); });
    Bandlbl = makeMenuLabel("Bandlbl", 19, [this](TObject* sender) { BandlblClick(sender); });
    lblVFO = makeMenuLabel("lblVFO", 36, [this](TObject* sender) { lblVFOClick(sender); });

    lbl2ndVFO1 = MakeLabel(this, "lbl2ndVFO1", {2, 87, 91, 14}, " Velkor v.1.0");
    lbl2ndVFO1->Font().SetName("Microsoft Sans Serif");
    lbl2ndVFO1->Font().SetHeight(-9);

    Label4 = MakeLabel(this, "Label4", {94, 87, 62, 14}, "");
    CenteredBold(Label4);
    Label4->SetHint("Change mode");
    Label4->SetShowHint(true);

    lblSetup = MakeLabel(this, "lblSetup", {157, 87, 70, 14}, "TRX settings");
    lblSetup->SetAlignment(TAlignment::taCenter);
    lblSetup->Font().SetName("Arial");
    lblSetup->Font().SetSize(8);
    lblSetup->SetTag(200);
    lblSetup->OnClick = [this](TObject* sender) { PortSettingsClick(sender); };
}

void TTxControlForm::BuildMenus()
{
    auto makeMenu = [this](const char* name) {
        auto* menu = new TPopupMenu(this);
        menu->SetName(name);
        return menu;
    };
    ShortCutMenu = makeMenu("ShortCutMenu");
    ShortCutMenu->AddItem(this, "Help1", "Help", Vk::F1, {});
    ShortCutMenu->AddItem(this, "Mode1", "Mode", Vk::F1 + 1, [this](TObject* s) { ModeLblClick(s); });
    ShortCutMenu->AddItem(this, "SelectVFO1", "Select VFO", Vk::F1 + 2, [this](TObject* s) { lblVFOClick(s); });
    ShortCutMenu->AddItem(this, "Memorylist1", "Memory list", Vk::F4, [this](TObject* s) { lblMemoClick(s); });
    ShortCutMenu->AddItem(this, "Addtomemorylist1", "Add to memory list", scCtrl | Vk::F4,
            [this](TObject* s) { lblMemoInClick(s); });
    ShortCutMenu->AddItem(this, "TRXsettings1", "TRX settings", Vk::F10, [this](TObject* s) { PortSettingsClick(s); });
    ShortCutMenu->AddItem(this, "TRXonoff1", "TRX on/off", Vk::F12, [this](TObject* s) { Button_OpenClick(s); });

    PopupMenu1 = makeMenu("PopupMenu1");
    for (const char* mode : {"CW", "USB", "LSB", "DIGI", "AM", "FM", "CW-R", "DIGI-R"})
        PopupMenu1->AddItem(this, "", mode, 0, [this](TObject* s) { ModeChangeClick(s); });
    PopupMenu2 = makeMenu("PopupMenu2");
    for (const char* vfo : {"VFO A/A", "VFO A/B", "VFO B/B", "VFO B/A"})
        PopupMenu2->AddItem(this, "", vfo, 0, [this](TObject* s) { VFOSetClick(s); });
    BandMenu = makeMenu("BandMenu");
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
        Application->ShowMessageBox(kWrongBandsFormat, kBandsErrorTitle, MsgBox::kOk | MsgBox::kIconError);
}

void TTxControlForm::FormStorage1RestorePlacement(TObject*)
{
    // A stored interval of 0 or less would stop polling or spin: the timer's own stays.
    if (lblSetup->Tag() > 0)
        Trx().Tim->SetInterval(static_cast<uint32_t>(lblSetup->Tag()));
    // Only exactly "ON" switches on; any other stored text shows "OFF".
    const bool wasOn = On_Offlbl->Caption() == "ON";
    On_Offlbl->SetCaption("OFF");
    if (wasOn)
        Button_OpenClick(this);
}

void TTxControlForm::FormActivate(TObject*)
{
    // While on, activation resets nothing: the switch and an entry stay as they are.
    if (On_Offlbl->Caption() != "OFF" || !Transceiver)
        return;
    Transceiver->SwitchedOn = false;
    FEntry.Reset();
}

void TTxControlForm::FormCloseQuery(TObject*, bool& CanClose)
{
    CanClose = true;
    if (MemoryList)
        MemoryList->CloseCheck(CanClose);
}

void TTxControlForm::FormDestroy(TObject*) { Timer1->SetEnabled(false); }

void TTxControlForm::FormClick(TObject*) { SetWindowState(TWindowState::wsNormal); }

void TTxControlForm::FlatSpeedButton1Click(TObject*) { Close(); }

void TTxControlForm::FlatSpeedButton2Click(TObject*) { Application->Minimize(); }

// ---------------------------------------------------------------- the switch

void TTxControlForm::Button_OpenClick(TObject*)
{
    TTransceiver& trx = Trx();
    if (trx.SwitchedOn) {
        SwitchOff();
        trx.SwitchedOn = false;
        return;
    }
    if (On_Offlbl->Caption() != "OFF") {
        SwitchOff();
        return;
    }
    trx.StartPolling();
    On_Offlbl->SetCaption("ON");
    On_Offlbl->SetHint("Disconnect transceiver");
    Application->ProcessMessagesFor(kSwitchWait);
    // A second click inside the wait switched off again: the display must not
    // run under "OFF".
    if (On_Offlbl->Caption() != "ON")
        return;
    Timer1->SetEnabled(true);
    trx.SwitchedOn = true;
}

void TTxControlForm::SwitchOff()
{
    Trx().StopPolling();
    On_Offlbl->SetCaption("OFF");
    On_Offlbl->SetHint("Connect transceiver");
    ModeLbl->SetCaption("------");
    lblVFO->SetCaption("------");
    SetLEDTexts({"---", "---", "--"});
    Timer1->SetEnabled(false);
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
    const int32_t freq = trx.Get_Freq();
    NewLEDFreq(freq);
    Bandlbl->SetCaption(BandName(FBands, freq));
    ModeLbl->SetCaption(trx.Get_Mode());
    lblVFO->SetCaption(trx.Get_VFO());
    lbl2ndVFO->SetCaption(SecondVFOText(lblVFO->Caption(), trx.Get_FreqA(), trx.Get_FreqB()));
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
        Trx().Set_Freq(*step.SendFreq);
}

void TTxControlForm::ChangeFreq(int32_t Units)
{
    if (auto freq = FEntry.ChangeFreq(Units))
        Trx().Set_Freq(*freq);
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
    delete FRepeatTimer;
    FRepeatTimer = nullptr;
    Apply(step);
}

void TTxControlForm::RepeatTimerTimer(TObject*)
{
    if (!FEntry.RepeatActive())
        return;
    FRepeatTimer->SetInterval(kRepeatInterval);
    const TEntryStep step = FEntry.RepeatTimerTimer();
    try {
        Apply(step);
    } catch (...) {
        // A failing step ends the repeat; the timer itself goes at the mouse-up,
        // not inside its own tick.
        FRepeatTimer->SetEnabled(false);
        if (FEntry.StepMouseUp().StartDisplay)
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
        Trx().Set_Freq(*freq);
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

void TTxControlForm::PortSettingsClick(TObject*)
{
    TTransceiver& trx = Trx();
    trx.OmniRigX1().ShowRigDialog(true);
    Titlebar->SetCaption(trx.Get_RigType());
}
