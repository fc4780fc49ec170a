// The rig server on its own thread: calls that hang are abandoned at their
// deadline, calls behind them give up with them, and nothing waits for ever.
#include <gtest/gtest.h>

#include <atomic>

#include "rig/RigServerThread.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

// Holds the server's calls while closed, as a hung server does.
class TGate {
public:
    void Close() { Set(false); }
    void Open() { Set(true); }
    void Pass()
    {
        std::unique_lock lock(FMutex);
        ++FWaiting;
        FChanged.notify_all();
        FChanged.wait(lock, [this] { return FOpen; });
        --FWaiting;
    }
    void WaitUntilHeld()
    {
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [this] { return FWaiting > 0; });
    }

private:
    void Set(bool open)
    {
        std::lock_guard lock(FMutex);
        FOpen = open;
        FChanged.notify_all();
    }
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FOpen = true;
    int FWaiting = 0;
};

// A fake server whose calls pass the gate; not connected until its first call.
class TGatedServer : public TFakeRigServer {
public:
    TGatedServer(TGate& gate, std::atomic<bool>& freed) : FFreed(freed)
    {
        DuringCall = [this, &gate] {
            gate.Pass();
            FConnected = true;
        };
    }
    ~TGatedServer() override { FFreed = true; }
    bool Connected() const override { return FConnected; }

private:
    std::atomic<bool>& FFreed;
    std::atomic<bool> FConnected{false};
};

// Lets a test run a call from inside a wait, as COM runs a logger's call.
class TServingWait : public TBlockingRigCallWait {
public:
    void Wait(uint32_t timeout) override
    {
        if (auto nested = std::exchange(DuringWait, nullptr))
            nested(); // it took its time: the caller looks again
        else
            TBlockingRigCallWait::Wait(timeout);
    }
    bool Ending() override { return IsEnding; }
    std::function<void()> DuringWait;
    std::atomic<bool> IsEnding{false};
};

class RigServerThreadTest : public ::testing::Test {
protected:
    std::unique_ptr<TRigServerThread> Make(TRigDeadlines deadlines)
    {
        return std::make_unique<TRigServerThread>(
            [this]() -> std::unique_ptr<IRigServer> {
                auto server = std::make_unique<TGatedServer>(Gate, Freed);
                Server = server.get();
                return server;
            },
            Wait, deadlines);
    }

    TGate Gate;
    TServingWait Wait;
    std::atomic<bool> Freed{false};
    TGatedServer* Server = nullptr; // the thread's; read once calls have returned
    const TRigDeadlines kShort{50, 50, 50};
    const TRigDeadlines kLong{60000, 60000, 60000};
};

TEST_F(RigServerThreadTest, CallsReachTheServerAndItsErrorsComeBackAsTheyWere)
{
    auto thread = Make(kLong);
    thread->Rig()->PutFreq(7050000);
    Server->Radio.Freq = 14074000;
    EXPECT_EQ(thread->Rig()->GetFreq(), 14074000);
    EXPECT_TRUE(thread->Connected());
    EXPECT_EQ(Server->Log, (std::vector<std::string>{"fetch", "put Freq 7050000", "release", "fetch", "get Freq",
                                                     "release"}));
    Server->FailAll = true;
    try {
        thread->Rig()->GetMode();
        FAIL() << "the server's error is raised";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), "Rig is not responding");
        EXPECT_EQ(error.ErrorCode(), static_cast<int32_t>(0x80004005));
    }
}

TEST_F(RigServerThreadTest, AHungCallIsAbandonedAndTheServerIsUsedAgainOnceItReturns)
{
    auto thread = Make(kShort);
    Gate.Close();
    EXPECT_THROW(thread->Rig()->PutFreq(7000000), ERigServerTimeout) << "the connecting call hangs";
    EXPECT_TRUE(thread->Hung());
    // While it hangs, calls fail at once and never reach the server later.
    EXPECT_THROW(thread->Rig()->GetFreq(), ERigServerTimeout);
    EXPECT_THROW(thread->ShowRigDialog(true), ERigServerTimeout);
    Gate.Open();
    while (thread->Hung())
        std::this_thread::yield();
    EXPECT_EQ(thread->Rig()->GetFreq(), 0);
    EXPECT_EQ(Server->Log, (std::vector<std::string>{"fetch", "put Freq 7000000", "release", "fetch", "get Freq",
                                                     "release"}));
}

TEST_F(RigServerThreadTest, ACallMadeWhileWaitingForAHungOneGivesUpWithIt)
{
    auto thread = Make(kShort);
    Gate.Close();
    bool nestedFailed = false;
    Wait.DuringWait = [&] {
        try {
            thread->Rig()->PutMode(0x40000000);
        } catch (const ERigServerTimeout&) {
            nestedFailed = true;
        }
    };
    EXPECT_THROW(thread->Rig()->GetFreq(), ERigServerTimeout);
    EXPECT_TRUE(nestedFailed);
    Gate.Open();
    while (thread->Hung())
        std::this_thread::yield();
    EXPECT_EQ(Server->Log, (std::vector<std::string>{"fetch", "get Freq", "release"}))
        << "the call behind it never runs";
    thread.reset();
    EXPECT_TRUE(Freed);
}

// A call's deadline is what it may take: the end waits for a call within it
// (left behind, a server being started would run on unreleased), and leaves
// behind one that is past it.
TEST_F(RigServerThreadTest, TheEndOfTheProgramEndsEveryWaitAndLeavesAHungThreadBehind)
{
    auto thread = Make({200, 200, 50});
    Gate.Close();
    Wait.DuringWait = [&] {
        Gate.WaitUntilHeld();
        Wait.IsEnding = true;
    };
    EXPECT_THROW(thread->Rig()->GetFreq(), ERigCallCancelled);
    thread.reset(); // waits for the call no longer than its deadline
    EXPECT_FALSE(Freed);
    Gate.Open();
    for (int i = 0; i < 10000 && !Freed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Freed) << "the thread lets the server go once its call returns";
}

// A tick read in the background: a call behind its hung read gives up, and
// so does the tick; the next one starts afresh once the server answers.
TEST_F(RigServerThreadTest, ACallBehindAHungReadOfATickGivesUpAndTheTickIsDropped)
{
    auto thread = Make(kShort);
    std::mutex mutex;
    std::vector<TPollReading> readings;
    auto collect = [&](TPollReading reading) {
        std::lock_guard lock(mutex);
        readings.push_back(std::move(reading));
    };
    Gate.Close();
    ASSERT_TRUE(thread->PollInBackground(collect));
    Gate.WaitUntilHeld();
    EXPECT_THROW(thread->Rig()->PutFreq(7000000), ERigServerTimeout) << "behind the hung read";
    EXPECT_TRUE(thread->Hung());
    EXPECT_THROW(thread->PollInBackground(collect), ERigServerTimeout) << "the hung tick is given up";
    Gate.Open();
    while (thread->Hung())
        std::this_thread::yield();
    ASSERT_TRUE(thread->PollInBackground(collect));
    for (;;) {
        std::lock_guard lock(mutex);
        if (!readings.empty())
            break;
    }
    // The thread is idle now: its log is read here, before the thread frees it.
    std::vector<std::string> expected{"fetch", "get Freq", "release"}; // the hung read, once it answered
    for (const char* read : {"Freq", "FreqA", "FreqB", "Mode", "Vfo", "Vfo", "Vfo", "Vfo"})
        expected.insert(expected.end(), {"fetch", std::string("get ") + read, "release"});
    EXPECT_EQ(Server->Log, expected) << "the command given up never went out, nor the rest of the dropped tick";
    thread.reset();
    ASSERT_EQ(readings.size(), 1u) << "the tick given up told nobody";
    EXPECT_FALSE(readings[0].Failure);
    EXPECT_EQ(readings[0].Vfos.size(), 4u);
}

TEST_F(RigServerThreadTest, AtTheEndACallWithinItsDeadlineIsLetEndAndItsServerLetGo)
{
    auto thread = Make({10000, 10000, 50});
    Gate.Close();
    ASSERT_TRUE(thread->PollInBackground([](TPollReading) {}));
    Gate.WaitUntilHeld(); // a server being started, say
    std::thread answer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Gate.Open();
    });
    thread.reset();
    EXPECT_TRUE(Freed) << "the server was let go before the end returned";
    answer.join();
}

// A call still queued when the thread stops is answered as cancelled at once,
// also while the thread is caught in a hung call.
TEST_F(RigServerThreadTest, ACallStillQueuedWhenTheThreadStopsIsCancelled)
{
    auto thread = Make({300, 300, 50});
    Gate.Close();
    bool queuedCancelled = false;
    Wait.DuringWait = [&] {
        Gate.WaitUntilHeld();
        Wait.DuringWait = [&] { thread.reset(); }; // inside the queued call's wait
        try {
            thread->Rig()->GetMode();
        } catch (const ERigCallCancelled&) {
            queuedCancelled = true;
        }
    };
    EXPECT_THROW(thread->Rig()->GetFreq(), ERigCallCancelled) << "the hung call's caller hears it too";
    EXPECT_TRUE(queuedCancelled);
    EXPECT_FALSE(thread);
    Gate.Open();
    for (int i = 0; i < 10000 && !Freed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Freed);
}

// The transceiver on the thread: its tick reads there, and the window, the
// loggers and the rigctl port read the last reading meanwhile.
class BackgroundPollTest : public RigServerThreadTest {
protected:
    BackgroundPollTest()
    {
        App.SetTitle("Velkor");
        auto thread = Make(kShort);
        Thread = thread.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(thread));
        Trx->StartPolling();
    }
    void Tick() { DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); }); }

    THeadlessHost Host;
    TApplication App{Host};
    TRigServerThread* Thread;
    TTransceiver* Trx;
};

TEST_F(BackgroundPollTest, TheTickReadsOnTheThreadAndItsReadingComesBackAsAMessage)
{
    Gate.Close();
    Tick();
    Gate.WaitUntilHeld();
    Server->Radio = {"FAKE", 14074000, 14074000, 7000000, RigParams::DIG_U, RigParams::VFOAB};
    EXPECT_TRUE(Trx->InTick());
    Tick(); // dropped: the tick under way reads anyway
    EXPECT_EQ(Trx->Get_Freq(), 0) << "nothing is stored before the reading comes back";
    Gate.Open();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    EXPECT_FALSE(Trx->InTick());
    EXPECT_TRUE(Trx->Get_Connected());
    EXPECT_EQ(Trx->Get_Freq(), 14074000);
    EXPECT_EQ(Trx->Get_FreqB(), 7000000);
    EXPECT_EQ(Trx->Get_Mode(), "DIGI-R");
    EXPECT_EQ(Trx->Get_VFO(), "VFO A/B");
    EXPECT_EQ(Trx->TicksRead(), 1u);
    EXPECT_EQ(Server->Log.size(), 24u) << "one tick of eight fetched reads";
}

TEST_F(BackgroundPollTest, AHungTickIsReportedOnceAndTheNextTickStartsWhenTheServerAnswers)
{
    Tick();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    ASSERT_TRUE(Trx->Get_Connected());
    Gate.Close();
    Tick();
    Gate.WaitUntilHeld();
    while (!Thread->Hung())
        std::this_thread::yield();
    Tick();
    Tick();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "The rig server does not answer.");
    EXPECT_FALSE(Trx->Get_Connected());
    Gate.Open();
    while (Thread->Hung())
        std::this_thread::yield();
    Server->Radio.Freq = 3573000;
    Tick();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    EXPECT_TRUE(Trx->Get_Connected());
    EXPECT_EQ(Trx->Get_Freq(), 3573000);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
}

TEST_F(BackgroundPollTest, AFailingTickIsReportedLikeOneReadAtOnceButNotAfterTheSwitchWentOff)
{
    Tick();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    Server->FailAll = true;
    Tick();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Rig is not responding.");
    EXPECT_FALSE(Trx->Get_Connected());

    // Off while a failing tick reads: its end is no news.
    Server->FailAll = false;
    Tick();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    Trx->StartPolling();
    Gate.Close();
    Tick();
    Gate.WaitUntilHeld();
    Server->FailAll = true;
    Trx->StopPolling();
    Gate.Open();
    ASSERT_TRUE(Host.AwaitDelivery(10000));
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_FALSE(Trx->Get_Connected());
}

TEST_F(BackgroundPollTest, ATickOfAServerReplacedMeanwhileCountsForNothing)
{
    Gate.Close();
    Tick();
    Gate.WaitUntilHeld();
    auto next = std::make_unique<TFakeRigServer>();
    next->Radio.Freq = 10136000;
    Trx->ReplaceRigServer(std::move(next)); // the old thread is left in its call
    Gate.Open();
    EXPECT_FALSE(Host.AwaitDelivery(200)) << "the old server's tick tells nobody";
    Tick();
    EXPECT_EQ(Trx->Get_Freq(), 10136000);
    EXPECT_TRUE(Trx->Get_Connected());
}

TEST(RigServerThreadMaking, AServerThatCannotBeMadeFailsEveryCallWithItsError)
{
    TBlockingRigCallWait wait;
    TRigServerThread thread([]() -> std::unique_ptr<IRigServer> { throw EOleError("Class not registered", 1); },
                            wait);
    EXPECT_THROW(thread.Rig()->GetFreq(), EOleError);
    EXPECT_THROW(thread.ShowRigDialog(true), EOleError);
    EXPECT_FALSE(thread.Connected());
}

} // namespace
