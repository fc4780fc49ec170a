#include "app/RigServerForm.h"

#include <algorithm>
#include <utility>

#include "base/SysUtils.h"

namespace {

constexpr const char* kCaption = "Rig server";
// Where the edit boxes sit on the form (they are windows of their own, placed
// in the form's coordinates): on the panel's row of the host and the port.
constexpr TRect kHostBounds{42, 69, 162, 86};
constexpr TRect kPortBounds{200, 69, 254, 86};

} // namespace

TRigServerForm::TRigServerForm(TComponent* AOwner, TProbe probe, TAccept accept, uint16_t rigctlPort)
    : TForm(AOwner), FProbe(std::move(probe)), FAccept(std::move(accept)), FRigctlPort(rigctlPort)
{
    SetName("RigServerForm");
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetCaption(kCaption);
    SetBounds(370, 222, 264, 153);
    SetColor(clBlack);
    SetKeyPreview(true);
    BuildControls();
    INativeEditHost& host = App().NativeEdits();
    FHostEdit = host.CreateNativeEdit(*this, kHostBounds, Font(), TEditAlign::Left, *this);
    FPortEdit = host.CreateNativeEdit(*this, kPortBounds, Font(), TEditAlign::Left, *this);
    OnKeyDown = [this](TObject* sender, uint16_t& key, TShiftState shift) { FormKeyDown(sender, key, shift); };
    SetKind(TRigServerKind::Com);
    DoCreate();
}

TRigServerForm::~TRigServerForm()
{
    // The edit boxes go while the form's window still stands.
    BeforeDestruction();
    FHostEdit.reset();
    FPortEdit.reset();
}

// A round-less radio mark: a black frame, white inside, a black dot while
// chosen; the mark and its caption both choose.
TRigServerForm::TKindChoice TRigServerForm::MakeChoice(int top, const TRigServerKindInfo& info)
{
    const std::string name(info.MarkName);
    auto choose = [this, kind = info.Kind](TObject*) { SetKind(kind); };
    auto* frame = new TPanel(this);
    frame->SetParent(Panel1);
    frame->SetBounds(8, top + 1, 11, 11);
    frame->SetColor(clBlack);
    frame->OnClick = choose;
    auto* inside = new TPanel(this);
    inside->SetParent(frame);
    inside->SetBounds(1, 1, 9, 9);
    inside->SetColor(clWhite);
    inside->OnClick = choose;
    auto* dot = new TPanel(this);
    dot->SetName(name);
    dot->SetParent(inside);
    dot->SetBounds(2, 2, 5, 5);
    dot->SetColor(clBlack);
    dot->OnClick = choose;
    TLabel* label = FlatChrome::MakeLabel(*this, *Panel1, (name + "Label").c_str(), {24, top, 150, 13},
                                          std::string(info.Caption).c_str());
    label->OnClick = choose;
    return {info.Kind, dot, label};
}

void TRigServerForm::BuildControls()
{
    const FlatChrome::TTitle title =
        FlatChrome::MakeTitle(*this, {"Title", {2, 2, 260, 18}, kCaption, "CloseButton", 242});
    Title = title.Bar;
    CloseButton = title.Close;
    CloseButton->OnClick = [this](TObject* sender) { CancelButtonClick(sender); };

    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(2, 21, 260, 130);
    Panel1->SetColor(kFaceColor);
    Panel1->Font().SetColor(FlatChrome::kTextColor);

    int top = 6;
    for (const TRigServerKindInfo& info : RigServerKinds()) {
        FChoices.push_back(MakeChoice(top, info));
        top += 18;
    }

    HostLabel = FlatChrome::MakeLabel(*this, *Panel1, "HostLabel", {8, 50, 30, 13}, "Host");
    PortLabel = FlatChrome::MakeLabel(*this, *Panel1, "PortLabel", {168, 50, 28, 13}, "Port");

    TestButton = FlatChrome::MakeButton(*this, *Panel1, "TestButton", {8, 76, 60, 19}, "Test",
                                        [this](TObject* s) { TestButtonClick(s); });
    TestResult = FlatChrome::MakeLabel(*this, *Panel1, "TestResult", {74, 79, 180, 13}, "");
    TestResult->SetShowHint(true);

    OKButton = FlatChrome::MakeButton(*this, *Panel1, "OKButton", {112, 104, 66, 19}, "OK",
                                      [this](TObject* s) { OKButtonClick(s); });
    OKButton->SetDefault(true);
    CancelButton = FlatChrome::MakeButton(*this, *Panel1, "CancelButton", {186, 104, 66, 19}, "Cancel",
                                          [this](TObject* s) { CancelButtonClick(s); });
}

void TRigServerForm::SetKind(TRigServerKind kind)
{
    const bool address = RigServerKindInfoOf(kind).HasAddress;
    FKind = kind;
    for (const TKindChoice& choice : FChoices)
        choice.Mark->SetVisible(choice.Kind == kind);
    for (TControl* control : std::initializer_list<TControl*>{HostLabel, PortLabel, TestButton, TestResult})
        control->SetEnabled(address);
    HostLabel->Font().SetColor(address ? clBlack : clGray);
    PortLabel->Font().SetColor(address ? clBlack : clGray);
    FHostEdit->SetEnabled(address);
    FPortEdit->SetEnabled(address);
    if (address)
        FHostEdit->SetFocus();
}

void TRigServerForm::Open(const TRigServerSetting& setting)
{
    // Opened again while open: what the operator typed stays.
    if (Visible()) {
        Show();
        return;
    }
    FHostEdit->SetText(setting.Host);
    FPortEdit->SetText(std::to_string(setting.Port));
    TestResult->SetCaption("");
    SetKind(setting.Kind);
    // Below the main window (above it when the screen ends), inside the
    // screen: the frequency stays in sight.
    if (TForm* main = App().MainForm(); main && main != this) {
        const TSize screen = App().Screen().ScreenSize();
        int top = main->Top() + main->Height() + 4;
        if (top + Height() > screen.cy)
            top = main->Top() - Height() - 4;
        SetBounds(std::clamp(main->Left(), 0, std::max(0, screen.cx - Width())),
                  std::clamp(top, 0, std::max(0, screen.cy - Height())), Width(), Height());
    }
    Show();
}

std::string TRigServerForm::ReadSetting(TRigServerSetting& setting) const
{
    const TRigServerKindInfo& info = RigServerKindInfoOf(FKind);
    TRigServerSetting read;
    read.Kind = FKind;
    if (!info.HasAddress) {
        setting = read;
        return {};
    }
    const std::string host = Trim(FHostEdit->Text());
    const std::string port = Trim(FPortEdit->Text());
    if (host.empty())
        return Format("Enter the host that %s runs on.", std::string(info.Name).c_str());
    read.Host = host;
    // The host must come back from the registry's text as it was typed.
    TRigServerSetting back;
    if (!ParseRigServer(RigServerText(read), back) || back.Host != host)
        return Format("The host \"%s\" is not a host name or address.", host.c_str());
    if (!ParseRigServerPort(port, read.Port))
        return Format("The port \"%s\" is not a number from 1 to 65535.", port.c_str());
    if (std::string refusal = OwnPortRefusal(read, FRigctlPort); !refusal.empty())
        return refusal + ".";
    setting = read;
    return {};
}

void TRigServerForm::TestButtonClick(TObject*)
{
    TRigServerSetting setting;
    std::string why = ReadSetting(setting);
    if (why.empty() && RigServerKindInfoOf(setting.Kind).HasAddress) {
        TestResult->SetCaption("Testing...");
        why = FProbe ? FProbe(setting) : std::string();
    }
    TestResult->SetCaption(why);
    // A long reason runs past the label: its hint shows all of it.
    TestResult->SetHint(why);
}

void TRigServerForm::OKButtonClick(TObject*)
{
    TRigServerSetting setting;
    if (const std::string why = ReadSetting(setting); !why.empty()) {
        App().ShowMessageBox(why, kCaption, MsgBox::kOk | MsgBox::kIconWarning);
        return;
    }
    FAccept(setting);
    Hide();
    if (OnAccepted)
        OnAccepted(this);
}

void TRigServerForm::CancelButtonClick(TObject*) { Hide(); }

void TRigServerForm::FormKeyDown(TObject*, uint16_t& Key, TShiftState)
{
    // Enter on a button with the focus is that button's.
    if (Key == Vk::Return && !dynamic_cast<TFlatButton*>(ActiveControl())) {
        Key = 0;
        OKButtonClick(this);
    } else if (Key == Vk::Escape) {
        Key = 0;
        CancelButtonClick(this);
    }
}

void TRigServerForm::NativeEditChanged()
{
    // A result shown no longer answers for what the fields say.
    TestResult->SetCaption("");
}

// ---------------------------------------------------------------- the choice

TRigServerChoice::TRigServerChoice(TApplication& app, TTransceiver& transceiver, IRegistry& registry,
                                   TRigServerSetting current, uint16_t rigctlPort, TMakeServer make,
                                   TRigServerForm::TProbe probe)
    : FApp(app), FTransceiver(transceiver), FRegistry(registry), FCurrent(std::move(current)),
      FRigctlPort(rigctlPort), FMake(std::move(make)), FProbe(std::move(probe))
{
    FCurrent.Error.clear();
}

void TRigServerChoice::ShowDialog(std::function<void()> accepted)
{
    if (!FForm) {
        FForm = new TRigServerForm(
            &FApp, FProbe, [this](const TRigServerSetting& setting) { Accept(setting); }, FRigctlPort);
        FForm->OnAccepted = [this](TObject*) {
            if (FAccepted)
                FAccepted();
        };
    }
    FAccepted = std::move(accepted);
    FForm->Open(FCurrent);
}

void TRigServerChoice::Accept(const TRigServerSetting& setting)
{
    // Saved first: a choice that cannot be kept is not taken either.
    SaveRigServer(FRegistry, setting);
    FTransceiver.ReplaceRigServer(FMake(setting));
    FCurrent = setting;
}
