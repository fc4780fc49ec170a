#include <gtest/gtest.h>

#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

using Log = std::vector<std::string>;
using namespace RigParams;

// What one call through a freshly fetched rig object logs.
Log Through(const std::vector<std::string>& calls)
{
    Log log;
    for (const std::string& call : calls) {
        log.push_back("fetch");
        log.push_back(call);
        log.push_back("release");
    }
    return log;
}

const Log kTickLog = Through({"get Freq", "get FreqA", "get FreqB", "get Mode", "get Vfo", "get Vfo", "get Vfo",
                              "get Vfo"});

class TransceiverTest : public ::testing::Test {
protected:
    TransceiverTest()
    {
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
    }

    // Runs one poll tick as the timer does, errors going to the general report.
    void Tick() { DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); }); }

    void PollRadio(int32_t freq, int32_t mode, int32_t vfo)
    {
        Rig->Radio.Tune(freq, mode, vfo);
        Tick();
        Rig->ClearLog();
    }

    THeadlessHost Host;
    TApplication App{Host};
    TFakeRigServer* Rig;
    TTransceiver* Trx;
};

TEST_F(TransceiverTest, StartsIdleWithEmptyState)
{
    EXPECT_EQ(Trx->Tim->Name(), "Tim");
    EXPECT_FALSE(Trx->Tim->Enabled());
    EXPECT_EQ(Trx->Tim->Interval(), 50u);
    EXPECT_EQ(Trx->Get_Freq(), 0);
    EXPECT_EQ(Trx->Get_FreqA(), 0);
    EXPECT_EQ(Trx->Get_FreqB(), 0);
    EXPECT_EQ(Trx->Get_Mode(), "");
    EXPECT_EQ(Trx->Get_VFO(), "");
    EXPECT_FALSE(Trx->Get_Connected());
    EXPECT_FALSE(Trx->SwitchedOn);
    Host.Advance(1000);
    EXPECT_TRUE(Rig->Log.empty()) << "nothing is polled before StartPolling";
}

TEST_F(TransceiverTest, TickReadsEverythingInOrderEachThroughItsOwnRigObject)
{
    Rig->Radio.Arrange(14200000, 7050000, SSB_U, VFOAB);
    Trx->Tim->SetInterval(200);
    Trx->StartPolling();
    Host.Advance(199);
    EXPECT_TRUE(Rig->Log.empty());
    Host.Advance(1);
    EXPECT_EQ(Rig->Log, kTickLog);
    EXPECT_EQ(Rig->LiveRigs, 0);
    EXPECT_EQ(Trx->Get_Freq(), 14200000);
    EXPECT_EQ(Trx->Get_FreqA(), 14200000);
    EXPECT_EQ(Trx->Get_FreqB(), 7050000);
    EXPECT_EQ(Trx->Get_Mode(), "USB");
    EXPECT_EQ(Trx->Get_VFO(), "VFO A/B");
    EXPECT_TRUE(Trx->Get_Connected());

    Rig->ClearLog();
    Host.Advance(400);
    EXPECT_EQ(Rig->Log.size(), 2 * kTickLog.size());
}

TEST_F(TransceiverTest, ModeNamesAndFlagsMapBothWays)
{
    const std::vector<std::pair<std::string, int32_t>> table = {
        {"CW", 0x800000},    {"CW-R", 0x1000000}, {"USB", 0x2000000}, {"LSB", 0x4000000},
        {"DIGI-R", 0x8000000}, {"DIGI", 0x10000000}, {"AM", 0x20000000}, {"FM", 0x40000000},
    };
    for (const auto& [name, flag] : table) {
        SCOPED_TRACE(name);
        PollRadio(7000000, flag, VFOAA);
        EXPECT_EQ(Trx->Get_Mode(), name);
        Trx->Set_Mode(name);
        EXPECT_EQ(Rig->Log, Through({Format("put Mode %d", flag)}));
        Rig->ClearLog();
    }
}

TEST_F(TransceiverTest, ModeValuesOutsideTheTableKeepTheLastName)
{
    PollRadio(7000000, CW_L, VFOAA);
    for (int32_t value : {0, SSB_U | SSB_L, VFOA, 1, -1, 0x1000001}) {
        PollRadio(7000000, value, VFOAA);
        EXPECT_EQ(Trx->Get_Mode(), "CW-R") << std::hex << value;
    }
}

TEST_F(TransceiverTest, UnknownModeNamesSendNothing)
{
    for (const char* name : {"usb", "Ssb", "CW ", " CW", "", "SSB-R", "DIGI-", "PKT"}) {
        Trx->Set_Mode(name);
        EXPECT_TRUE(Rig->Log.empty()) << name;
    }
}

TEST_F(TransceiverTest, SsbBecomesLsbBelowTenMegahertzAndUsbFromThereUp)
{
    Trx->Set_Mode("SSB"); // before any poll the frequency is 0
    EXPECT_EQ(Rig->Log, Through({Format("put Mode %d", SSB_L)}));
    const std::vector<std::pair<int32_t, int32_t>> cases = {
        {7050000, SSB_L}, {9999999, SSB_L}, {10000000, SSB_U}, {14200000, SSB_U}, {-5, SSB_L}, {1000000000, SSB_U},
    };
    for (const auto& [freq, flag] : cases) {
        PollRadio(freq, AM, VFOAA);
        Trx->Set_Mode("SSB");
        EXPECT_EQ(Rig->Log, Through({Format("put Mode %d", flag)})) << freq;
        Rig->ClearLog();
    }
}

TEST_F(TransceiverTest, EachOfTheFourVfoReadsLooksForItsOwnFlag)
{
    struct TCase {
        std::vector<int32_t> Reads;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {{VFOAA, VFOAA, VFOAA, VFOAA}, "VFO A/A"},
        {{VFOAB, VFOAB, VFOAB, VFOAB}, "VFO A/B"},
        {{VFOBB, VFOBB, VFOBB, VFOBB}, "VFO B/B"},
        {{VFOBA, VFOBA, VFOBA, VFOBA}, "VFO B/A"},
        // the arrangement changing between the reads: a later match wins
        {{VFOAA, VFOAB, 0, 0}, "VFO A/B"},
        {{VFOAA, 0, VFOBB, VFOBA}, "VFO B/A"},
        // a flag read at another read's turn does not count
        {{VFOBA, VFOBB, VFOAB, VFOAA}, "VFO A/A"},
        {{0, 0, 0, 0}, "VFO A/A"},
        {{VFOA, VFOB, VFOAA | VFOAB, 0x7FFFFFFF}, "VFO A/A"},
    };
    for (const TCase& c : cases) {
        PollRadio(7000000, AM, VFOAA); // start from "VFO A/A"
        Rig->VfoReads.assign(c.Reads.begin(), c.Reads.end());
        Tick();
        EXPECT_EQ(Trx->Get_VFO(), c.Expected) << testing::PrintToString(c.Reads);
    }
}

TEST_F(TransceiverTest, SetVfoLooksAtCharactersFiveToSevenOnly)
{
    const std::vector<std::pair<std::string, Log>> cases = {
        {"VFO A/A", Through({Format("put Vfo %d", VFOA), Format("put Vfo %d", VFOAA)})},
        {"VFO A/B", Through({Format("put Vfo %d", VFOA), Format("put Vfo %d", VFOAB)})},
        {"VFO B/B", Through({Format("put Vfo %d", VFOB), Format("put Vfo %d", VFOBB)})},
        {"VFO B/A", Through({"put Vfo 4096", "put Vfo 512"})},
        {"xyz A/B", Through({Format("put Vfo %d", VFOA), Format("put Vfo %d", VFOAB)})},
        {"VFO A/Bcd", Through({Format("put Vfo %d", VFOA), Format("put Vfo %d", VFOAB)})},
        {"A", {}},
        {"", {}},
        {"VFO A/", {}},
        {"VFO a/b", {}},
        {"VFO A-B", {}},
        {"A/B", {}},
    };
    for (const auto& [name, log] : cases) {
        Trx->Set_VFO(name);
        EXPECT_EQ(Rig->Log, log) << name;
        Rig->ClearLog();
    }
}

TEST_F(TransceiverTest, SetFreqAlsoTunesTheVfoInUseByTheLastPoll)
{
    const std::vector<std::pair<int32_t, Log>> cases = {
        {VFOAA, Through({"put Freq 7050000", "put FreqA 7050000"})},
        {VFOAB, Through({"put Freq 7050000", "put FreqA 7050000"})},
        {VFOBB, Through({"put Freq 7050000", "put FreqB 7050000"})},
        {VFOBA, Through({"put Freq 7050000", "put FreqB 7050000"})},
    };
    Trx->Set_Freq(7050000); // no poll yet: the arrangement is unknown
    EXPECT_EQ(Rig->Log, Through({"put Freq 7050000"}));
    Rig->ClearLog();
    for (const auto& [vfo, log] : cases) {
        PollRadio(14000000, AM, vfo);
        Trx->Set_Freq(7050000);
        EXPECT_EQ(Rig->Log, log) << Trx->Get_VFO();
        Rig->ClearLog();
    }
    Trx->Set_FreqA(-1);
    Trx->Set_FreqB(3500000);
    EXPECT_EQ(Rig->Log, Through({"put FreqA -1", "put FreqB 3500000"}));
}

TEST_F(TransceiverTest, CommandsLeaveTheStateToTheNextPoll)
{
    PollRadio(14200000, SSB_U, VFOAA);
    Trx->Set_Freq(7050000);
    Trx->Set_Mode("CW");
    Trx->Set_VFO("VFO B/B");
    EXPECT_EQ(Trx->Get_Freq(), 14200000);
    EXPECT_EQ(Trx->Get_FreqA(), 14200000);
    EXPECT_EQ(Trx->Get_Mode(), "USB");
    EXPECT_EQ(Trx->Get_VFO(), "VFO A/A");
}

TEST_F(TransceiverTest, StoppedPollingKeepsTheStateAndStillSendsCommands)
{
    Trx->StartPolling();
    Rig->Radio.Arrange(3550000, 0, CW_U, VFOAA);
    Host.Advance(50);
    EXPECT_TRUE(Trx->Get_Connected());
    Trx->StopPolling();
    EXPECT_FALSE(Trx->Tim->Enabled());
    EXPECT_FALSE(Trx->Get_Connected());
    Rig->ClearLog();
    Rig->Radio.Freq = 7000000;
    Host.Advance(1000);
    EXPECT_TRUE(Rig->Log.empty());
    EXPECT_EQ(Trx->Get_Freq(), 3550000);

    Trx->Set_Freq(3560000);
    EXPECT_EQ(Rig->Log, Through({"put Freq 3560000", "put FreqA 3560000"}));
    Rig->ClearLog();
    Rig->Radio.RigType = "IC-FAKE";
    EXPECT_EQ(Trx->Get_RigType(), "IC-FAKE");
    EXPECT_EQ(Rig->Log, Through({"get RigType"}));
}

TEST_F(TransceiverTest, AFailingReadEndsTheTickKeepingWhatItAlreadyRead)
{
    // Old state, then a radio with new values everywhere, failing at each read.
    for (int failingRead = 1; failingRead <= 8; ++failingRead) {
        SCOPED_TRACE(failingRead);
        Rig->Radio = {"FAKE", 1000000, 1000000, 2000000, CW_U, VFOAA};
        Rig->FailAt = 0;
        Tick();
        Rig->Radio = {"FAKE", 21000000, 21000001, 21000002, FM, VFOAB};
        Rig->ClearLog();
        Rig->FailAt = 3 * (failingRead - 1) + 2; // the read itself, after its fetch
        Tick();
        EXPECT_EQ(Rig->Log.size(), 3u * failingRead) << "no read after the failing one";
        EXPECT_EQ(Rig->LiveRigs, 0);
        EXPECT_EQ(Trx->Get_Freq(), failingRead > 1 ? 21000000 : 1000000);
        EXPECT_EQ(Trx->Get_FreqA(), failingRead > 2 ? 21000001 : 1000000);
        EXPECT_EQ(Trx->Get_FreqB(), failingRead > 3 ? 21000002 : 2000000);
        EXPECT_EQ(Trx->Get_Mode(), failingRead > 4 ? "FM" : "CW");
        EXPECT_EQ(Trx->Get_VFO(), failingRead > 6 ? "VFO A/B" : "VFO A/A");
        EXPECT_FALSE(Trx->Get_Connected());
    }
}

TEST_F(TransceiverTest, APersistingFailureIsReportedOncePerRunOfFailingTicks)
{
    App.SetTitle("Velkor");
    Trx->Tim->SetInterval(200);
    Trx->StartPolling();
    Rig->FailAll = true;
    Host.Advance(1000);
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Rig is not responding.");
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "Velkor");
    EXPECT_TRUE(Trx->Tim->Enabled()) << "the next tick tries again";
    EXPECT_FALSE(Trx->Get_Connected());
    EXPECT_EQ(Rig->Log, (Log{"fetch", "fetch", "fetch", "fetch", "fetch"}));

    Rig->FailAll = false; // the server is back: the run ends
    Host.Advance(200);
    EXPECT_TRUE(Trx->Get_Connected());
    Rig->FailAll = true;
    Host.Advance(400);
    EXPECT_EQ(Host.MessageBoxes().size(), 2u);

    // Switching off and on again starts a new run.
    Trx->StopPolling();
    Trx->StartPolling();
    Host.Advance(200);
    EXPECT_EQ(Host.MessageBoxes().size(), 3u);
}

TEST_F(TransceiverTest, ConnectedOnlyAfterACompleteTickWhilePolling)
{
    EXPECT_FALSE(Trx->Get_Connected());
    Trx->StartPolling();
    EXPECT_FALSE(Trx->Get_Connected()) << "not before the first tick";
    Host.Advance(50);
    EXPECT_TRUE(Trx->Get_Connected());
    Rig->FailAt = static_cast<int>(Rig->Log.size()) + 5;
    Host.Advance(50);
    EXPECT_FALSE(Trx->Get_Connected());
    Host.Advance(50);
    EXPECT_TRUE(Trx->Get_Connected());
    Trx->StopPolling();
    EXPECT_FALSE(Trx->Get_Connected());
}

TEST_F(TransceiverTest, CommandErrorsGoBackToTheCallerAfterWhatWasSent)
{
    PollRadio(14000000, AM, VFOBA);
    Rig->FailAt = 5; // the second put, after its fetch
    EXPECT_THROW(Trx->Set_Freq(7050000), EOleError);
    EXPECT_EQ(Rig->Log, (Log{"fetch", "put Freq 7050000", "release", "fetch", "put FreqB 7050000", "release"}));
    EXPECT_EQ(Rig->LiveRigs, 0);
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "the caller decides how to report";

    Rig->ClearLog();
    Rig->FailAt = 1; // the fetch itself
    EXPECT_THROW(Trx->Set_VFO("VFO A/A"), EOleError);
    EXPECT_EQ(Rig->Log, (Log{"fetch"}));
    Rig->ClearLog();
    EXPECT_THROW(Trx->Get_RigType(), EOleError);
    Rig->ClearLog();
    Rig->FailAt = 2;
    EXPECT_THROW(Trx->Set_Mode("FM"), EOleError);
    EXPECT_EQ(Trx->Get_Mode(), "AM");
}

} // namespace

namespace {

// A server call that waits serves the timer's messages; with a server slower
// than the poll interval every read would otherwise start a tick of its own.
TEST_F(TransceiverTest, ATickArrivingInsideARunningTickIsDropped)
{
    Rig->Radio.Arrange(14200000, 7050000, SSB_U, VFOAB);
    Trx->Tim->SetInterval(200);
    Trx->StartPolling();
    int reads = 0;
    Rig->DuringCall = [&] {
        // Each call takes longer than a whole poll interval.
        ++reads;
        Host.Advance(250);
    };
    Host.Advance(200);
    Rig->DuringCall = nullptr;
    EXPECT_EQ(reads, 16) << "one tick's fetches and reads, nothing nested";
    EXPECT_EQ(Rig->Log, kTickLog);
    EXPECT_EQ(Rig->LiveRigs, 0);
    EXPECT_TRUE(Trx->Get_Connected());
    EXPECT_EQ(Trx->Get_VFO(), "VFO A/B");

    // The next tick after the slow one runs in full again.
    Rig->ClearLog();
    Host.Advance(200);
    EXPECT_EQ(Rig->Log, kTickLog);
}

// A failing read inside a slow tick still lets the next tick run.
TEST_F(TransceiverTest, AFailedSlowTickDoesNotBlockTheNextOne)
{
    App.SetTitle("Velkor");
    Trx->Tim->SetInterval(200);
    Trx->StartPolling();
    Rig->FailAt = 2;
    Rig->DuringCall = [&] { Host.Advance(250); };
    Host.Advance(200);
    Rig->DuringCall = nullptr;
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Rig->Log, (Log{"fetch", "get Freq", "release"}));
    Rig->FailAt = 0;
    Rig->ClearLog();
    Host.Advance(200);
    EXPECT_EQ(Rig->Log, kTickLog);
    EXPECT_TRUE(Trx->Get_Connected());
}

// The rig server the operator puts in a failing one's place is reported
// afresh; a replacement asked for inside a call (a nested event) waits for
// that call's end, so nothing the call holds goes from under it.
TEST_F(TransceiverTest, AReplacedFailingServerLeavesNoReportStateBehind)
{
    App.SetTitle("Velkor");
    auto next = std::make_unique<TFakeRigServer>();
    next->FailAll = true;
    next->FailText = "Connection refused";
    TFakeRigServer* nextRig = next.get();
    Rig->FailAt = 2;
    Rig->DuringCall = [&] {
        if (next)
            Trx->ReplaceRigServer(std::move(next));
        EXPECT_EQ(&Trx->RigServer(), Rig);
    };
    Tick();
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Rig is not responding.");
    EXPECT_EQ(&Trx->RigServer(), nextRig);
    Tick();
    Tick();
    ASSERT_EQ(Host.MessageBoxes().size(), 2u);
    EXPECT_EQ(Host.MessageBoxes()[1].Text, "Connection refused.");
}

} // namespace

// ---------------------------------------------------------------- PTT

namespace {

class PttTest : public TransceiverTest {
protected:
    PttTest()
    {
        App.SetTitle("Velkor");
        Rig->Keys = true;
        // Polling on, its ticks out of the way of the PTT timer's.
        Trx->Tim->SetInterval(3600000);
        Trx->StartPolling();
    }
    std::vector<std::string> PttPuts() const
    {
        std::vector<std::string> puts;
        for (const std::string& put : Rig->Puts())
            if (put.starts_with("put Ptt"))
                puts.push_back(put);
        return puts;
    }
    const int A = 0;
    const int B = 0;
};

TEST_F(PttTest, WithoutPttOnTheServerNothingIsSent)
{
    Rig->Keys = false;
    EXPECT_FALSE(Trx->PttAvailable());
    EXPECT_THROW(Trx->Set_Ptt(true, &A), ENoPtt);
    EXPECT_THROW(Trx->Set_Ptt(false, &A), ENoPtt);
    EXPECT_FALSE(Trx->Get_Ptt());
    Trx->ReleasePtt(&A);
    EXPECT_TRUE(Rig->Log.empty());
}

TEST_F(PttTest, TheLastClientToGoReleasesTheRadio)
{
    struct TCase {
        const char* What;
        std::vector<const int*> Keying;
        std::vector<const int*> Going;
        std::vector<std::string> Puts; // after the keys
    };
    const TCase cases[] = {
        {"the one that keyed goes", {&A}, {&A}, {"put Ptt 0"}},
        {"another client goes", {&A}, {&B}, {}},
        {"one of two goes", {&A, &B}, {&A}, {}},
        {"both go", {&A, &B}, {&B, &A}, {"put Ptt 0"}},
        {"it goes twice", {&A}, {&A, &A}, {"put Ptt 0"}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.What);
        Trx->Set_Ptt(false);
        for (const int* client : test.Keying)
            Trx->Set_Ptt(true, client);
        EXPECT_TRUE(Trx->Get_Ptt());
        Rig->ClearLog();
        for (const int* client : test.Going)
            Trx->ReleasePtt(client);
        EXPECT_EQ(PttPuts(), test.Puts);
        EXPECT_EQ(Trx->Get_Ptt(), test.Puts.empty());
    }
}

TEST_F(PttTest, OffAndTheEndReleaseAKeyedRadio)
{
    Trx->StartPolling();
    Trx->Set_Ptt(true, &A);
    Rig->ClearLog();
    Trx->StopPolling();
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"}));
    Trx->StopPolling();
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"})) << "nothing more once released";

    EXPECT_THROW(Trx->Set_Ptt(true, &A), EInvalidOperation) << "OFF keys nothing";
    EXPECT_FALSE(Trx->Get_Ptt());
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"}));
    Trx->StartPolling();
    Trx->Set_Ptt(true, &A);
    Rig->ClearLog();
    int32_t pttAtEnd = -1;
    Rig->PttAtEnd = &pttAtEnd;
    auto* replacement = new TFakeRigServer;
    Trx->ReplaceRigServer(std::unique_ptr<TFakeRigServer>(replacement));
    EXPECT_EQ(pttAtEnd, 0) << "the old server released it before it went";

    Rig = replacement;
    Rig->Keys = true;
    Trx->Set_Ptt(true, &A);
    pttAtEnd = -1;
    Rig->PttAtEnd = &pttAtEnd;
    delete Trx;
    EXPECT_EQ(pttAtEnd, 0) << "the end released it";
    EXPECT_TRUE(Host.MessageBoxes().empty());
    Trx = nullptr;
}

TEST_F(PttTest, ARefusedKeyLeavesNothingOwed)
{
    Rig->FailAt = 2; // the put after the fetch
    Rig->FailText = "set_ptt refused";
    // The fake's failure is no refusal: the radio may have keyed.
    EXPECT_THROW(Trx->Set_Ptt(true, &A), EOleError);
    EXPECT_TRUE(Trx->Get_Ptt()) << "a failure on the way may have keyed it";
    Trx->ReleasePtt(&A);
    EXPECT_FALSE(Trx->Get_Ptt());

    Rig->Keys = false;
    EXPECT_THROW(Trx->Set_Ptt(true, &A), ENoPtt);
    EXPECT_FALSE(Trx->Get_Ptt());
    EXPECT_FALSE(Trx->PttTim->Enabled());
}

TEST_F(PttTest, TheWatchdogReleasesOnceAndReportsOnce)
{
    Trx->SetPttLimit(3);
    Trx->Set_Ptt(true, &A);
    Rig->ClearLog();
    Host.Advance(2000);
    EXPECT_TRUE(Trx->Get_Ptt());
    Host.Advance(1000);
    EXPECT_FALSE(Trx->Get_Ptt());
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"}));
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_NE(Host.MessageBoxes()[0].Text.find("transmit watchdog"), std::string::npos);
    Host.Advance(10000);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_FALSE(Trx->PttTim->Enabled());

    // A new key starts the count afresh; 0 turns the watchdog off.
    Trx->Set_Ptt(true, &A);
    Host.Advance(2000);
    Trx->SetPttLimit(0);
    Host.Advance(60000);
    EXPECT_TRUE(Trx->Get_Ptt());
}

TEST_F(PttTest, APollThatReadsPttHasTheLastWord)
{
    Rig->ReadsAll = true;
    Tick();
    EXPECT_FALSE(Trx->Get_Ptt());
    Rig->Radio.Ptt = 1; // keyed at the radio, or by another client of the server
    Tick();
    EXPECT_TRUE(Trx->Get_Ptt());
    Rig->Radio.Ptt = 0;
    Tick();
    EXPECT_FALSE(Trx->Get_Ptt());

    Trx->Set_Ptt(true, &A);
    EXPECT_TRUE(Trx->Get_Ptt()) << "keyed here, before any poll";
    Rig->Radio.Ptt = 0; // the radio's own timer released it
    Tick();
    EXPECT_FALSE(Trx->Get_Ptt());
    Trx->ReleasePtt(&A);
    EXPECT_EQ(Rig->Radio.Ptt, 0);
}

TEST_F(PttTest, AFailedReleaseIsToldOnceAndRetriedUntilItGoesThrough)
{
    Trx->Set_Ptt(true, &A);
    Rig->FailAll = true;
    Trx->ReleasePtt(&A);
    EXPECT_TRUE(Trx->UnkeyOwed());
    ASSERT_EQ(Host.MessageBoxes().size(), 1u);
    EXPECT_NE(Host.MessageBoxes()[0].Text.find("may still be transmitting"), std::string::npos);
    Host.Advance(5000);
    EXPECT_EQ(Host.MessageBoxes().size(), 1u) << "told once";
    EXPECT_TRUE(Trx->UnkeyOwed());
    Rig->FailAll = false;
    Rig->ClearLog();
    Host.Advance(1000);
    EXPECT_FALSE(Trx->UnkeyOwed());
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"}));
    Host.Advance(5000);
    EXPECT_EQ(PttPuts(), (Log{"put Ptt 0"})) << "nothing more once released";
}

} // namespace
