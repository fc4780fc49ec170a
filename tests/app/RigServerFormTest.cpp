// The rig server dialog on the headless host: what it refuses, and that
// nothing is saved or replaced unless OK succeeds.
#include <gtest/gtest.h>

#include "app/RigServerForm.h"
#include "platform/ProgramKey.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"

namespace {

class RigServerFormTest : public ::testing::Test {
protected:
    // As the program makes it, its rigctl port open at 4532, the dialog open.
    RigServerFormTest()
    {
        App.SetTitle("Velkor");
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::make_unique<TFakeRigServer>());
        FirstRig = &Trx->RigServer();
        TRigServerSetting current;
        current.Host = "shack";
        Choice = std::make_unique<TRigServerChoice>(
            App, *Trx, Reg, current, 4532,
            [this](const TRigServerSetting&) { return ++Made, std::make_unique<TFakeRigServer>(); },
            [this](const TRigServerSetting& setting) { return Probed.push_back(RigServerText(setting)), ProbeAnswer; });
        Choice->ShowDialog([this] { ++Accepted; });
        Form = Choice->Form();
    }

    void Fill(const std::string& host, const std::string& port)
    {
        Form->SetKind(TRigServerKind::Rigctld);
        Form->HostEdit().SetText(host);
        Form->PortEdit().SetText(port);
    }
    void Click(TFlatButton* button) { DispatchEvent(&App, [button] { button->OnClick(button); }); }

    // Nothing was saved, made or accepted, and the dialog is still open.
    void ExpectNothingTaken()
    {
        std::unique_ptr<IRegistryKey> key;
        EXPECT_NE(Reg.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Read, key), TRegStatus::Ok);
        EXPECT_EQ(Made + Accepted, 0);
        EXPECT_TRUE(Form->Visible());
        EXPECT_EQ(&Trx->RigServer(), FirstRig);
    }

    TMemoryRegistry Reg;
    THeadlessHost Host;
    TApplication App{Host};
    TTransceiver* Trx;
    IRigServer* FirstRig;
    std::unique_ptr<TRigServerChoice> Choice;
    TRigServerForm* Form;
    int Made = 0;
    int Accepted = 0;
    std::vector<std::string> Probed;
    std::string ProbeAnswer;
};

TEST_F(RigServerFormTest, BadInputIsNamedOnOKAndOnTestAndKeepsTheDialogOpen)
{
    const std::pair<const char*, const char*> hostPorts[] = {
        {"", "4532"}, {"rig host", "4532"}, {"[::1]", "4532"}, {"pc", "0"}, {"pc", "65536"}, {"pc", "-1"},
        {"pc", "4 5"}, {"pc", ""}, {"pc", "0x11d4"}, {"localhost", "4532"},
    };
    const char* const messages[] = {
        "Enter the host that rigctld runs on.",
        "The host \"rig host\" is not a host name or address.",
        "The host \"[::1]\" is not a host name or address.",
        "The port \"0\" is not a number from 1 to 65535.",
        "The port \"65536\" is not a number from 1 to 65535.",
        "The port \"-1\" is not a number from 1 to 65535.",
        "The port \"4 5\" is not a number from 1 to 65535.",
        "The port \"\" is not a number from 1 to 65535.",
        "The port \"0x11d4\" is not a number from 1 to 65535.",
        "The rig server localhost:4532 is Velkor's own rigctl port: Velkor would ask itself for the radio. "
        "Choose the port rigctld listens on in TRX settings.",
    };
    for (size_t i = 0; i < std::size(messages); ++i) {
        SCOPED_TRACE(messages[i]);
        Fill(hostPorts[i].first, hostPorts[i].second);
        Click(Form->OKButton);
        ASSERT_EQ(Host.MessageBoxes().size(), i + 1);
        EXPECT_EQ(Host.MessageBoxes()[i].Text, messages[i]);
        EXPECT_EQ(Host.MessageBoxes()[i].Caption, "Rig server");
        Click(Form->TestButton);
        EXPECT_EQ(Form->TestResult->Caption(), messages[i]);
        ExpectNothingTaken();
    }
    EXPECT_TRUE(Probed.empty()) << "nobody is asked, the program itself least of all";
}

TEST_F(RigServerFormTest, AFailedTestShowsWhyInTheDialog)
{
    ProbeAnswer = "rigctld at 127.0.0.1:4533: connection refused";
    Fill(" 127.0.0.1 ", "4533");
    Click(Form->TestButton);
    EXPECT_EQ(Form->TestResult->Caption(), ProbeAnswer);
    EXPECT_EQ(Probed, std::vector<std::string>{"rigctld:127.0.0.1:4533"});
    EXPECT_TRUE(Host.MessageBoxes().empty());
    ExpectNothingTaken();
}

TEST_F(RigServerFormTest, ASaveThatFailsIsReportedAndTakesNothingOver)
{
    Reg.FailWrite(TRegRoot::CurrentUser, kProgramKey, kRigServerValue);
    Fill("127.0.0.1", "4533");
    Click(Form->OKButton);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Cannot save the rig server in the registry value RigServer.");
    EXPECT_EQ(Made + Accepted, 0);
    EXPECT_TRUE(Form->Visible());
    EXPECT_TRUE(Choice->ChosenHasOwnDialog());
}

TEST_F(RigServerFormTest, CancelChangesNothingAndTheNextOpeningShowsTheChoiceInUse)
{
    Fill("elsewhere", "1");
    Form->TestResult->SetCaption("old result");
    Click(Form->CancelButton);
    EXPECT_FALSE(Form->Visible());
    EXPECT_EQ(Made + Accepted, 0);
    Choice->ShowDialog({});
    EXPECT_EQ(Form->Kind(), TRigServerKind::Com);
    EXPECT_EQ(Form->HostEdit().Text(), "shack");
    EXPECT_EQ(Form->PortEdit().Text(), "4532");
    EXPECT_EQ(Form->TestResult->Caption(), "");
}

} // namespace
