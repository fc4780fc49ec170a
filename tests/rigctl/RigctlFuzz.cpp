// The rigctl protocol against generated and mutated client input, from a fixed
// seed: commands, prefixes, arguments, junk bytes and overlong lines. The same
// bytes are fed once whole and once in random pieces to two rigs in the same
// state; the replies and the rig server's calls must be the same, every reply
// must end in a line break, and no line may be answered twice. Under the
// sanitizers in build/native-san.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "rig/TransceiverUnit.h"
#include "rigctl/RigctlRig.h"
#include "rigctl/RigctlSession.h"
#include "tests/rig/FakeRigServer.h"
#include "ui/Forms.h"
#include "ui/HeadlessHost.h"

namespace {

const char* const kPieces[] = {
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

    TRigUnderTest(TApplication& app, unsigned seed) : Owner(&app)
    {
        auto server = std::make_unique<TFakeRigServer>();
        Server = server.get();
        std::mt19937 random(seed);
        const int32_t vfos[] = {RigParams::VFOAA, RigParams::VFOAB, RigParams::VFOBB, RigParams::VFOBA};
        const int32_t modes[] = {RigParams::SSB_U, RigParams::DIG_U, RigParams::CW_L, 0};
        Server->Radio = {"FAKE", 14074000, 14074000, 7050000, modes[random() % 4], vfos[random() % 4]};
        Server->FailAt = static_cast<int>(random() % 40);
        Trx = new TTransceiver(&Owner, std::move(server));
        Trx->StartPolling();
        DispatchEvent([this] { Trx->TimTimer(Trx->Tim); });
        Rig = std::make_unique<TRigctlRig>(Trx);
        Session = std::make_unique<TRigctlSession>(*Rig);
    }

    void Feed(const std::string& bytes)
    {
        Session->Received(bytes);
        Replies += Session->Output();
        Session->Sent(Session->Output().size());
    }
};

std::string Generate(std::mt19937& random)
{
    std::string input;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
        switch (random() % 8) {
        case 0: // junk bytes
            for (int n = static_cast<int>(random() % 20); n > 0; --n)
                input += static_cast<char>(random() % 256);
            break;
        case 1: // an overlong line, sometimes ended
            input += std::string(static_cast<size_t>(400 + random() % 400), static_cast<char>('a' + random() % 26));
            break;
        default:
            input += kPieces[random() % (sizeof(kPieces) / sizeof(kPieces[0]))];
            input += random() % 3 ? "\n" : " ";
        }
    }
    // A mutated byte or two.
    for (int n = static_cast<int>(random() % 3); n > 0 && !input.empty(); --n)
        input[random() % input.size()] = static_cast<char>(random() % 256);
    return input;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
    THeadlessHost host;
    TApplication app(host);
    std::mt19937 random(20240611);
    for (int round = 0; round < rounds; ++round) {
        const std::string input = Generate(random);
        const unsigned seed = static_cast<unsigned>(random());
        TRigUnderTest whole(app, seed);
        TRigUnderTest pieces(app, seed);
        whole.Feed(input);
        for (size_t at = 0; at < input.size();) {
            const size_t size = 1 + random() % 16;
            pieces.Feed(input.substr(at, size));
            at += size;
        }
        const bool same = whole.Replies == pieces.Replies && whole.Server->Log == pieces.Server->Log;
        const bool lines = whole.Replies.empty() || whole.Replies.back() == '\n';
        // At most one reply block a line or command, each a bounded size.
        const bool bounded = whole.Replies.size() <= (input.size() + 1) * 2048;
        if (!same || !lines || !bounded) {
            std::fprintf(stderr, "round %d: %s\n", round,
                         !same ? "whole and pieces differ" : !lines ? "a reply without a line break" : "too much");
            return 1;
        }
    }
    std::printf("%d rounds\n", rounds);
    return 0;
}
