// The rigctld client: its failures against a scripted link (cut, garbage,
// errors, the back-off), and the real rigctld's dummy radio, killed and
// started again, beside a listener that never answers.
#include <gtest/gtest.h>

#include <deque>
#include <thread>

#include "rig/RigctldClient.h"
#include "rig/TransceiverUnit.h"
#include "tests/rig/RigctldLink.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

using namespace RigParams;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------- a scripted link

// In a script: rigctld ends the connection there.
const std::string kClosed = "<closed>";

struct TScript {
    std::deque<std::string> Lines;
    bool Refuse = false;
    int Connects = 0;
    std::string Sent;
    // The latest deadline the link was given.
    TRigctldClock::time_point LatestDeadline{};
    void Given(TRigctldClock::time_point deadline) { LatestDeadline = std::max(LatestDeadline, deadline); }
};

class TScriptedLink final : public IRigctldLink {
public:
    explicit TScriptedLink(TScript& script) : FScript(script) {}
    void Connect(const std::string&, uint16_t, TRigctldClock::time_point deadline) override
    {
        FScript.Given(deadline);
        ++FScript.Connects;
        if (FScript.Refuse)
            throw ERigctldLinkError("cannot connect: refused");
    }
    void Close() override {}
    void Send(std::string_view text, TRigctldClock::time_point deadline) override
    {
        FScript.Given(deadline);
        FScript.Sent += text;
    }
    std::string ReadLine(TRigctldClock::time_point deadline) override
    {
        FScript.Given(deadline);
        if (FScript.Lines.empty())
            throw ERigctldConnectionLost("it closed the connection");
        std::string line = FScript.Lines.front();
        FScript.Lines.pop_front();
        if (line == kClosed)
            throw ERigctldConnectionLost("it closed the connection");
        return line;
    }

private:
    TScript& FScript;
};

const Lines kGreeting = {"0", "dump_caps:", "Caps dump for model: 1", "Model name:\tDummy", "RPRT 0"};

Lines PollReplies(const std::string& freq = "Frequency: 145000000", const std::string& vfo = "VFO: VFOA")
{
    return {"get_freq:",      freq,       "RPRT 0",    "get_mode:", "Mode: FM", "Passband: 15000", "RPRT 0",
            "get_vfo:",       vfo,        "RPRT 0",    "get_split_vfo:", "Split: 0", "TX VFO: VFOA", "RPRT 0"};
}

class RigctldScriptTest : public ::testing::Test {
protected:
    RigctldScriptTest()
        : Server(std::make_unique<TScriptedLink>(Script), "127.0.0.1", 4532,
                 {.Connect = 2s, .Exchange = 1s, .FirstRetry = 500ms, .LongestRetry = 2s, .PttPolls = 0},
                 [this] { return Now; })
    {
    }
    void Expect(const Lines& lines) { Script.Lines.insert(Script.Lines.end(), lines.begin(), lines.end()); }
    // The error text of a read, or "" when it read.
    std::string ReadError()
    {
        try {
            Server.Rig()->GetFreq();
            return {};
        } catch (const ERigctldError& error) {
            return error.what();
        }
    }

    TScript Script;
    TRigctldClock::time_point Now{};
    TRigctldServer Server;
};

TEST_F(RigctldScriptTest, AFailedExchangeDropsTheConnectionAndAnErrorAnswerKeepsIt)
{
    struct TCase {
        const char* Name;
        Lines Replies;
        const char* Error;
        bool Dropped;
    };
    Lines endless = {"get_freq:"};
    endless.insert(endless.end(), 1001, "Frequency: 1");
    const TCase cases[] = {
        {"cut in the middle", {"get_freq:", "Frequency: 14"}, "rigctld at 127.0.0.1:4532: it closed the connection",
         true},
        {"not rigctld's", {"HTTP/1.0 400 Bad Request"}, "it answered \"HTTP/1.0 400 Bad Request\" to get_freq", true},
        {"no number", PollReplies("Frequency: 14.07x"), "it answered no frequency", true},
        {"never ends", endless, "does not end", true},
        {"the radio's error",
         {"get_freq:", "RPRT -5", "get_mode:", "RPRT -5", "get_vfo:", "RPRT -5", "get_split_vfo:", "RPRT -5"},
         "cannot read the frequency: Communication timed out", false},
        {"above what is shown", PollReplies("Frequency: 10368000000"), "10368000000 Hz, outside what Velkor shows",
         false},
        {"one gigahertz", PollReplies("Frequency: 1000000000"), "1000000000 Hz, outside what Velkor shows", false},
        {"below zero", PollReplies("Frequency: -1"), "the radio reports -1 Hz, outside what Velkor shows (1 Hz to "
                                                     "999.999.999 Hz)", false},
        {"zero", PollReplies("Frequency: 0.000000"), "0.000000 Hz, outside what Velkor shows", false},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        Now += 10s;
        Expect(kGreeting);
        Expect(test.Replies);
        const std::string error = ReadError();
        EXPECT_NE(error.find(test.Error), std::string::npos) << error;
        EXPECT_EQ(Server.Connected(), !test.Dropped);
        // The next read: a kept connection reads; a dropped one fails at
        // once within the back-off, with nothing sent.
        Script.Lines.clear();
        const int connects = Script.Connects;
        const size_t sent = Script.Sent.size();
        if (test.Dropped) {
            EXPECT_EQ(ReadError(), error);
            EXPECT_EQ(Script.Connects, connects);
            EXPECT_EQ(Script.Sent.size(), sent);
        } else {
            Expect(PollReplies());
            EXPECT_EQ(ReadError(), "");
            EXPECT_EQ(Script.Connects, connects);
        }
        // A kept connection ends here, so that the next case greets again.
        if (!test.Dropped) {
            EXPECT_NE(ReadError(), "");
        }
    }
}

TEST_F(RigctldScriptTest, TheBackOffGrowsToItsLongestAndAConnectionResetsIt)
{
    Script.Refuse = true;
    // Connection attempts at these times (ms), and the reads between that fail at once.
    const int attempts[] = {0, 500, 1500, 3500, 5500};
    int connects = 0;
    for (int ms = 0; ms <= 5500; ms += 100) {
        Now = TRigctldClock::time_point{} + 1h + std::chrono::milliseconds(ms);
        const std::string error = ReadError();
        EXPECT_EQ(error, "rigctld at 127.0.0.1:4532: cannot connect: refused") << ms;
        if (std::find(std::begin(attempts), std::end(attempts), ms) != std::end(attempts))
            ++connects;
        ASSERT_EQ(Script.Connects, connects) << "at " << ms << " ms";
    }
    // Back: the next failure waits the first back-off again.
    Script.Refuse = false;
    Now += 2s;
    Expect(kGreeting);
    Expect(PollReplies());
    EXPECT_EQ(ReadError(), "");
    Now += 1s;
    EXPECT_NE(ReadError(), ""); // closed, and closed again when tried at once
    Now += 400ms;
    EXPECT_NE(ReadError(), "");
    EXPECT_EQ(Script.Connects, connects + 2);
    Now += 100ms;
    Expect(kGreeting);
    Expect(PollReplies());
    EXPECT_EQ(ReadError(), "");
    EXPECT_EQ(Script.Connects, connects + 3);
}

TEST_F(RigctldScriptTest, AConnectionRigctldEndsIsMadeAgainAtOnceWithoutAReport)
{
    Expect(kGreeting);
    Expect(PollReplies());
    EXPECT_EQ(ReadError(), "");
    Expect({"get_freq:", kClosed});
    Expect(kGreeting);
    Expect(PollReplies("Frequency: 7074000"));
    EXPECT_EQ(ReadError(), "");
    EXPECT_EQ(Script.Connects, 2);
    EXPECT_EQ(Server.Rig()->GetFreqA(), 7074000);
}

TEST_F(RigctldScriptTest, AServerThatIsNotRigctldIsToldApart)
{
    Expect({"SSH-2.0-OpenSSH_9.2"});
    EXPECT_NE(ReadError().find("it does not answer as rigctld does (\"SSH-2.0-OpenSSH_9.2\")"), std::string::npos);
    EXPECT_FALSE(Server.Connected());
}

TEST_F(RigctldScriptTest, ARadioThatCannotTellModeVfoOrSplitShowsVfoAWithTheModeKept)
{
    Expect(kGreeting);
    Expect(PollReplies());
    auto rig = Server.Rig();
    EXPECT_EQ(rig->GetMode(), FM);
    Expect({"get_freq:", "Frequency: 7074000", "RPRT 0", "get_mode:", "RPRT -11", "get_vfo:", "RPRT -11",
            "get_split_vfo:", "RPRT -11"});
    EXPECT_EQ(rig->GetFreq(), 7074000);
    EXPECT_EQ(rig->GetMode(), FM);
    EXPECT_EQ(rig->GetVfo(), VFOAA);
    EXPECT_EQ(rig->GetFreqA(), 7074000);
}

TEST_F(RigctldScriptTest, ACommandTheRadioRejectsIsReportedAndTheConnectionStays)
{
    Expect(kGreeting);
    Expect(PollReplies());
    auto rig = Server.Rig();
    rig->GetFreq();
    Expect({"set_freq: 99", "RPRT -9"});
    try {
        rig->PutFreq(99);
        FAIL() << "no error";
    } catch (const ERigctldError& error) {
        EXPECT_STREQ(error.what(), "rigctld at 127.0.0.1:4532 could not set the frequency: Command rejected by the rig");
    }
    EXPECT_TRUE(Server.Connected());
    EXPECT_THROW(rig->PutMode(0), ERigctldError); // no mode has flag 0: nothing sent
    EXPECT_EQ(Script.Sent.find("set_mode"), std::string::npos);
}

TEST_F(RigctldScriptTest, NoFrequencyOutsideWhatVelkorShowsGoesOutAndAMemorysUnusedVfoIsLeftAlone)
{
    Expect(kGreeting);
    Expect(PollReplies());
    auto rig = Server.Rig();
    rig->GetFreq();
    const size_t sent = Script.Sent.size();
    for (int32_t freq : {0, -1, -500, 1000000000, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(freq);
        EXPECT_THROW(rig->PutFreq(freq), ERigctldError);
        if (freq > 0) {
            EXPECT_THROW(rig->PutFreqB(freq), ERigctldError);
        }
    }
    rig->PutFreqA(-1);
    rig->PutFreqB(-1);
    rig->PutFreqB(0);
    EXPECT_EQ(Script.Sent.substr(sent), "");
    EXPECT_TRUE(Server.Connected());
    try {
        rig->PutFreq(-1);
    } catch (const ERigctldError& error) {
        EXPECT_STREQ(error.what(), "rigctld at 127.0.0.1:4532: Velkor tunes no radio to -1 Hz (only 1 Hz to "
                                   "999.999.999 Hz)");
    }
}

// Without --vfo the VFO not in use is tuned by switching to it: it is
// switched back whatever the tuning did, on the next connection when this one
// was cut.
TEST_F(RigctldScriptTest, AVfoSwitchedForACallIsAlwaysSwitchedBack)
{
    Expect(kGreeting);
    Expect(PollReplies());
    auto rig = Server.Rig();
    rig->GetFreq();

    Script.Sent.clear();
    Expect({"set_vfo: VFOB", "RPRT 0", "set_freq: 7010000", "RPRT -9", "set_vfo: VFOA", "RPRT 0"});
    try {
        rig->PutFreqB(7010000);
        FAIL() << "the refusal is told";
    } catch (const ERigctldError& error) {
        EXPECT_NE(std::string(error.what()).find("could not set the frequency"), std::string::npos) << error.what();
    }
    EXPECT_EQ(Script.Sent, "+\\set_vfo VFOB\n+\\set_freq 7010000\n+\\set_vfo VFOA\n");

    // Cut after the switch, and refused when made anew: the next call that
    // reaches rigctld switches back before anything else.
    Script.Sent.clear();
    Expect({"set_vfo: VFOB", "RPRT 0", "set_freq: 7020000", kClosed});
    Script.Refuse = true;
    EXPECT_THROW(rig->PutFreqB(7020000), ERigctldError);
    EXPECT_FALSE(Server.Connected());
    Script.Refuse = false;
    Now += 10s;
    Expect(kGreeting);
    Expect({"set_vfo: VFOA", "RPRT 0"});
    Expect(PollReplies());
    EXPECT_EQ(ReadError(), "");
    EXPECT_EQ(Script.Sent, "+\\set_vfo VFOB\n+\\set_freq 7020000\n\\chk_vfo\n+\\dump_caps\n+\\set_vfo VFOA\n"
                           "+\\get_freq\n+\\get_mode\n+\\get_vfo\n+\\get_split_vfo\n");
}

// A call whose connection rigctld ends is made again on a new one within the
// same deadline, so the cause of a failure is told before the rig server's
// thread would give up on the call.
TEST_F(RigctldScriptTest, TheSecondGoOfACallKeepsToTheCallsDeadlineAndTellsItsCause)
{
    Expect(kGreeting);
    Expect(PollReplies());
    EXPECT_EQ(ReadError(), "");
    const TRigctldClock::time_point callStart = Now += 10s;
    Expect({"get_freq:", kClosed});
    Script.Refuse = true;
    EXPECT_EQ(ReadError(), "rigctld at 127.0.0.1:4532: cannot connect: refused");
    EXPECT_LE(Script.LatestDeadline, callStart + 1s) << "the connection made anew has what is left of the call's";
}

// ---------------------------------------------------------------- the real rigctld

const TRigctldTimes kQuick{.Connect = 2s, .Exchange = 2s, .FirstRetry = 100ms, .LongestRetry = 200ms};

class RigctldDummyTest : public ::testing::TestWithParam<bool> {
protected:
    RigctldDummyTest()
        : Rigctld(FreeLoopbackPort(), GetParam() ? std::vector<std::string>{"--vfo"} : std::vector<std::string>{}),
          Server(MakePosixRigctldLink(), "127.0.0.1", Rigctld.Port(), kQuick)
    {
    }
    void SetUp() override { ASSERT_TRUE(Rigctld.Start()) << "rigctld (Debian's libhamlib-utils) did not start"; }

    TRigctldProcess Rigctld;
    TRigctldServer Server;
};

TEST_P(RigctldDummyTest, ReadsTunesAndSwitchesTheDummyRadio)
{
    auto rig = Server.Rig();
    EXPECT_EQ(rig->GetRigType(), "Dummy");
    EXPECT_EQ(rig->GetFreq(), 145000000);
    EXPECT_EQ(rig->GetMode(), FM);
    EXPECT_EQ(rig->GetVfo(), VFOAA);

    rig->PutFreq(14074000);
    EXPECT_EQ(rig->GetFreq(), 14074000);
    for (int32_t mode : {CW_U, CW_L, SSB_U, SSB_L, DIG_U, DIG_L, AM, FM}) {
        rig->PutMode(mode);
        rig->GetFreq();
        EXPECT_EQ(rig->GetMode(), mode) << ModeName(mode);
    }
    // The other VFO is tuned without switching for good.
    rig->PutFreqB(7010000);
    EXPECT_EQ(rig->GetFreq(), 14074000);
    EXPECT_EQ(rig->GetVfo(), VFOAA);
    // Each arrangement as the transceiver sets it: the VFO, then the split.
    const std::pair<int32_t, int32_t> arrangements[] = {{VFOA, VFOAB}, {VFOB, VFOBB}, {VFOB, VFOBA}, {VFOA, VFOAA}};
    for (const auto& [selection, arrangement] : arrangements) {
        rig->PutVfo(selection);
        rig->PutVfo(arrangement);
        rig->GetFreq();
        EXPECT_EQ(rig->GetVfo(), arrangement);
        if (arrangement == VFOAB) {
            EXPECT_EQ(rig->GetFreqB(), 7010000);
        }
        if (arrangement == VFOBB) {
            EXPECT_EQ(rig->GetFreq(), 7010000);
        }
    }
    EXPECT_EQ(rig->GetFreqA(), 14074000);
}

TEST_P(RigctldDummyTest, KilledAndStartedAgainItIsReadAgain)
{
    EXPECT_EQ(Server.Rig()->GetFreq(), 145000000);
    Rigctld.Kill();
    EXPECT_THROW(Server.Rig()->GetFreq(), ERigctldError);
    EXPECT_FALSE(Server.Connected());
    ASSERT_TRUE(Rigctld.Start());
    const auto until = TRigctldClock::now() + 10s;
    bool read = false;
    while (!read && TRigctldClock::now() < until) {
        try {
            read = Server.Rig()->GetFreq() == 145000000;
        } catch (const ERigctldError&) {
            std::this_thread::sleep_for(20ms);
        }
    }
    EXPECT_TRUE(read);
}

INSTANTIATE_TEST_SUITE_P(, RigctldDummyTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "VfoMode" : "Plain"; });

TEST(RigctldSilentTest, AServerThatNeverAnswersCostsOneDeadlineThenNothing)
{
    TSilentListener silent;
    TRigctldServer server(MakePosixRigctldLink(), "127.0.0.1", silent.Port(),
                          {.Connect = 1s, .Exchange = 300ms, .FirstRetry = 5s, .LongestRetry = 5s});
    try {
        server.Rig()->GetFreq();
        FAIL() << "it read";
    } catch (const ERigctldError& error) {
        EXPECT_NE(std::string(error.what()).find("it does not answer"), std::string::npos) << error.what();
    }
    // Within the back-off the same failure stands (the scripted tests show
    // that nothing goes out meanwhile).
    EXPECT_THROW(server.Rig()->GetFreq(), ERigctldError);
}

// The transceiver polls rigctld as it polls the COM rig server.
TEST(RigctldTransceiverTest, APollShowsTheDummyRadio)
{
    TRigctldProcess rigctld(FreeLoopbackPort());
    ASSERT_TRUE(rigctld.Start());
    THeadlessHost host;
    TApplication app(host);
    auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app),
                                 std::make_unique<TRigctldServer>(MakePosixRigctldLink(), "127.0.0.1",
                                                                  rigctld.Port(), kQuick));
    trx->StartPolling();
    trx->TimTimer(trx->Tim);
    EXPECT_TRUE(trx->Get_Connected());
    EXPECT_EQ(trx->Get_Freq(), 145000000);
    EXPECT_EQ(trx->Get_Mode(), "FM");
    EXPECT_EQ(trx->Get_VFO(), "VFO A/A");
    trx->Set_Mode("SSB");
    trx->Set_VFO("VFO A/B");
    trx->TimTimer(trx->Tim);
    EXPECT_EQ(trx->Get_Mode(), "USB");
    EXPECT_EQ(trx->Get_VFO(), "VFO A/B");
}

} // namespace

namespace {

// The dummy keys only with "-P RIG"; without it rigctld refuses set_ptt.
TEST(RigctldPttTest, KeysReadsAndReleasesTheDummyAndARefusalIsOne)
{
    for (const bool rigPtt : {true, false}) {
        SCOPED_TRACE(rigPtt ? "-P RIG" : "no PTT");
        TRigctldProcess rigctld(FreeLoopbackPort(),
                                rigPtt ? std::vector<std::string>{"-P", "RIG"} : std::vector<std::string>{});
        ASSERT_TRUE(rigctld.Start());
        TRigctldServer server(MakePosixRigctldLink(), "127.0.0.1", rigctld.Port(), {.PttPolls = 1});
        EXPECT_TRUE(server.CanKey());
        if (!rigPtt) {
            try {
                server.Rig()->PutPtt(1);
                ADD_FAILURE() << "keyed";
            } catch (const IRigRefusal&) {
            }
            TRigReading reading;
            EXPECT_TRUE(server.ReadAll(reading)) << "a PTT it cannot read fails no poll";
            EXPECT_FALSE(reading.Ptt.has_value());
            continue;
        }
        server.Rig()->PutPtt(1);
        EXPECT_EQ(server.Rig()->GetPtt(), 1);
        TRigReading reading;
        ASSERT_TRUE(server.ReadAll(reading));
        EXPECT_EQ(reading.Ptt, std::optional<bool>(true));
        server.Rig()->PutPtt(0);
        ASSERT_TRUE(server.ReadAll(reading));
        EXPECT_EQ(reading.Ptt, std::optional<bool>(false));
    }
}

} // namespace
