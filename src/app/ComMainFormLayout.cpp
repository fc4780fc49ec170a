// The main window as designed: its controls and components with their design
// values, the step images' bitmaps, the popup menus, and the events wired to
// the handlers in ComMainForm.cpp.
#include "app/ComMainForm.h"

#include <tuple>
#include <utility>

#include "app/FreqEntry.h"
#include "platform/ProgramKey.h"

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

void TTxControlForm::BuildWindow(IRegistry& registry)
{
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
    FormStorage1 = new TFormStorage(this, registry);
    FormStorage1->SetName("FormStorage1");
    FormStorage1->SetIniSection(kMainWindowPlacementKey);
    FormStorage1->SetStoredProps({"On_Offlbl.Caption", "Titlebar.Caption", "lblMemo.Tag", "lblSetup.Tag"});
    FormStorage1->OnRestorePlacement = [this](TObject* sender) { FormStorage1RestorePlacement(sender); };
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
    led->OnMouseWheel = [this](TObject* sender, TShiftState shift, int delta, int x, int y, bool& handled) {
        LEDMouseWheel(sender, shift, delta, x, y, handled);
    };
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
    const FlatChrome::TTitle title =
        FlatChrome::MakeTitle(*this, {"Titlebar", {2, 2, 225, 18}, "None", "FlatSpeedButton1", 208});
    Titlebar = title.Bar;
    FlatSpeedButton1 = title.Close;
    FlatSpeedButton1->OnClick = [this](TObject* sender) { FlatSpeedButton1Click(sender); };
    FlatSpeedButton2 = FlatChrome::MakeTitleButton(*this, *Titlebar, "FlatSpeedButton2", 192, "Minimize");
    FlatSpeedButton2->SetGlyph(MinimizeGlyph());
    FlatSpeedButton2->OnClick = [this](TObject* sender) { FlatSpeedButton2Click(sender); };

    On_Offlbl = FlatChrome::MakeLabel(*this, *this, "On_Offlbl", {2, 21, 30, 13}, "OFF");
    CenteredBold(On_Offlbl);
    On_Offlbl->SetHint("Connect transceiver");
    On_Offlbl->SetShowHint(true);
    On_Offlbl->OnClick = [this](TObject* sender) { Button_OpenClick(sender); };

    lblMemo = FlatChrome::MakeLabel(*this, *this, "lblMemo", {33, 21, 49, 13}, "Memory");
    lblMemo->SetAlignment(TAlignment::taCenter);
    lblMemo->Font().SetName("Arial");
    lblMemo->Font().SetSize(8);
    lblMemo->SetTag(400);
    lblMemo->OnClick = [this](TObject* sender) { lblMemoClick(sender); };

    lblMemoIn = FlatChrome::MakeLabel(*this, *this, "lblMemoIn", {83, 21, 46, 13}, "VFO->M");
    lblMemoIn->SetAlignment(TAlignment::taCenter);
    lblMemoIn->OnClick = [this](TObject* sender) { lblMemoInClick(sender); };

    lbl2ndVFO = FlatChrome::MakeLabel(*this, *this, "lbl2ndVFO", {130, 21, 97, 13}, "");
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
        *label = FlatChrome::MakeLabel(*this, *Panel1, name, {left, 13, 7, 24}, ".");
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
        TLabel* label = FlatChrome::MakeLabel(*this, *Panel1, name, {165, top, 55, 13}, "------");
        CenteredBold(label);
        label->SetHint("Change mode");
        label->SetShowHint(true);
        label->OnClick = std::move(onClick);
        return label;
    };
    ModeLbl = makeMenuLabel("ModeLbl", 2, [this](TObject* sender) { ModeLblClick(sender); });
    Bandlbl = makeMenuLabel("Bandlbl", 19, [this](TObject* sender) { BandlblClick(sender); });
    lblVFO = makeMenuLabel("lblVFO", 36, [this](TObject* sender) { lblVFOClick(sender); });

    lbl2ndVFO1 = FlatChrome::MakeLabel(*this, *this, "lbl2ndVFO1", {2, 87, 91, 14}, " Velkor v.1.0");
    lbl2ndVFO1->Font().SetName("Microsoft Sans Serif");
    lbl2ndVFO1->Font().SetHeight(-9);

    Label4 = FlatChrome::MakeLabel(*this, *this, "Label4", {94, 87, 62, 14}, "");
    CenteredBold(Label4);
    Label4->SetHint("Change mode");
    Label4->SetShowHint(true);

    lblSetup = FlatChrome::MakeLabel(*this, *this, "lblSetup", {157, 87, 70, 14}, "TRX settings");
    lblSetup->SetAlignment(TAlignment::taCenter);
    lblSetup->Font().SetName("Arial");
    lblSetup->Font().SetSize(8);
    lblSetup->SetTag(kDesignPollInterval);
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
    ShortCutMenu->AddItem(this, "Rigserver1", "Rig server", 0, [this](TObject* s) { RigServerClick(s); });
    ShortCutMenu->AddItem(this, "TRXonoff1", "TRX on/off", Vk::F12, [this](TObject* s) { Button_OpenClick(s); });

    PopupMenu1 = makeMenu("PopupMenu1");
    for (const char* mode : {"CW", "USB", "LSB", "DIGI", "AM", "FM", "CW-R", "DIGI-R"})
        PopupMenu1->AddItem(this, "", mode, 0, [this](TObject* s) { ModeChangeClick(s); });
    PopupMenu2 = makeMenu("PopupMenu2");
    for (const char* vfo : {"VFO A/A", "VFO A/B", "VFO B/B", "VFO B/A"})
        PopupMenu2->AddItem(this, "", vfo, 0, [this](TObject* s) { VFOSetClick(s); });
    BandMenu = makeMenu("BandMenu");
}
