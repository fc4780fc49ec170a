// The rigctl protocol as hamlib clients use it, over the transceiver and the
// fake rig server.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

#include "RigctlTestSupport.h"
#include "base/SysUtils.h"

namespace {

using namespace RigParams;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Lines = std::vector<std::string>;

std::string PutMode(int32_t flag) { return Format("put Mode %d", flag); }
std::string PutVfo(int32_t flag) { return Format("put Vfo %d", flag); }

Lines SplitLines(const std::string& text)
{
    Lines lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST_F(RigctlTest, TheHandshakeOfAHamlibFourClient)
{
    EXPECT_EQ(Exchange("\\chk_vfo\n"), "0\n");
    const Lines state = SplitLines(Exchange("\\dump_state\n"));
    ASSERT_GE(state.size(), 30u);
    EXPECT_EQ(state[0], "1") << "protocol version";
    EXPECT_EQ(state[1], "2") << "model";
    EXPECT_EQ(state[2], "0") << "region";
    for (int range : {3, 5}) {
        EXPECT_EQ(state[range], "1.000000 999999999.000000 0xcaf -1 -1 0x3 0x0") << "what F and I take";
        EXPECT_EQ(state[range + 1], "0 0 0 0 0 0 0");
    }
    EXPECT_EQ(state[7], "0xcaf 1") << "tuning step";
    EXPECT_EQ(state[8], "0 0");
    EXPECT_EQ(state.back(), "done") << "without it a client waits for more";
    EXPECT_THAT(Lines(state.end() - 14, state.end()),
                ElementsAre("vfo_ops=0x0", "ptt_type=0x0", "targetable_vfo=0x0", "has_set_vfo=1", "has_get_vfo=1",
                            "has_set_freq=1", "has_get_freq=1", "has_set_conf=0", "has_get_conf=0",
                            "has_power2mW=0", "has_mW2power=0", "rig_model=2", "rigctld_version=Velkor rigctl port 1",
                            "done"));
    EXPECT_EQ(Exchange("\\get_powerstat\n"), "1\n");
    EXPECT_EQ(Exchange("\\get_lock_mode\n"), "0\nRPRT 0\n");
    EXPECT_THAT(Rig->Log, IsEmpty()) << "the handshake costs the rig server nothing";
}

TEST_F(RigctlTest, AnOlderClientThatAsksNoChkVfoGetsNoSettingLines)
{
    const Lines state = SplitLines(Exchange("\\dump_state\n"));
    // Filters and the zero lines end in the six empty capability masks.
    EXPECT_THAT(Lines(state.begin() + 9, state.end()),
                ElementsAre("0x82 500", "0xc0c 2400", "0x1 6000", "0x20 15000", "0 0", "0", "0", "0", "0", "0", "0",
                            "0x0", "0x0", "0x0", "0x0", "0x0", "0x0"));

    // Another connection's \chk_vfo is its own.
    TRigctlSession other(Shared);
    Exchange(other, "\\chk_vfo\n");
    EXPECT_EQ(SplitLines(Exchange("\\dump_state\n")).back(), "0x0");
    EXPECT_EQ(SplitLines(Exchange(other, "\\dump_state\n")).back(), "done");
}

TEST_F(RigctlTest, ReadsAnswerTheLastPollInEveryArrangement)
{
    const struct {
        int32_t Vfo;
        int32_t Mode;
        const char* Reply; // f m v s i x
    } cases[] = {
        {VFOAA, SSB_U, "14074000\nUSB\n2400\nVFOA\n0\nVFOA\n7050000\nUSB\n2400\n"},
        {VFOAB, CW_U, "14074000\nCW\n500\nVFOA\n1\nVFOB\n7050000\nCW\n500\n"},
        {VFOBB, DIG_U, "7050000\nPKTUSB\n2400\nVFOB\n0\nVFOB\n14074000\nPKTUSB\n2400\n"},
        {VFOBA, DIG_L, "7050000\nPKTLSB\n2400\nVFOB\n1\nVFOA\n14074000\nPKTLSB\n2400\n"},
        {VFOAA, CW_L, "14074000\nCWR\n500\nVFOA\n0\nVFOA\n7050000\nCWR\n500\n"},
        {VFOAA, SSB_L, "14074000\nLSB\n2400\nVFOA\n0\nVFOA\n7050000\nLSB\n2400\n"},
        {VFOAA, AM, "14074000\nAM\n6000\nVFOA\n0\nVFOA\n7050000\nAM\n6000\n"},
        {VFOAA, FM, "14074000\nFM\n15000\nVFOA\n0\nVFOA\n7050000\nFM\n15000\n"},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, c.Mode, c.Vfo);
        EXPECT_EQ(Exchange("f\nm\nv\ns\ni\nx\n"), c.Reply) << c.Vfo << " " << c.Mode;
        EXPECT_THAT(Rig->Log, IsEmpty()) << "reads never reach the rig server";
    }
}

TEST_F(RigctlTest, VfoInfoNamesEitherVfo)
{
    Poll(14074000, 7050000, DIG_U, VFOAB);
    EXPECT_EQ(Exchange("\\get_vfo_info VFOB\n"), "7050000\nPKTUSB\n2400\n1\n0\n");
    EXPECT_EQ(Exchange("\\get_vfo_info Main\n"), "14074000\nPKTUSB\n2400\n1\n0\n");
    EXPECT_EQ(Exchange("\\get_vfo_info currVFO\n"), "14074000\nPKTUSB\n2400\n1\n0\n");
    EXPECT_EQ(Exchange("\\get_vfo_info VFOC\n"), "RPRT -1\n");
    EXPECT_EQ(Exchange("\\get_vfo_info\n"), "RPRT -1\n");
}

TEST_F(RigctlTest, CommandsGoThroughTheTransceiver)
{
    const struct {
        int32_t Vfo; // as polled
        const char* Line;
        Lines Puts;
    } cases[] = {
        {VFOAA, "F 7074000", {"put Freq 7074000", "put FreqA 7074000"}},
        {VFOBB, "F 7074000.000000", {"put Freq 7074000", "put FreqB 7074000"}},
        {VFOAA, "F 7074000.5", {"put Freq 7074001", "put FreqA 7074001"}},
        {VFOAA, "F 7074000.49", {"put Freq 7074000", "put FreqA 7074000"}},
        {VFOAA, "\\set_freq 999999999", {"put Freq 999999999", "put FreqA 999999999"}},
        {VFOAA, "F 0.5", {"put Freq 1", "put FreqA 1"}},
        {VFOAA, "F 999999999.4", {"put Freq 999999999", "put FreqA 999999999"}},
        {VFOAA, "M PKTUSB 0", {PutMode(DIG_U)}},
        {VFOAA, "M PKTLSB -1", {PutMode(DIG_L)}},
        {VFOAA, "M CW 500", {PutMode(CW_U)}},
        {VFOAA, "M CWR 0", {PutMode(CW_L)}},
        {VFOAA, "M usb 2400", {PutMode(SSB_U)}},
        {VFOAA, "M LSB 0", {PutMode(SSB_L)}},
        {VFOAA, "M AM 0", {PutMode(AM)}},
        {VFOAA, "M FM 0", {PutMode(FM)}},
        {VFOAA, "X USB 0", {PutMode(SSB_U)}},
        {VFOAA, "V VFOB", {PutVfo(VFOB), PutVfo(VFOBB)}},
        {VFOAB, "V VFOB", {}}, // in split V only chooses the VFO f and F address
        {VFOBA, "V VFOA", {}},
        {VFOBB, "V Main", {PutVfo(VFOA), PutVfo(VFOAA)}},
        {VFOAA, "V Sub", {PutVfo(VFOB), PutVfo(VFOBB)}},
        {VFOBA, "V currVFO", {}},
        {VFOAA, "S 1 VFOB", {PutVfo(VFOA), PutVfo(VFOAB)}},
        {VFOBB, "S 1 VFOB", {PutVfo(VFOA), PutVfo(VFOAB)}},
        {VFOBB, "S 1 VFOA", {PutVfo(VFOB), PutVfo(VFOBA)}},
        {VFOAB, "S 0 VFOB", {PutVfo(VFOA), PutVfo(VFOAA)}},
        {VFOBA, "S 0 VFOA", {PutVfo(VFOB), PutVfo(VFOBB)}},
        {VFOAB, "I 7075000", {"put FreqB 7075000"}},
        {VFOBA, "I 7075000", {"put FreqA 7075000"}},
        {VFOAA, "I 14076000.000000", {"put FreqB 14076000"}},
        {VFOAA, "\\set_split_freq 999999999", {"put FreqB 999999999"}},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, SSB_U, c.Vfo);
        EXPECT_EQ(Exchange(std::string(c.Line) + "\n"), "RPRT 0\n") << c.Line;
        EXPECT_EQ(Rig->Puts(), c.Puts) << c.Line << " from " << c.Vfo;
    }
}

TEST_F(RigctlTest, AMalformedArgumentSendsNothing)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    ASSERT_EQ(Exchange("\\chk_vfo\n"), "0\n") << "a client's first line";
    for (const char* line : {"F abc", "F -5", "F 2147483648", "F 1e7", "F 7074000,5", "F .5", "F 7074000x", "F",
                             "M FOO 0", "M RTTY 0", "M USB abc", "M USB 1.5", "M USB", "X PKTFM 0", "V VFOC",
                             "V", "V VFO", "S 2 VFOB", "S 1 VFOC", "S 1", "S yes VFOB", "I x", "I -1",
                             "\\set_freq abc",
                             // Outside what dump_state tells, rounded or not.
                             "F 0", "F 0.0", "F 0.49", "F 999999999.5", "F 1000000000", "F 3000000000",
                             "F 00000000001000000000", "I 0", "I 1000000000.000000", "\\set_split_freq 0"}) {
        EXPECT_EQ(Exchange(std::string(line) + "\n"), "RPRT -1\n") << line;
        EXPECT_THAT(Rig->Log, IsEmpty()) << line;
    }
}

TEST_F(RigctlTest, AnythingElseIsNotAvailable)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    ASSERT_EQ(Exchange("\\chk_vfo\n"), "0\n") << "a client's first line";
    for (const char* line : {"T 1", "t", "\\set_ptt 1", "Z", "\\nosuch", "\\", "+", "L RFPOWER 0.5", "hello world",
                             "\x01\x02", "\\get_freqx", "\\dump_state_"}) {
        EXPECT_EQ(Exchange(std::string(line) + "\n"), "RPRT -11\n") << line;
        EXPECT_THAT(Rig->Log, IsEmpty()) << line;
    }
}

TEST_F(RigctlTest, ExtendedRepliesForOneCommandEach)
{
    Poll(14074000, 7050000, DIG_U, VFOAB);
    const std::pair<const char*, const char*> cases[] = {
        {"+f", "get_freq:\nFrequency: 14074000\nRPRT 0\n"},
        {";f", "get_freq:;Frequency: 14074000;RPRT 0\n"},
        {"|m", "get_mode:|Mode: PKTUSB|Passband: 2400|RPRT 0\n"},
        {",s", "get_split_vfo:,Split: 1,TX VFO: VFOB,RPRT 0\n"},
        {"+v", "get_vfo:\nVFO: VFOA\nRPRT 0\n"},
        {"+i", "get_split_freq:\nTX Frequency: 7050000\nRPRT 0\n"},
        {"+x", "get_split_mode:\nTX Mode: PKTUSB\nTX Passband: 2400\nRPRT 0\n"},
        {"+\\get_freq", "get_freq:\nFrequency: 14074000\nRPRT 0\n"},
        {"+\\get_vfo_info VFOB",
         "get_vfo_info: VFOB\nFreq: 7050000\nMode: PKTUSB\nWidth: 2400\nSplit: 1\nSatMode: 0\nRPRT 0\n"},
        {"+\\get_powerstat", "get_powerstat:\nPower Status: 1\nRPRT 0\n"},
        {";\\get_lock_mode", "get_lock_mode:;Locked: 0;RPRT 0\n"},
        {"+\\chk_vfo", "ChkVFO: 0\n"},
        {"+F abc", "set_freq: abc\nRPRT -1\n"},
        {"+M FOO 0", "set_mode: FOO 0\nRPRT -1\n"},
        {"+L AF 1", "RPRT -11\n"},
        {"+T 1", "set_ptt: 1\nRPRT -11\n"},
        {"+F 7074000", "set_freq: 7074000\nRPRT 0\n"},
        {";M USB 2400", "set_mode: USB 2400;RPRT 0\n"},
        {"|S 0 VFOA", "set_split_vfo: 0 VFOA|RPRT 0\n"},
        {",V VFOA", "set_vfo: VFOA,RPRT 0\n"},
    };
    for (const auto& [line, reply] : cases)
        EXPECT_EQ(Exchange(std::string(line) + "\n"), reply) << line;
    // The prefix was for its command alone.
    EXPECT_EQ(Exchange("f\n"), "7074000\n");

    const std::string caps = Exchange("+\\dump_caps\n");
    EXPECT_TRUE(caps.starts_with("dump_caps:\nCaps dump for model: 2\n")) << caps;
    EXPECT_TRUE(caps.ends_with("\nRPRT 0\n")) << caps;
    EXPECT_NE(caps.find("Can set Frequency:\tY\n"), std::string::npos);
    EXPECT_NE(caps.find("Can set PTT:\tN\n"), std::string::npos);
    EXPECT_NE(caps.find("Mode list: AM CW USB LSB FM CWR PKTLSB PKTUSB \n"), std::string::npos);
    const std::string state = Exchange("+\\dump_state\n");
    EXPECT_TRUE(state.starts_with("dump_state:\n1\n2\n0\n")) << state;
    EXPECT_TRUE(state.ends_with("done\nRPRT 0\n")) << "this connection asked \\chk_vfo";
}

TEST_F(RigctlTest, AnExtendedReplyOnOneConnectionLeavesTheOthersPlain)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    TRigctlSession other(Shared);
    EXPECT_EQ(Exchange("+f\n"), "get_freq:\nFrequency: 14074000\nRPRT 0\n");
    EXPECT_EQ(Exchange(other, "f\n"), "14074000\n");
    EXPECT_EQ(Exchange(other, ";q\n"), "RPRT 0\n");
    EXPECT_EQ(Exchange("f\n"), "14074000\n") << "another connection's quit is its own";
}

TEST_F(RigctlTest, SeveralCommandsOnOneLine)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::pair<const char*, const char*> cases[] = {
        {"f m v", "14074000\nUSB\n2400\nVFOA\n"},
        {"fmv", "14074000\nUSB\n2400\nVFOA\n"},
        {"\tf\t+v ", "14074000\nget_vfo:\nVFO: VFOA\nRPRT 0\n"},
        {"F 7074000 f", "RPRT 0\n7074000\n"},
        {"\\get_freq \\get_vfo", "7074000\nVFOA\n"},
        // An unknown command or a malformed argument drops the rest of its line.
        {"f Z f", "7074000\nRPRT -11\n"},
        {"F abc f", "RPRT -1\n"},
        {"M USB", "RPRT -1\n"},
    };
    for (const auto& [line, reply] : cases)
        EXPECT_EQ(Exchange(std::string(line) + "\n"), reply) << line;
}

TEST_F(RigctlTest, AValueWrittenReadsBackUntilAPollThatBeganLaterHasReadTheRig)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    EXPECT_EQ(Exchange("F 14074055\nf\n"), "RPRT 0\n14074055\n") << "the radio's resolution probed";
    EXPECT_EQ(Exchange("M PKTUSB 0\nm\n"), "RPRT 0\nPKTUSB\n2400\n");
    EXPECT_EQ(Exchange("V VFOB\nv\nf\n"), "RPRT 0\nVFOB\n7050000\n") << "the new VFO's frequency";
    EXPECT_EQ(Exchange("F 7074000\n"), "RPRT 0\n");
    EXPECT_EQ(Rig->Puts().back(), "put FreqB 7074000") << "the VFO chosen since the poll, by name";
    EXPECT_EQ(Exchange("f\n\\get_vfo_info VFOB\n\\get_vfo_info VFOA\n"),
              "7074000\n7074000\nPKTUSB\n2400\n0\n0\n14074055\nPKTUSB\n2400\n0\n0\n");
    EXPECT_EQ(Exchange("S 1 VFOA\ns\nI 14074100\ni\nf\n"), "RPRT 0\n1\nVFOA\nRPRT 0\n14074100\n7074000\n");

    // The radio ignored it all: the next poll tells.
    Poll();
    EXPECT_EQ(Exchange("f\nm\nv\ns\n"), "14074000\nUSB\n2400\nVFOA\n0\nVFOA\n");
}

TEST_F(RigctlTest, APollAlreadyReadingWhenTheValueWasWrittenDoesNotEndIt)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    // The write arrives while a tick waits for the rig server, as socket
    // messages are served during a COM call; that tick read the old value.
    bool written = false;
    Rig->DuringCall = [&] {
        if (!written && Trx->InTick()) {
            written = true;
            EXPECT_EQ(Exchange("F 7074000\n"), "RPRT 0\n");
        }
    };
    Poll();
    Rig->DuringCall = nullptr;
    ASSERT_TRUE(written);
    EXPECT_EQ(Exchange("f\n"), "7074000\n");
    Poll();
    EXPECT_EQ(Exchange("f\n"), "14074000\n");
}

TEST_F(RigctlTest, ReadsBeforeTheFirstPollAndRigFailuresAnswerAnError)
{
    EXPECT_EQ(Exchange("f\nv\ns\n"), "RPRT -6\nRPRT -6\nRPRT -6\n");
    EXPECT_EQ(Exchange("m\nx\n+m\n\\get_vfo_info VFOA\n"), "RPRT -6\nRPRT -6\nget_mode:\nRPRT -6\nRPRT -6\n");

    Poll(14074000, 7050000, SSB_U, VFOAA);
    Rig->FailAll = true;
    EXPECT_EQ(Exchange("F 7074000\nM CW 0\nV VFOB\nS 1 VFOB\nI 7000000\nf\nm\n"),
              "RPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\n14074000\nUSB\n2400\n")
        << "a failed command writes nothing over the poll";
}

TEST_F(RigctlTest, WithoutATransceiverReadsAndCommandsFail)
{
    TRigctlRig none(nullptr);
    TRigctlSession session(none);
    EXPECT_EQ(Exchange(session, "f\nv\nF 7074000\nM USB 0\nV VFOA\n"), "RPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\n");
}

TEST_F(RigctlTest, LinesEndInLfOrCrAndMayComeInPieces)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string bytes = "f\r\nm\rv\n\n\r\n+s\nF 7074000.000000\nf\n";
    const std::string whole = Exchange(bytes);
    EXPECT_EQ(whole, "14074000\nUSB\n2400\nVFOA\nget_split_vfo:\nSplit: 0\nTX VFO: VFOA\nRPRT 0\nRPRT 0\n7074000\n");
    Poll();
    TRigctlSession bytewise(Shared);
    std::string pieces;
    for (char c : bytes)
        pieces += Exchange(bytewise, std::string(1, c));
    EXPECT_EQ(pieces, whole);
}

TEST_F(RigctlTest, ALineOverTheLimitIsDroppedWithOneError)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string longest = "f" + std::string(Rigctl::kMaxLine - 1, ' ');
    EXPECT_EQ(Exchange(longest + "\n"), "14074000\n") << "512 bytes are a line";
    EXPECT_EQ(Exchange(longest + " F 7000000\nf\n"), "RPRT -1\n14074000\n");
    // Over the limit in pieces, a megabyte long: still one error.
    std::string replies = Exchange("F 7000000");
    for (int i = 0; i < 1024; ++i)
        replies += Exchange(std::string(1024, 'x'));
    replies += Exchange("\nf\n");
    EXPECT_EQ(replies, "RPRT -1\n14074000\n");
    EXPECT_THAT(Rig->Puts(), IsEmpty());
}

TEST_F(RigctlTest, QuitAnswersAndReadsNothingMore)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    Feed(Session, "f\nq\nF 7000000\n");
    EXPECT_TRUE(Session.QuitRequested());
    EXPECT_FALSE(Session.Finished()) << "its replies are still to go";
    EXPECT_EQ(Session.Output(), "14074000\nRPRT 0\n");
    Session.Sent(3);
    EXPECT_EQ(Session.Output(), "74000\nRPRT 0\n");
    Session.Sent(100);
    EXPECT_TRUE(Session.Finished());
    Feed(Session, "F 7000000\n");
    EXPECT_EQ(Session.Output(), "");
    EXPECT_THAT(Rig->Puts(), IsEmpty());
    TRigctlSession other(Shared);
    EXPECT_EQ(Exchange(other, "Q\n"), "RPRT 0\n");
    EXPECT_TRUE(other.Finished());
}

TEST_F(RigctlTest, AClientThatStopsReadingOverflows)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    size_t requests = 0;
    while (!Session.Overflowed() && requests < 10000) {
        Feed(Session, "\\dump_caps\n");
        ++requests;
    }
    EXPECT_TRUE(Session.Overflowed());
    EXPECT_GT(requests, 100u) << "a reading client is never near the limit";
    Session.Sent(Session.Output().size());
    EXPECT_TRUE(Session.Overflowed()) << "it is dropped all the same";
}

TEST_F(RigctlTest, ReadsAnswerAnErrorWhileTheTransceiverIsNotConnected)
{
    const std::string reads = "f\nm\nv\ns\ni\nx\n\\get_vfo_info VFOB\n+f\n";
    const std::string failed = "RPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nRPRT -6\nget_freq:\nRPRT -6\n";
    const struct {
        const char* Why;
        std::function<void()> Disconnect;
    } cases[] = {
        {"a tick failed (the rig server failed, or hung and its call was given up)",
         [this] {
             Rig->FailAll = true;
             Poll();
             Rig->FailAll = false;
         }},
        {"polling was switched off", [this] { Trx->StopPolling(); }},
    };
    for (const auto& c : cases) {
        Trx->StartPolling();
        Poll(14074000, 7050000, SSB_U, VFOAB);
        ASSERT_EQ(Exchange("f\n"), "14074000\n") << c.Why;
        c.Disconnect();
        ASSERT_FALSE(Trx->Get_Connected()) << c.Why;
        EXPECT_EQ(Exchange(reads), failed) << c.Why << ": not the values of a poll long past";
        EXPECT_EQ(Exchange("\\get_vfo_info VFOC\n"), "RPRT -1\n") << c.Why;
        // The handshake describes the port: a client may open it meanwhile.
        EXPECT_EQ(Exchange("\\chk_vfo\n\\get_powerstat\n"), "0\n1\n") << c.Why;
        EXPECT_EQ(SplitLines(Exchange("\\dump_state\n")).back(), "done") << c.Why;
        // Commands still go to the rig server, and what they wrote is read
        // back only once a poll has read the rig again.
        EXPECT_EQ(Exchange("F 7074000\nf\n"), "RPRT 0\nRPRT -6\n") << c.Why;
        EXPECT_EQ(Rig->Puts(), Lines({"put Freq 7074000", "put FreqA 7074000"})) << c.Why;
        Trx->StartPolling();
        Poll();
        EXPECT_EQ(Exchange("f\ns\n"), "14074000\n1\nVFOB\n") << c.Why;
    }
}

TEST_F(RigctlTest, WithoutSplitTheRadioTransmitsOnTheVfoItReceivesOn)
{
    const struct {
        int32_t Vfo; // as polled
        const char* Line;
        const char* Split; // s, with what the line wrote laid over the poll
    } cases[] = {
        {VFOAB, "S 0 VFOA", "0\nVFOA\n"}, {VFOBA, "S 0 VFOB", "0\nVFOB\n"}, {VFOAA, "V VFOB", "0\nVFOB\n"},
        {VFOAA, "S 1 VFOB", "1\nVFOB\n"}, {VFOBB, "S 1 VFOA", "1\nVFOA\n"},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, SSB_U, c.Vfo);
        EXPECT_EQ(Exchange(std::string(c.Line) + "\ns\n"), std::string("RPRT 0\n") + c.Split) << c.Line;
    }
    // The split frequency stays the other VFO's, set before split goes on.
    Poll(14074000, 7050000, SSB_U, VFOAA);
    EXPECT_EQ(Exchange("I 7075000\ni\nf\n"), "RPRT 0\n7075000\n14074000\n");
}

// hamlib reads and sets the transmitting VFO in split as V VFOB, f or F,
// V VFOA: f and F address the VFO V chose, and the arrangement stays.
TEST_F(RigctlTest, InSplitVChoosesTheVfoThatFAndFAddress)
{
    const struct {
        int32_t Vfo; // as polled, split
        const char* Input;
        const char* Replies;
        Lines Puts;
    } cases[] = {
        {VFOAB, "V VFOB\nv\nf\nV VFOA\nv\nf\n", "RPRT 0\nVFOB\n7050000\nRPRT 0\nVFOA\n14074000\n", {}},
        {VFOBA, "V VFOA\nf\nV VFOB\nf\n", "RPRT 0\n14074000\nRPRT 0\n7050000\n", {}},
        {VFOAB, "V VFOB\nF 7074000\nV VFOA\nf\n", "RPRT 0\nRPRT 0\nRPRT 0\n14074000\n", {"put FreqB 7074000"}},
        {VFOAB, "V VFOB\nF 7074000\nf\ni\n", "RPRT 0\nRPRT 0\n7074000\n7074000\n", {"put FreqB 7074000"}},
        {VFOAB, "V VFOA\nF 7074000\n", "RPRT 0\nRPRT 0\n", {"put Freq 7074000", "put FreqA 7074000"}},
        // currVFO is the VFO chosen.
        {VFOAB, "V VFOB\nV currVFO\nf\n\\get_vfo_info currVFO\n", "RPRT 0\nRPRT 0\n7050000\n7050000\nUSB\n2400\n1\n0\n",
         {}},
        // Split ended: V switches the radio again and f reads what it receives on.
        {VFOAB, "V VFOB\nS 0 VFOA\nf\n", "RPRT 0\nRPRT 0\n14074000\n", {PutVfo(VFOA), PutVfo(VFOAA)}},
    };
    for (const auto& c : cases) {
        Poll(14074000, 7050000, SSB_U, c.Vfo);
        EXPECT_EQ(Exchange(c.Input), c.Replies) << c.Input;
        EXPECT_EQ(Rig->Puts(), c.Puts) << c.Input;
    }
    // A split that ends at the radio leaves nothing chosen behind.
    Poll(14074000, 7050000, SSB_U, VFOAB);
    EXPECT_EQ(Exchange("V VFOB\nf\n"), "RPRT 0\n7050000\n");
    Poll(14074000, 7050000, SSB_U, VFOAA);
    EXPECT_EQ(Exchange("f\nv\n"), "14074000\nVFOA\n");
    Poll(14074000, 7050000, SSB_U, VFOAB);
    EXPECT_EQ(Exchange("f\n"), "14074000\n");
}

TEST_F(RigctlTest, UnreadRepliesPastTheLimitStopTheCommandsAtOnce)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string caps = Exchange("1\n");
    const size_t largest = std::max(caps.size(), Exchange("\\dump_state\n").size());
    const std::pair<const char*, std::string> cases[] = {
        {"dump_caps a line", [] {
             std::string s;
             for (int i = 0; i < 100000; ++i)
                 s += "1\n";
             return s;
         }()},
        {"dump_caps filling lines", std::string(Rigctl::kMaxLine, '1') + "\n" + std::string(Rigctl::kMaxLine, '1') + "\n"},
        {"dump_state and f", [] {
             std::string s;
             for (int i = 0; i < 5000; ++i)
                 s += "\\dump_state f\n";
             return s;
         }()},
    };
    for (const auto& [what, flood] : cases) {
        TRigctlSession session(Shared);
        // All of it in one piece, as one read of the socket brings it.
        Feed(session, flood + "F 7000000\n");
        EXPECT_TRUE(session.Overflowed()) << what;
        EXPECT_LE(session.Output().size(), Rigctl::kMaxPendingOutput + largest) << what;
        const size_t unread = session.Output().size();
        Feed(session, "F 7000000\n1\n");
        EXPECT_EQ(session.Output().size(), unread) << what << ": nothing more is run";
        EXPECT_THAT(Rig->Puts(), IsEmpty()) << what;
    }
}

TEST_F(RigctlTest, OnlyAConnectionWhoseFirstLineIsCommandsIsServed)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    const std::string body = "F 7000000\nM CW 0\nS 1 VFOB\nI 7001000\nV VFOB\nq\n";
    const std::string browser = "POST / HTTP/1.1\r\nHost: 127.0.0.1:4532\r\nOrigin: http://example.com\r\n"
                                "Content-Type: text/plain\r\nContent-Length: 46\r\n\r\n";
    const struct {
        const char* What;
        std::string Opening; // what comes first, the body after it in the same read
        bool Served;
        const char* Reply; // to the opening, when served
    } cases[] = {
        // As hamlib 4's network rig opens (rigctl -m 2, tlf, fldigi and WSJT-X alike), as hamlib 3's.
        {"\\chk_vfo", "\\chk_vfo\n", true, "0\n"},
        {"\\dump_state", "\\dump_state\n", true, nullptr},
        {"blank lines first, CR LF", "\r\n \t\r\n\\chk_vfo\r\n", true, "0\n"},
        {"short names, blanks", "  f m v\n", true, "14074000\nUSB\n2400\nVFOA\n"},
        {"a reply prefix and a long name", "+\\get_freq\n", true, "get_freq:\nFrequency: 14074000\nRPRT 0\n"},
        {"a command", "F 7074000.000000\n", true, "RPRT 0\n"},
        {"dump_caps by its digit", "1\n", true, nullptr},
        {"a browser's POST", browser, false, nullptr},
        {"GET", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", false, nullptr},
        {"a preflight", "OPTIONS / HTTP/1.1\r\n", false, nullptr},
        {"a custom method named like a command", "M / HTTP/1.1\r\n", false, nullptr},
        {"a method with a frequency", "F 7000000 HTTP/1.1\r\n", false, nullptr},
        {"blank lines and a request", "\r\n\r\nPOST / HTTP/1.1\r\n", false, nullptr},
        {"Host:", "Host: 127.0.0.1:4532\r\n", false, nullptr},
        {"Origin:", "Origin: null\r\n", false, nullptr},
        // Header names that begin like a command.
        {"Via:", "Via: 1\r\n", false, nullptr},
        {"From:", "From: x\r\n", false, nullptr},
        {"Sec-Fetch-Mode:", "Sec-Fetch-Mode: no-cors\r\n", false, nullptr},
        {"X-Requested-With:", "X-Requested-With: x\r\n", false, nullptr},
        {"If-None-Match:", "If-None-Match: 1\r\n", false, nullptr},
        {"Max-Forwards:", "Max-Forwards: 1\r\n", false, nullptr},
        {"TLS, no line end", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), false, nullptr},
        {"SSH, no line end", "SSH-2.0-OpenSSH_9.2p1 Debian-2", false, nullptr},
        {"an unknown command", "\\set_level AF 1\n", false, nullptr},
        {"a known one, then an unknown one", "f Z\n", false, nullptr},
        {"a frequency out of range", "F 0\n", false, nullptr},
        {"a mode unknown", "M RTTY 0\n", false, nullptr},
        {"a line too long", "f" + std::string(Rigctl::kMaxLine, ' ') + "\n", false, nullptr},
        {"a byte of nothing", std::string(1, '\0') + "\n", false, nullptr},
    };
    for (const auto& c : cases) {
        Poll();
        TRigctlSession session(Shared);
        const std::string replies = Exchange(session, c.Opening + body);
        EXPECT_EQ(session.Refused(), !c.Served) << c.What;
        if (!c.Served) {
            EXPECT_EQ(replies, "") << c.What;
            EXPECT_THAT(Rig->Log, IsEmpty()) << c.What << ": nothing of it reaches the rig server";
            EXPECT_FALSE(session.Pending()) << c.What;
            EXPECT_EQ(Exchange(session, "\\chk_vfo\nF 7000000\n"), "") << c.What << ": nor anything after";
            EXPECT_THAT(Rig->Log, IsEmpty()) << c.What;
        } else {
            if (c.Reply) {
                EXPECT_TRUE(replies.starts_with(c.Reply)) << c.What << ": " << replies;
            }
            EXPECT_TRUE(replies.ends_with("RPRT 0\nRPRT 0\nRPRT 0\nRPRT 0\nRPRT 0\nRPRT 0\n")) << c.What;
            EXPECT_TRUE(session.QuitRequested()) << c.What << ": its body ran to its quit";
        }
    }
}

TEST_F(RigctlTest, AnotherProtocolIsRefusedBeforeItsLineEnds)
{
    const std::pair<const char*, std::string> cases[] = {
        {"TLS", std::string("\x16\x03", 2)}, {"SSH", "SSH-"}, {"HTTP", "P"}, {"after blanks", " \tG"},
        {"a prefix, then", "+H"},
    };
    for (const auto& [what, bytes] : cases) {
        TRigctlSession session(Shared);
        for (char c : bytes)
            Feed(session, std::string(1, c));
        EXPECT_TRUE(session.Refused()) << what;
    }
    // What may still be commands waits for its line's end.
    for (const char* opening : {"SSH", "\\chk", "+f", " S 1 VFO"}) {
        TRigctlSession session(Shared);
        Feed(session, opening);
        EXPECT_FALSE(session.Refused()) << opening;
    }
}

// One Run is one event of the port's window: it waits for the rig server at
// most once, and runs a bounded number of commands.
TEST_F(RigctlTest, ARunRunsAtMostOneCommandForTheRadioAndABoundedNumberInAll)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    auto lines = [](const std::string& line, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += line + "\n";
        return text;
    };
    const struct {
        const char* What;
        std::string Bytes;
        std::vector<size_t> Replies; // the reply lines of each Run until none is pending
    } cases[] = {
        {"reads", lines("f", 200), {64, 64, 64, 8}},
        {"commands", lines("F 7074000", 3), {1, 1, 1}},
        {"reads about a command", lines("f", 100) + "F 7074000\n" + lines("f", 10) + "M CW 0\n", {64, 47, 1}},
        {"two commands on one line", "F 7074000 F 7075000 f\n", {1, 2}},
        {"malformed commands send nothing", lines("F abc", 70), {64, 6}},
        {"unknown commands", lines("f Z", 40), {64, 16}},
    };
    for (const auto& c : cases) {
        TRigctlSession session(Shared);
        Exchange(session, "\\chk_vfo\n");
        session.Received(c.Bytes);
        std::vector<size_t> replies;
        for (int run = 0; run < 10 && (run == 0 || session.Pending()); ++run) {
            session.Run();
            replies.push_back(static_cast<size_t>(std::count(session.Output().begin(), session.Output().end(), '\n')));
            session.Sent(session.Output().size());
        }
        EXPECT_EQ(replies, c.Replies) << c.What;
    }

    // Without the radio a Run goes as far as the next command for it.
    Poll();
    TRigctlSession session(Shared);
    session.Received("f\nF 7074055\nf\n");
    EXPECT_FALSE(session.Run(false));
    EXPECT_EQ(Take(session), "14074000\n");
    EXPECT_TRUE(session.Pending());
    EXPECT_FALSE(session.Run(false)) << "nothing moves";
    EXPECT_TRUE(session.Run(true));
    EXPECT_EQ(Take(session), "RPRT 0\n7074055\n") << "read back as written";
    EXPECT_FALSE(session.Pending());
}

TEST_F(RigctlTest, ABacklogRunsInOrderAndStopsAtAQuitOrAnOverflow)
{
    Poll(14074000, 7050000, SSB_U, VFOAA);
    // 1,600 commands in one read, their replies in order.
    std::string flood;
    std::string expected;
    for (int i = 0; i < 1600; ++i) {
        flood += Format("+F %d\n", 7000000 + 10 * i);
        expected += Format("set_freq: %d\nRPRT 0\n", 7000000 + 10 * i);
    }
    TRigctlSession session(Shared);
    session.Received(flood);
    EXPECT_EQ(session.Backlog(), flood.size());
    int runs = 0;
    std::string replies;
    for (; session.Pending() && runs < 2000; ++runs) {
        session.Run();
        replies += Take(session);
    }
    EXPECT_EQ(runs, 1600);
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(session.Backlog(), 0u);
    EXPECT_EQ(Rig->Puts().back(), "put FreqA 7015990");

    // A quit ends it where it stands; what came after never runs.
    Rig->ClearLog();
    TRigctlSession quits(Shared);
    quits.Received(std::string(200, 'f') + "\nq\nF 7000000\n");
    while (quits.Pending())
        quits.Run();
    EXPECT_TRUE(quits.QuitRequested());
    EXPECT_EQ(quits.Backlog(), 0u);
    EXPECT_THAT(Rig->Puts(), IsEmpty());
    quits.Received("F 7000000\n");
    EXPECT_FALSE(quits.Pending());
}

} // namespace

namespace {

std::vector<std::string> PttPuts(const TFakeRigServer& rig)
{
    std::vector<std::string> puts;
    for (const std::string& put : rig.Puts())
        if (put.starts_with("put Ptt"))
            puts.push_back(put);
    return puts;
}

TEST_F(RigctlTest, PttWhereTheRigServerKeysTheRadioAndNotAvailableElsewhere)
{
    struct TCase {
        const char* What;
        bool Keys;
        bool Polled;
        const char* Line;
        const char* Reply;
        std::vector<std::string> Puts;
    };
    const TCase cases[] = {
        {"keys", true, true, "T 1\n", "RPRT 0\n", {"put Ptt 1"}},
        {"keys with the data jack's audio", true, true, "\\set_ptt 3\n", "RPRT 0\n", {"put Ptt 1"}},
        {"releases", true, true, "T 0\n", "RPRT 0\n", {"put Ptt 0"}},
        {"reads", true, true, "t\n", "0\n", {}},
        {"no PTT value", true, true, "T 4\n", "RPRT -1\n", {}},
        {"no number", true, true, "T on\n", "RPRT -1\n", {}},
        {"a reading long past", true, false, "t\n", "RPRT -6\n", {}},
        {"the COM rig server keys nothing", false, true, "T 1\n", "RPRT -11\n", {}},
        {"nor reads PTT", false, true, "+t\n", "get_ptt:\nRPRT -11\n", {}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.What);
        Rig->Keys = test.Keys;
        test.Polled ? Trx->StartPolling() : Trx->StopPolling();
        if (test.Polled)
            Poll();
        Rig->ClearLog();
        EXPECT_EQ(Exchange(test.Line), test.Reply);
        EXPECT_EQ(PttPuts(*Rig), test.Puts);
        EXPECT_EQ(Exchange("T 0\n"), test.Keys ? "RPRT 0\n" : "RPRT -11\n");
    }
}

TEST_F(RigctlTest, AClientThatKeyedAndGoesReleasesThePtt)
{
    Rig->Keys = true;
    Poll();
    auto keying = std::make_unique<TRigctlSession>(Shared);
    EXPECT_EQ(Exchange(*keying, "T 1\nt\n"), "RPRT 0\n1\n");
    EXPECT_EQ(Exchange(Session, "t\n"), "1\n") << "the others see it";
    // Another client that never keyed goes: nothing happens.
    auto other = std::make_unique<TRigctlSession>(Shared);
    EXPECT_EQ(Exchange(*other, "f\n"), "0\n");
    other.reset();
    EXPECT_EQ(PttPuts(*Rig), (std::vector<std::string>{"put Ptt 1"}));
    keying.reset();
    EXPECT_EQ(PttPuts(*Rig), (std::vector<std::string>{"put Ptt 1", "put Ptt 0"}));
    EXPECT_EQ(Exchange(Session, "t\n"), "0\n");
}

TEST_F(RigctlTest, TheHandshakeTellsWhetherPttIsTheRigs)
{
    for (const bool keys : {false, true}) {
        Rig->Keys = keys;
        TRigctlSession session(Shared);
        const std::string state = Exchange(session, "\\chk_vfo\n\\dump_state\n");
        EXPECT_NE(state.find(keys ? "ptt_type=0x1\n" : "ptt_type=0x0\n"), std::string::npos) << keys;
        const std::string caps = Exchange(session, "\\dump_caps\n");
        EXPECT_NE(caps.find(keys ? "Can set PTT:\tY\n" : "Can set PTT:\tN\n"), std::string::npos) << keys;
    }
}

} // namespace
