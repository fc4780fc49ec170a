// The transceiver on the rig server's own thread against rigsim.exe that is
// slow or hangs: a hung call costs one deadline and one report, never a
// freeze, and the server is used again once it answers.
#include <gtest/gtest.h>

#include "RigSim.h"
#include "base/win32/ComUtil.h"
#include "rig/TransceiverUnit.h"
#include "rig/win32/OmniRigXThread.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/Wait.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr TRigDeadlines kDeadlines{1500, 15000, 1000};

long WaitingCalls(IRigSimControl* control)
{
    long count = -1;
    EXPECT_EQ(control->GetWaitingCalls(&count), S_OK);
    return count;
}

class RigServerHangTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RigSim.Start();
        Control = RigSim.Control();
    }
    void TearDown() override { Control->Reset(); }

    TComRigCallWait Wait{nullptr};
    TRigSimProcess RigSim;
    ComPtr<IRigSimControl> Control;
};

TEST_F(RigServerHangTest, AHungServerIsReportedOnceCommandsFailAtOnceAndPollingResumesWhenItAnswers)
{
    THeadlessHost host;
    TApplication app(host);
    app.SetTitle("Velkor");
    auto thread = MakeOmniRigXThread(Wait, kDeadlines);
    TRigServerThread* rigServer = thread.get();
    auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), std::move(thread));
    trx->StartPolling();
    trx->TimTimer(trx->Tim);
    ASSERT_TRUE(host.AwaitDelivery(15000)) << "the tick's reading comes back";
    ASSERT_TRUE(trx->Get_Connected());

    Control->HangCalls(VARIANT_TRUE);
    trx->TimTimer(trx->Tim); // reads in the background, and hangs there
    ASSERT_TRUE(WaitFor([&] { return rigServer->Hung(); }, 10000));
    for (int tick = 0; tick < 5; ++tick)
        trx->TimTimer(trx->Tim);
    ASSERT_EQ(host.MessageBoxes().size(), 1u) << "a hang that lasts is one run of failing ticks";
    EXPECT_EQ(host.MessageBoxes()[0].Text, "The rig server does not answer.");
    EXPECT_FALSE(trx->Get_Connected());
    EXPECT_TRUE(rigServer->Hung());
    EXPECT_THROW(trx->Set_Freq(7000000), ERigServerTimeout) << "a command behind the hung call fails";
    EXPECT_EQ(WaitingCalls(Control.Get()), 1) << "only the first call ever reached the hung server";

    Control->HangCalls(VARIANT_FALSE);
    ASSERT_TRUE(WaitFor([&] { return !rigServer->Hung(); }, 10000));
    Control->SetFreq(10100000);
    trx->TimTimer(trx->Tim);
    ASSERT_TRUE(host.AwaitDelivery(15000));
    EXPECT_TRUE(trx->Get_Connected());
    EXPECT_EQ(trx->Get_Freq(), 10100000);
    EXPECT_EQ(host.MessageBoxes().size(), 1u);
    TBStr log;
    Control->GetCallLog(log.Out());
    EXPECT_EQ(log.Ansi().find("7000000"), std::string::npos) << "the abandoned command never went out";
}

// Ticks arrive while a slow tick reads in the background; none nests, none
// fails, and the window's loop is free meanwhile.
TEST_F(RigServerHangTest, AServerSlowerThanThePollIntervalPollsWithoutNestingOrReports)
{
    TWin32Host host;
    TApplication app(host);
    auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), MakeOmniRigXThread(Wait, kDeadlines));
    trx->Tim->SetInterval(50);
    trx->TimTimer(trx->Tim); // connected before the server slows down
    Control->Reset();
    Control->SetCallDelay(100);
    // The main loop for a few seconds: ticks come whenever the loop is free.
    auto* stop = new TTimer(&app);
    stop->SetInterval(3000);
    stop->OnTimer = [&](TObject*) {
        stop->SetEnabled(false);
        trx->StopPolling();
        host.Terminate();
    };
    // Served by the window's loop while the tick reads: the loop never waits for it.
    int served = 0;
    auto* beat = new TTimer(&app);
    beat->SetInterval(20);
    beat->OnTimer = [&](TObject*) { ++served; };
    trx->StartPolling();
    host.Run();
    const uint32_t ticks = trx->TicksRead();
    delete trx; // the tick under way ends, or is left to its thread
    EXPECT_GE(ticks, 1u);
    EXPECT_GE(served, 10) << "the loop went on while ticks read";
    TBStr log;
    Control->GetCallLog(log.Out());
    // Every tick's reads come in their order, one tick after the other; the
    // last may have been cut off at the end.
    const std::string tick = "IOmniRigX.9\nIRigX.14\nIOmniRigX.9\nIRigX.16\nIOmniRigX.9\nIRigX.18\nIOmniRigX.9\n"
                             "IRigX.34\nIOmniRigX.9\nIRigX.24\nIOmniRigX.9\nIRigX.24\nIOmniRigX.9\nIRigX.24\n"
                             "IOmniRigX.9\nIRigX.24\n";
    std::string all = log.Ansi() + "\n";
    uint32_t whole = 0;
    while (all.starts_with(tick)) {
        all.erase(0, tick.size());
        ++whole;
    }
    EXPECT_GE(whole, ticks);
    EXPECT_TRUE(all == "\n" || tick.starts_with(all)) << all;
}

} // namespace
