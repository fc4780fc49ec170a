// The rigctl protocol against generated and mutated client input, from a fixed
// seed: commands, prefixes, arguments, junk bytes and overlong lines, mostly
// after a client's first line. The same bytes are fed once whole and once in
// random pieces to two rigs in the same state, run in shares that now and then
// may not reach the radio; the replies and the rig server's calls must be the
// same, every reply must end in a line break, no line may be answered twice,
// and a refused connection must have had no reply and made no call. Under the
// sanitizers in build/native-san:
//   rigctl_fuzz [rounds] [seed]
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "rigctl/RigctlSession.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/Fuzz.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

using Fuzz::TRandom;

const std::vector<std::string> kPieces = {
    "f", "F 7074000", "F 14074000.000000", "F 7074000.5", "F -1", "F 99999999999", "F abc", "m", "M PKTUSB 0",
    "M USB -1", "M CW", "M FOO 0", "v", "V VFOA", "V VFOB", "V Main", "V Sub", "V currVFO", "V VFOC", "s",
    "S 1 VFOB", "S 0 VFOA", "S 2 VFOB", "i", "I 7075000", "x", "X USB 0", "\\get_vfo_info VFOA",
    "\\get_vfo_info", "\\dump_state", "\\dump_caps", "1", "\\chk_vfo", "\\get_powerstat", "\\get_lock_mode",
    "\\set_freq 7000000", "\\nosuch", "T 1", "+", ";", "|", ",", "\\", " ", "\t", "\n", "\r", "\r\n", "q", "Q",
};

struct TRigUnderTest {
    TComponent Owner; // of the transceiver, freed with the round
    TFakeRigServer* Server = nullptr;
    TTransceiver* Trx = nullptr;
    std::unique_ptr<TRigctlRig> Rig;
    std::unique_ptr<TRigctlSession> Session;
    std::string Replies;

    TRigUnderTest(TApplication& app, uint64_t seed) : Owner(&app)
    {
        auto server = std::make_unique<TFakeRigServer>();
        Server = server.get();
        TRandom random(seed);
        const std::vector<int32_t> vfos = {RigParams::VFOAA, RigParams::VFOAB, RigParams::VFOBB, RigParams::VFOBA};
        const std::vector<int32_t> modes = {RigParams::SSB_U, RigParams::DIG_U, RigParams::CW_L, 0};
        Server->Radio = {"FAKE", 14074000, 14074000, 7050000, random.Pick(modes), random.Pick(vfos)};
        Server->FailAt = static_cast<int>(random.Below(40));
        Trx = new TTransceiver(&Owner, std::make_unique<TAppPollHost>(app), std::move(server));
        Trx->StartPolling();
        DispatchEvent(&app, [this] { Trx->TimTimer(Trx->Tim); });
        Rig = std::make_unique<TRigctlRig>(Trx);
        Session = std::make_unique<TRigctlSession>(*Rig);
    }

    // A share at a time, as the port runs them; some without the radio.
    void Feed(const std::string& bytes, TRandom& random)
    {
        Session->Received(bytes);
        do {
            Session->Run(random.Below(4) != 0);
            Replies += Session->Output();
            Session->Sent(Session->Output().size());
        } while (Session->Pending());
    }
};

std::string Generate(TRandom& random)
{
    // Mostly a client's first line, so that the rest is run.
    std::string input = random.Below(4) ? "\\chk_vfo\n" : "";
    for (size_t count = random.Below(40); count > 0; --count) {
        switch (random.Below(8)) {
        case 0: // junk bytes
            input += random.Bytes(19);
            break;
        case 1: // an overlong line, sometimes ended
            input += std::string(400 + random.Below(400), static_cast<char>('a' + random.Below(26)));
            break;
        default:
            input += random.Pick(kPieces);
            input += random.Below(3) ? "\n" : " ";
        }
    }
    // Now and then a byte or two changed.
    return random.Below(3) ? Fuzz::Mutate(input, random, {.MaxSteps = 2}) : input;
}

} // namespace

int main(int argc, char** argv)
{
    THeadlessHost host;
    TApplication app(host);
    return Fuzz::Run(argc, argv, {20000, 20240611}, [&](TRandom& random) {
        const std::string input = Generate(random);
        const uint64_t seed = random.Next();
        TRigUnderTest whole(app, seed);
        TRigUnderTest pieces(app, seed);
        whole.Feed(input, random);
        for (size_t at = 0; at < input.size();) {
            const size_t size = 1 + random.Below(16);
            pieces.Feed(input.substr(at, size), random);
            at += size;
        }
        const Fuzz::TInput report = {{"input", input}, {"the rig made from seed " + std::to_string(seed), ""}};
        Fuzz::Check(whole.Replies == pieces.Replies && whole.Server->Log == pieces.Server->Log,
                    "whole and pieces differ", report);
        Fuzz::Check(whole.Replies.empty() || whole.Replies.back() == '\n', "a reply without a line break", report);
        Fuzz::Check(!whole.Session->Refused() || (whole.Replies.empty() && whole.Server->Puts().empty()),
                    "a refused connection was served", report);
        // At most one reply block a line or command, each a bounded size.
        Fuzz::Check(whole.Replies.size() <= (input.size() + 1) * 2048, "too much", report);
    });
}
