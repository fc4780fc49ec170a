// When the radio's state goes out: at once on a change, at most every
// 100 ms, again every 10 s, never without a destination.
#include <gtest/gtest.h>

#include "radioinfo/RadioInfoBroadcast.h"

namespace {

TRadioState At(int32_t freq) { return RadioStateFrom(freq, freq, freq, "USB", "VFO A/A", true, false); }

TEST(RadioInfoSchedule, ChangesGoAtOnceButAtMostTenTimesASecond)
{
    // Each step: the time, the radio's frequency then, whether it goes out.
    const struct {
        const char* What;
        std::vector<std::tuple<uint64_t, int32_t, bool>> Steps;
    } cases[] = {
        {"the first state goes at once", {{1000, 1, true}}},
        {"no change: nothing until 10 s", {{0, 1, true}, {50, 1, false}, {9999, 1, false}, {10000, 1, true}}},
        {"the repeat counts from the last send",
         {{0, 1, true}, {5000, 2, true}, {14999, 2, false}, {15000, 2, true}, {25000, 2, true}}},
        {"a burst: the second change waits out the hold",
         {{0, 1, true}, {100, 2, true}, {120, 3, false}, {150, 4, false}, {199, 5, false}, {200, 5, true}}},
        {"a change in the hold goes with the state at its end",
         {{0, 1, true}, {30, 2, false}, {60, 3, false}, {100, 3, true}, {125, 3, false}}},
        {"a change undone within the hold sends nothing new",
         {{0, 1, true}, {30, 2, false}, {60, 1, false}, {100, 1, false}, {10000, 1, true}}},
        {"a late tick sends the change at once", {{0, 1, true}, {5000, 2, true}}},
        {"a clock gone back holds, then goes on",
         {{5000, 1, true}, {1000, 2, false}, {1099, 2, false}, {1100, 2, true}}},
    };
    for (const auto& c : cases) {
        TRadioInfoSchedule schedule;
        for (const auto& [now, freq, due] : c.Steps)
            EXPECT_EQ(schedule.Due(At(freq), now), due) << c.What << " at " << now;
    }
}

TEST(RadioInfoSchedule, EveryPartOfTheStateIsAChange)
{
    const TRadioState base = At(14000000);
    std::vector<TRadioState> changed(6, base);
    changed[0].Freq = 14000010;
    changed[1].TxFreq = 14000010;
    changed[2].Mode = "CW";
    changed[3].Split = true;
    changed[4].Connected = false;
    changed[5].Transmitting = true;
    for (size_t i = 0; i < changed.size(); ++i) {
        TRadioInfoSchedule schedule;
        ASSERT_TRUE(schedule.Due(base, 0));
        EXPECT_FALSE(schedule.Due(base, 500)) << i;
        EXPECT_TRUE(schedule.Due(changed[i], 500)) << i;
    }
}

class TRecordingSender : public IRadioInfoSender {
public:
    bool HasDestinations() override { return Destinations; }
    void Send(const std::string& packet) override { Sent.push_back(packet); }
    std::vector<std::string> TakeErrors() override { return std::exchange(Errors, {}); }

    bool Destinations = true;
    std::vector<std::string> Sent;
    std::vector<std::string> Errors;
};

struct TBroadcastRig {
    TBroadcastRig()
    {
        auto owned = std::make_unique<TRecordingSender>();
        Sender = owned.get();
        Broadcast = std::make_unique<TRadioInfoBroadcast>(
            [this] { return State; }, std::move(owned), "SHACK", [this] { return Now; },
            [this](const std::string& error) { Reported.push_back(error); });
    }
    TRadioState State = At(14074000);
    uint64_t Now = 0;
    TRecordingSender* Sender;
    std::vector<std::string> Reported;
    std::unique_ptr<TRadioInfoBroadcast> Broadcast;
};

TEST(RadioInfoBroadcast, NothingGoesWithoutADestinationAndTheFirstKnownGetsTheStateAtOnce)
{
    TBroadcastRig rig;
    rig.Sender->Destinations = false;
    for (rig.Now = 0; rig.Now <= 30000; rig.Now += 25)
        rig.Broadcast->Tick();
    EXPECT_TRUE(rig.Sender->Sent.empty());
    rig.Sender->Destinations = true;
    rig.Broadcast->Tick();
    ASSERT_EQ(rig.Sender->Sent.size(), 1u);
    EXPECT_NE(rig.Sender->Sent[0].find("<Freq>1407400</Freq>"), std::string::npos);
    EXPECT_NE(rig.Sender->Sent[0].find("<StationName>SHACK</StationName>"), std::string::npos);
}

TEST(RadioInfoBroadcast, TheStateSentIsTheOneAtTheEndOfTheHold)
{
    TBroadcastRig rig;
    rig.Broadcast->Tick();
    for (int32_t freq = 14074010; freq <= 14074050; freq += 10) {
        rig.Now += 15;
        rig.State = At(freq);
        rig.Broadcast->Tick();
    }
    EXPECT_EQ(rig.Sender->Sent.size(), 1u);
    rig.Now = 100;
    rig.Broadcast->Tick();
    ASSERT_EQ(rig.Sender->Sent.size(), 2u);
    EXPECT_NE(rig.Sender->Sent[1].find("<Freq>1407405</Freq>"), std::string::npos);
}

TEST(RadioInfoBroadcast, EachErrorIsReportedOnceAndTheSendingGoesOn)
{
    TBroadcastRig rig;
    rig.Sender->Errors = {"the name x does not resolve"};
    rig.Broadcast->Tick();
    rig.Now = 10000;
    rig.Broadcast->Tick();
    EXPECT_EQ(rig.Reported, std::vector<std::string>{"the name x does not resolve"});
    EXPECT_EQ(rig.Sender->Sent.size(), 2u);
}

} // namespace
