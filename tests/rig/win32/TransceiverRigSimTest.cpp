// The transceiver and its COM client against rigsim.exe over real COM.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <thread>

#include "RigSim.h"
#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigX.h"
#include "rig/win32/RigProxies.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/win32/RigSimProcess.h"
#include "ui/Forms.h"

using Microsoft::WRL::ComPtr;
using namespace RigParams;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

class TransceiverRigSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RigSim.Start();
        Control = RigSim.Control();
        auto client = std::make_unique<TOmniRigX>();
        Client = client.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(client));
    }

    std::vector<std::string> CallLog()
    {
        TBStr log;
        EXPECT_EQ(Control->GetCallLog(log.Out()), S_OK);
        return Lines(log.Ansi());
    }

    // Every call through a freshly fetched rig object logs the fetch first.
    static std::vector<std::string> Through(const std::vector<std::string>& calls)
    {
        std::vector<std::string> log;
        for (const std::string& call : calls) {
            log.push_back("IOmniRigX.9");
            log.push_back(call);
        }
        return log;
    }

    THeadlessHost Host;
    TApplication App{Host};
    TRigSimProcess RigSim;
    ComPtr<IRigSimControl> Control;
    TOmniRigX* Client = nullptr;
    TTransceiver* Trx = nullptr;
};

TEST_F(TransceiverRigSimTest, APollReadsTheSimulatedRadioInEightFetchedReads)
{
    Control->SetFreqA(3550000);
    Control->SetFreqB(3560000);
    Control->SetVfo(VFOBA);
    Control->SetMode(CW_L);
    Control->Reset();

    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_Freq(), 3560000) << "the VFO in use is B";
    EXPECT_EQ(Trx->Get_FreqA(), 3550000);
    EXPECT_EQ(Trx->Get_FreqB(), 3560000);
    EXPECT_EQ(Trx->Get_Mode(), "CW-R");
    EXPECT_EQ(Trx->Get_VFO(), "VFO B/A");
    EXPECT_EQ(CallLog(), Through({"IRigX.14", "IRigX.16", "IRigX.18", "IRigX.34", "IRigX.24", "IRigX.24", "IRigX.24",
                                  "IRigX.24"}));
}

TEST_F(TransceiverRigSimTest, CommandsArriveInOrder)
{
    Control->SetVfo(VFOBA);
    Control->SetFreq(14000000); // VFO B, the one in use
    Trx->TimTimer(Trx->Tim);
    Control->Reset();

    Trx->Set_Freq(7050000);
    Trx->Set_Mode("DIGI");
    Trx->Set_Mode("SSB"); // 14 MHz polled: upper sideband
    Trx->Set_VFO("VFO A/B");
    Trx->Set_FreqA(7000000);
    Trx->Set_FreqB(-1);
    EXPECT_EQ(CallLog(), Through({"IRigX.15 7050000", "IRigX.19 7050000", Format("IRigX.35 %d", DIG_L),
                                  Format("IRigX.35 %d", SSB_U), Format("IRigX.25 %d", VFOA),
                                  Format("IRigX.25 %d", VFOAB), "IRigX.17 7000000", "IRigX.19 -1"}));

    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_VFO(), "VFO A/B");
    EXPECT_EQ(Trx->Get_Mode(), "USB");
    EXPECT_EQ(Trx->Get_FreqA(), 7000000);
    EXPECT_EQ(Trx->Get_Freq(), 7000000);
}

TEST_F(TransceiverRigSimTest, RigTypeDialogAndEventsReachTheServer)
{
    Control->SetRigType(TBStr("TS-SIM 9").Get());
    EXPECT_EQ(Trx->Get_RigType(), "TS-SIM 9");
    long sinks = 0;
    Control->GetSinkCount(&sinks);
    EXPECT_EQ(sinks, 1) << "the client advises its event sink on connecting";

    Trx->RigServer().ShowRigDialog(true);
    VARIANT_BOOL visible = VARIANT_FALSE;
    Control->GetDialogVisible(&visible);
    EXPECT_EQ(visible, VARIANT_TRUE);

    // Events fired at the client are taken and change nothing.
    Control->SetFreqA(21000000);
    EXPECT_EQ(Trx->Get_FreqA(), 0);

    Trx->RigServer().ShowRigDialog(false);
    delete Trx;
    Control->GetSinkCount(&sinks);
    EXPECT_EQ(sinks, 0) << "the sink is unadvised when the client goes";
}

// A connection's proxies are its apartment's alone: a client of another
// apartment reads beside it, and goes on reading through the registry's way
// once the proxies it found there have gone; so do clients of this apartment
// after this one's connection has let go.
TEST_F(TransceiverRigSimTest, ClientsOfOtherApartmentsAndLaterOnesReadBesideTheProxiesOfOne)
{
    Control->SetFreqA(7010000);
    Trx->TimTimer(Trx->Tim);
    ASSERT_EQ(Trx->Get_Freq(), 7010000);

    std::vector<int32_t> read;
    std::string failure;
    std::thread([&] {
        const TComApartment apartment(COINIT_MULTITHREADED);
        try {
            // Taken over before the client, and without the rig's library.
            std::optional<TRigProxies> bare(std::in_place, nullptr);
            EXPECT_EQ(bare->Held(), 2u) << "the rig's and IDispatch's marshallers";
            TOmniRigX other;
            read.push_back(other.Rig()->GetFreq());
            bare.reset();
            read.push_back(other.Rig()->GetFreq());
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }).join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(read, (std::vector<int32_t>{7010000, 7010000}));

    Client->Disconnect();
    TOmniRigX later;
    EXPECT_EQ(later.Rig()->GetFreq(), 7010000);
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_FreqA(), 7010000) << "and the first client, connected again";
}

TEST_F(TransceiverRigSimTest, AFailingServerRaisesWithItsText)
{
    Trx->TimTimer(Trx->Tim);
    Control->SetFreqA(1800000);
    const HRESULT code = HRESULT_FROM_WIN32(ERROR_NOT_READY);
    Control->Reset();
    Control->FailCalls(-1, code, TBStr("Rig is not responding").Get());
    // Wine does not carry the server's error object across processes.
    const std::string text = UnderWine() ? OleErrorText(code) : "Rig is not responding";
    Trx->TimTimer(Trx->Tim);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u) << "the tick's failure goes to the general error report";
    EXPECT_EQ(Host.MessageBoxes()[0].Text, ErrorReportText(text));
    EXPECT_EQ(CallLog(), (std::vector<std::string>{"IOmniRigX.9"}));
    EXPECT_FALSE(Trx->Get_Connected());
    EXPECT_TRUE(Client->Connected()) << "a failing call is no reason to reconnect";
    try {
        Trx->Set_Freq(7000000);
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_EQ(error.ErrorCode(), code);
        EXPECT_EQ(error.Message(), text);
    }
    Control->FailCalls(0, 0, nullptr);
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_FreqA(), 1800000);
}

TEST_F(TransceiverRigSimTest, AServerKilledAndStartedAgainIsReconnected)
{
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_Freq(), 14200000);

    // Killed while the program runs: the next call fails and drops the connection.
    RigSim.Kill();
    EXPECT_THROW(Trx->Set_Freq(7000000), EOleError);
    EXPECT_FALSE(Client->Connected());

    // Started again by the operator: the next operation attaches to it.
    RigSim.Start();
    Control = RigSim.Control();
    Control->SetFreqA(10100000);
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_Freq(), 10100000);
    EXPECT_TRUE(Trx->Get_Connected() || !Trx->Tim->Enabled());

    // Killed and restarted between two calls: the first call meets the old
    // connection and fails, the one after it connects afresh.
    RigSim.Kill();
    RigSim.Start();
    Control = RigSim.Control();
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u) << "the failing tick is reported";
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Trx->Get_Freq(), 14200000);
}

TEST(TransceiverRigSimStart, WithNoServerRunningCOMStartsOneThatEndsWithTheClient)
{
    ASSERT_TRUE(TRigSimProcess::WaitUntilNoneRuns(10000));
    THeadlessHost host;
    TApplication app(host);
    auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), std::make_unique<TOmniRigX>());
    trx->Set_Mode("FM");
    trx->TimTimer(trx->Tim);
    EXPECT_EQ(trx->Get_Mode(), "FM");
    delete trx;
    EXPECT_TRUE(TRigSimProcess::WaitUntilNoneRuns(10000)) << "the server started for the client ends with it";
}

} // namespace
