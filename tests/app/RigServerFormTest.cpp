// The rig server dialog on the headless host: what it refuses, what it shows
// when a test fails, and that nothing is saved or replaced unless OK succeeds.
#include <gtest/gtest.h>

#include "app/RigServerForm.h"
#include "platform/MemoryRegistry.h"
#include "platform/ProgramKey.h"
#include "tests/rig/FakeRigServer.h"
#include "ui/HeadlessHost.h"

namespace {

constexpr TRegRoot kUser = TRegRoot::CurrentUser;

class RigServerFormTest : public ::testing::Test {
protected:
    RigServerFormTest()
    {
        App.SetTitle("Velkor");
        auto rig = std::make_unique<TFakeRigServer>();
        FirstRig = rig.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
    }

    // The choice as the program makes it, the rigctl port open at 4532.
    void Open(TRigServerSetting current = {}, uint16_t rigctlPort = 4532)
    {
        Choice = std::make_unique<TRigServerChoice>(
            App, *Trx, Reg, current, rigctlPort,
            [this](const TRigServerSetting& setting) {
                Made.push_back(RigServerText(setting));
                return std::make_unique<TFakeRigServer>();
            },
            [this](const TRigServerSetting& setting) {
                Probed.push_back(RigServerText(setting));
                return ProbeAnswer;
            });
        Choice->ShowDialog([this] { ++Accepted; });
        Form = Choice->Form();
    }

    void Fill(const std::string& host, const std::string& port)
    {
        Form->SetKind(TRigServerKind::Rigctld);
        Form->HostEdit().SetText(host);
        Form->PortEdit().SetText(port);
    }

    void ClickOK() { DispatchEvent(&App, [this] { Form->OKButtonClick(Form->OKButton); }); }

    // The registry's value, or "absent".
    std::string Saved()
    {
        std::unique_ptr<IRegistryKey> key;
        TRegValue value;
        if (Reg.OpenKey(kUser, kProgramKey, TRegAccess::Read, key) != TRegStatus::Ok ||
            key->ReadValue(kRigServerValue, value) != TRegStatus::Ok)
            return "absent";
        return value.Data;
    }

    // Nothing was saved, made or accepted, and the dialog is still open.
    void ExpectRefused()
    {
        EXPECT_EQ(Saved(), "absent");
        EXPECT_TRUE(Made.empty());
        EXPECT_EQ(Accepted, 0);
        EXPECT_TRUE(Form->Visible());
        EXPECT_EQ(&Trx->OmniRigX1(), FirstRig);
    }

    TMemoryRegistry Reg;
    THeadlessHost Host;
    TApplication App{Host};
    TTransceiver* Trx;
    TFakeRigServer* FirstRig;
    std::unique_ptr<TRigServerChoice> Choice;
    TRigServerForm* Form = nullptr;
    std::vector<std::string> Made;
    std::vector<std::string> Probed;
    std::string ProbeAnswer = "Dummy, 145.000.000 Hz";
    int Accepted = 0;
};

TEST_F(RigServerFormTest, BadHostOrPortIsNamedAndKeepsTheDialogOpen)
{
    struct TCase {
        const char* Host;
        const char* Port;
        const char* Message;
    } cases[] = {
        {"", "4532", "Enter the host that rigctld runs on."},
        {"   ", "4532", "Enter the host that rigctld runs on."},
        {"rig host", "4532", "The host \"rig host\" is not a host name or address."},
        {"[::1]", "4532", "The host \"[::1]\" is not a host name or address."},
        {"127.0.0.1", "0", "The port \"0\" is not a number from 1 to 65535."},
        {"127.0.0.1", "65536", "The port \"65536\" is not a number from 1 to 65535."},
        {"127.0.0.1", "-1", "The port \"-1\" is not a number from 1 to 65535."},
        {"127.0.0.1", "45 32", "The port \"45 32\" is not a number from 1 to 65535."},
        {"127.0.0.1", "", "The port \"\" is not a number from 1 to 65535."},
        {"127.0.0.1", "0x11d4", "The port \"0x11d4\" is not a number from 1 to 65535."},
    };
    Open();
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Host) + " " + c.Port);
        Fill(c.Host, c.Port);
        const size_t boxes = Host.MessageBoxes().size();
        ClickOK();
        ASSERT_EQ(Host.MessageBoxes().size(), boxes + 1);
        EXPECT_EQ(Host.MessageBoxes().back().Text, c.Message);
        EXPECT_EQ(Host.MessageBoxes().back().Caption, "Rig server");
        // Test names the same fault in the dialog and asks nobody.
        DispatchEvent(&App, [this] { Form->TestButtonClick(Form->TestButton); });
        EXPECT_EQ(Form->TestResult->Caption(), c.Message);
        ExpectRefused();
    }
    EXPECT_TRUE(Probed.empty());
}

TEST_F(RigServerFormTest, TheProgramsOwnRigctlPortIsRefused)
{
    Open({}, 4533);
    Fill("localhost", "4533");
    ClickOK();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text.rfind("The rig server localhost:4533 is Velkor's own rigctl port", 0), 0u)
        << Host.MessageBoxes()[0].Text;
    DispatchEvent(&App, [this] { Form->TestButtonClick(Form->TestButton); });
    EXPECT_EQ(Form->TestResult->Caption(), Host.MessageBoxes()[0].Text);
    EXPECT_TRUE(Probed.empty()) << "the program is never asked to probe itself";
    ExpectRefused();

    // Another machine's rigctld on that port number is no refusal.
    Fill("10.0.0.7", "4533");
    ClickOK();
    EXPECT_EQ(Saved(), "rigctld:10.0.0.7:4533");
}

TEST_F(RigServerFormTest, AFailedTestShowsWhyInTheDialog)
{
    ProbeAnswer = "rigctld at 127.0.0.1:4532 refused the connection";
    Open();
    Fill(" 127.0.0.1 ", "4532");
    DispatchEvent(&App, [this] { Form->TestButtonClick(Form->TestButton); });
    EXPECT_EQ(Form->TestResult->Caption(), ProbeAnswer);
    EXPECT_EQ(Probed, (std::vector<std::string>{"rigctld:127.0.0.1:4532"}));
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "a test's failure is no error box";
    ExpectRefused();
}

TEST_F(RigServerFormTest, ASaveThatFailsIsReportedAndChangesNothing)
{
    Reg.FailWrite(kUser, kProgramKey, kRigServerValue);
    Open();
    Fill("127.0.0.1", "4532");
    ClickOK();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Cannot save the rig server in the registry value RigServer.");
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "Velkor");
    ExpectRefused();
    EXPECT_FALSE(Choice->RigctldChosen());

    Reg.DenyCreate(kUser, kProgramKey);
    ClickOK();
    ASSERT_EQ(Host.MessageBoxes().size(), 2u);
    ExpectRefused();
}

TEST_F(RigServerFormTest, CancelChangesNothingAndTheNextOpeningShowsTheChoiceInUse)
{
    TRigServerSetting current;
    current.Kind = TRigServerKind::Rigctld;
    current.Host = "shack";
    current.Port = 4000;
    Open(current);
    EXPECT_EQ(Form->HostEdit().Text(), "shack");
    EXPECT_EQ(Form->PortEdit().Text(), "4000");
    Form->SetKind(TRigServerKind::Com);
    DispatchEvent(&App, [this] { Form->CancelButtonClick(Form->CancelButton); });
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(Saved(), "absent");
    EXPECT_TRUE(Made.empty());
    EXPECT_EQ(Accepted, 0);

    Fill("elsewhere", "1");
    Form->TestResult->SetCaption("old result");
    Choice->ShowDialog({});
    EXPECT_EQ(Form->Kind(), TRigServerKind::Rigctld);
    EXPECT_EQ(Form->HostEdit().Text(), "shack");
    EXPECT_EQ(Form->PortEdit().Text(), "4000");
    EXPECT_EQ(Form->TestResult->Caption(), "");
}

// The operator's choice wins over the switch the program was started with:
// saved, put to work, and the title asked for afterwards.
TEST_F(RigServerFormTest, OKSavesAndTakesOverTheChoice)
{
    TRigServerSetting fromSwitch;
    fromSwitch.Kind = TRigServerKind::Rigctld;
    Open(fromSwitch);
    Form->SetKind(TRigServerKind::Com);
    SaveRigServer(Reg, fromSwitch);
    ClickOK();
    EXPECT_EQ(Saved(), "absent");
    EXPECT_TRUE(Host.MessageBoxes().empty());
    EXPECT_EQ(Made, (std::vector<std::string>{""}));
    EXPECT_NE(&Trx->OmniRigX1(), FirstRig);
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(Accepted, 1);
    EXPECT_FALSE(Choice->RigctldChosen());
}

} // namespace
