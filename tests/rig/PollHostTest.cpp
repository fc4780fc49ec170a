#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rig/PollHost.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

using Log = std::vector<std::string>;

// A poll host without any application: it logs the timer's starts and stops
// and every report, and runs a test's code while a report is up.
class TRecordingPollHost : public IPollHost {
public:
    explicit TRecordingPollHost(Log& log) : FLog(log) {}
    ~TRecordingPollHost() override { FLog.push_back("host gone"); }

    void StartTimer(TTimer& timer, uint32_t interval) override
    {
        FLog.push_back("start " + timer.Name() + " " + std::to_string(interval));
    }
    void StopTimer(TTimer& timer) override { FLog.push_back("stop " + timer.Name()); }
    void ReportPollFailure(std::exception_ptr failure) override
    {
        try {
            std::rethrow_exception(failure);
        } catch (const EOleError& error) {
            FLog.push_back(std::string("report ") + error.what());
        }
        if (auto during = std::exchange(DuringReport, nullptr))
            during();
    }

    // Only a server with a thread of its own delivers; the fake reads at once.
    void Deliver(std::function<void()> call) override { Delivered.push_back(std::move(call)); }

    std::function<void()> DuringReport;
    std::vector<std::function<void()>> Delivered;

private:
    Log& FLog;
};

class PollHostTest : public ::testing::Test {
protected:
    PollHostTest()
    {
        auto host = std::make_unique<TRecordingPollHost>(Events);
        PollHost = host.get();
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Trx = std::make_unique<TTransceiver>(nullptr, std::move(host), std::move(rig));
        Trx->StartPolling();
        Events.clear();
    }

    Log Events;
    TRecordingPollHost* PollHost;
    TFakeRigServer* Rig;
    std::unique_ptr<TTransceiver> Trx;
};

// The report comes once the tick is over, with the error as the server raised
// it. A server failing on and off while the report is up: a run that begins
// and ends under the report is never reported on top of it, nor after it.
TEST_F(PollHostTest, FailuresWhileTheReportIsUpAreNotReportedAgain)
{
    Rig->FailAll = true;
    PollHost->DuringReport = [&] {
        EXPECT_FALSE(Trx->InTick());
        Rig->FailAll = false;
        Trx->TimTimer(Trx->Tim);
        EXPECT_TRUE(Trx->Get_Connected());
        Rig->FailAll = true;
        Trx->TimTimer(Trx->Tim);
        EXPECT_FALSE(Trx->Get_Connected());
    };
    Trx->TimTimer(Trx->Tim);
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Events, (Log{"report Rig is not responding"}));

    Rig->FailAll = false;
    Trx->TimTimer(Trx->Tim);
    Rig->FailAll = true;
    Trx->TimTimer(Trx->Tim);
    EXPECT_EQ(Events.size(), 2u) << "a run that begins after the report is reported";
}

TEST_F(PollHostTest, ATransceiverFreedWhilePollingStopsItsTimerBeforeItsHostGoes)
{
    Trx.reset();
    EXPECT_EQ(Events, (Log{"stop Tim", "host gone"}));
}

// The application's poll host: an error that is no std::exception still
// reaches the general error report.
TEST(AppPollHostTest, AnUnknownErrorIsReportedAsSuch)
{
    THeadlessHost host;
    TApplication app(host);
    app.SetTitle("Velkor");
    TAppPollHost pollHost(app);
    pollHost.ReportPollFailure(std::make_exception_ptr(42));
    ASSERT_EQ(host.MessageBoxes().size(), 1u);
    EXPECT_EQ(host.MessageBoxes()[0].Text, "Unknown error.");
    EXPECT_EQ(host.MessageBoxes()[0].Caption, "Velkor");
}

} // namespace
