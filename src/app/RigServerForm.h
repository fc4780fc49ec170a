#pragma once
// TRigServerForm: the "Rig server" dialog. The operator chooses the COM rig
// server or a hamlib rigctld at a host and port, may test that rigctld, and
// OK saves the choice and puts it to work at once. TRigServerChoice holds
// the choice in use and hands it to the transceiver.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RigServerSeam.h"
#include "platform/Registry.h"
#include "rig/RigServerSetting.h"
#include "rig/TransceiverUnit.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "widgets/FlatChrome.h"

class TRigServerForm : public TForm, private INativeEditEvents {
public:
    // Asks a rigctld for its model and frequency: what to show, or why not.
    using TProbe = std::function<std::string(const TRigServerSetting&)>;
    // Saves and takes over the choice; raises when it cannot be saved, and
    // the dialog then stays open.
    using TAccept = std::function<void(const TRigServerSetting&)>;

    // rigctlPort: the program's own rigctl port (0 while closed), which a
    // rigctld on this machine must not be.
    TRigServerForm(TComponent* AOwner, TProbe probe, TAccept accept, uint16_t rigctlPort);
    ~TRigServerForm() override;

    // Shows the window with setting's values and no test result.
    void Open(const TRigServerSetting& setting);

    TRigServerKind Kind() const { return FKind; }
    void SetKind(TRigServerKind kind);
    INativeEdit& HostEdit() { return *FHostEdit; }
    INativeEdit& PortEdit() { return *FPortEdit; }
    // The setting the fields give: "" when they give one, else what is wrong.
    std::string ReadSetting(TRigServerSetting& setting) const;

    // Runs after OK has saved the choice and hidden the window.
    TNotifyEvent OnAccepted;

    // Event handlers.
    void TestButtonClick(TObject* Sender);
    void OKButtonClick(TObject* Sender);
    void CancelButtonClick(TObject* Sender);
    void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);

    // Controls, as the window is designed.
    TFlatTitlebar* Title;
    TFlatSpeedButton* CloseButton;
    TPanel* Panel1;
    TLabel* HostLabel;
    TLabel* PortLabel;
    TFlatButton* TestButton;
    TLabel* TestResult;
    TFlatButton* OKButton;
    TFlatButton* CancelButton;

    static constexpr TColor kFaceColor = FlatChrome::kFaceColor;
    static constexpr TColor kTitleColor = FlatChrome::kTitleColor;

private:
    // One kind's choice: its mark (shown while chosen) and caption.
    struct TKindChoice {
        TRigServerKind Kind;
        TPanel* Mark;
        TLabel* Label;
    };

    void BuildControls();
    TKindChoice MakeChoice(int top, const TRigServerKindInfo& info);
    void NativeEditChanged() override;

    TProbe FProbe;
    TAccept FAccept;
    uint16_t FRigctlPort;
    TRigServerKind FKind = TRigServerKind::Com;
    std::vector<TKindChoice> FChoices;
    std::unique_ptr<INativeEdit> FHostEdit;
    std::unique_ptr<INativeEdit> FPortEdit;
};

// The rig server in use, as the operator last chose it (or the program
// found it at its start), and the dialog that changes it.
class TRigServerChoice : public IRigServerChoice {
public:
    using TMakeServer = std::function<std::unique_ptr<IRigServer>(const TRigServerSetting&)>;

    // The dialog is made at its first opening, owned by app. The operator's
    // choice is saved in registry, and a rig server made of it by make
    // replaces the transceiver's. All of them outlive this object.
    TRigServerChoice(TApplication& app, TTransceiver& transceiver, IRegistry& registry, TRigServerSetting current,
                     uint16_t rigctlPort, TMakeServer make, TRigServerForm::TProbe probe);

    const TRigServerSetting& Current() const { return FCurrent; }
    bool ChosenHasOwnDialog() const override { return RigServerKindInfoOf(FCurrent.Kind).OwnDialog; }
    void ShowDialog(std::function<void()> accepted) override;
    // nullptr until the dialog was first opened.
    TRigServerForm* Form() const { return FForm; }

private:
    void Accept(const TRigServerSetting& setting);

    TApplication& FApp;
    TTransceiver& FTransceiver;
    IRegistry& FRegistry;
    TRigServerSetting FCurrent;
    uint16_t FRigctlPort;
    TMakeServer FMake;
    TRigServerForm::TProbe FProbe;
    TRigServerForm* FForm = nullptr;
    std::function<void()> FAccepted;
};
