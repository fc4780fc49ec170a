// The rig server on its own thread: calls that hang are abandoned at their
// deadline, calls behind them give up with them, and nothing waits for ever.
#include <gtest/gtest.h>

#include <atomic>

#include "rig/RigServerThread.h"
#include "tests/rig/FakeRigServer.h"

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

TEST_F(RigServerThreadTest, TheEndOfTheProgramEndsEveryWaitAndLeavesAHungThreadBehind)
{
    auto thread = Make({60000, 60000, 50});
    Gate.Close();
    Wait.DuringWait = [&] {
        Gate.WaitUntilHeld();
        Wait.IsEnding = true;
    };
    EXPECT_THROW(thread->Rig()->GetFreq(), ERigCallCancelled);
    thread.reset(); // does not wait for the hung call
    EXPECT_FALSE(Freed);
    Gate.Open();
    for (int i = 0; i < 10000 && !Freed; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Freed) << "the thread lets the server go once its call returns";
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
