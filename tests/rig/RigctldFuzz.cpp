// The rigctld client against mutated replies, from a fixed seed:
//   rigctld_fuzz [rounds] [seed]
// The bytes come in chunks of any size through the line buffer; the calls are
// a random run of the transceiver's. Checked for every input: nothing but the
// client's own error escapes, a read answers what Velkor can hold (an
// arrangement, a mode of the table or none, a frequency of 0 or more), and a
// dropped connection reads nothing more within its back-off. Under the
// sanitizers too in build/native-san.
#include <string>
#include <vector>

#include "rig/RigctldClient.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/Fuzz.h"

namespace {

using namespace RigParams;
using Fuzz::Check;
using Fuzz::TRandom;

class TFuzzLink final : public IRigctldLink {
public:
    TFuzzLink(const std::string& bytes, TRandom& random) : FBytes(bytes), FRandom(random) {}
    void Connect(const std::string&, uint16_t, TRigctldClock::time_point) override
    {
        if (FRandom.Below(8) == 0)
            throw ERigctldLinkError("cannot connect: refused");
        FLines.Clear();
    }
    void Close() override { FLines.Clear(); }
    void Send(std::string_view, TRigctldClock::time_point) override {}
    std::string ReadLine(TRigctldClock::time_point) override
    {
        std::string line;
        while (!FLines.TakeLine(line)) {
            if (FAt >= FBytes.size())
                throw ERigctldConnectionLost("it closed the connection");
            const size_t chunk = 1 + FRandom.Below(64);
            FLines.Append(std::string_view(FBytes).substr(FAt, chunk));
            FAt += chunk;
        }
        return line;
    }
    size_t At() const { return FAt; }

private:
    const std::string& FBytes;
    TRandom& FRandom;
    size_t FAt = 0;
    TLineBuffer FLines;
};

const std::string kGreeting = "0\ndump_caps:\nModel name:\tDummy\nRPRT 0\n";
const std::string kPoll = "get_freq:\nFrequency: 145000000\nRPRT 0\nget_mode:\nMode: PKTUSB\nPassband: 3000\nRPRT 0\n"
                          "get_vfo:\nVFO: Sub\nRPRT 0\nget_split_vfo:\nSplit: 1\nTX VFO: VFOA\nRPRT 0\n"
                          "get_split_freq:\nTX Frequency: 7074000.000000\nRPRT 0\n";
const std::vector<std::string> kSeeds = {
    kGreeting + kPoll + kPoll,
    kGreeting + kPoll + "set_freq: 14074000\nRPRT 0\nset_mode: USB -1\nRPRT -9\n" + kPoll,
    "ChkVFO: 1\ndump_caps:\nRPRT -11\n" + kPoll + "set_vfo: VFOB\nRPRT 0\nset_split_vfo: 0 VFOB\nRPRT 0\n",
    kGreeting + "get_freq:\nRPRT -5\nget_mode:\nRPRT -11\nget_vfo:\nRPRT -11\nget_split_vfo:\nRPRT -1\n" + kPoll,
    "CHKVFO 0\r\ndump_caps:\r\nModel name:\tIC-7300\r\nRPRT 0\r\n" + kPoll,
};

bool IsArrangement(int32_t flag) { return flag == VFOAA || flag == VFOAB || flag == VFOBB || flag == VFOBA; }

void One(const std::string& input, TRandom& random)
{
    TRigctldClock::time_point now{};
    auto owned = std::make_unique<TFuzzLink>(input, random);
    TFuzzLink* link = owned.get();
    TRigctldServer server(std::move(owned), "127.0.0.1", 4532, {}, [&now] { return now; });
    const int32_t modes[] = {CW_U, CW_L, SSB_U, SSB_L, DIG_U, DIG_L, AM, FM};
    const int32_t vfos[] = {VFOA, VFOB, VFOAA, VFOAB, VFOBB, VFOBA};
    for (size_t n = 1 + random.Below(10); n > 0; --n) {
        auto rig = server.Rig();
        bool failed = false;
        try {
            switch (random.Below(10)) {
            case 0: rig->GetRigType(); break;
            case 1: Check(rig->GetFreq() >= 0, "a negative frequency", input); break;
            case 2: Check(rig->GetFreqA() >= 0 && rig->GetFreqB() >= 0, "a negative VFO frequency", input); break;
            case 3: Check(IsArrangement(rig->GetVfo()), "no arrangement", input); break;
            case 4: {
                const int32_t mode = rig->GetMode();
                Check(mode == 0 || !ModeName(mode).empty(), "a mode outside the table", input);
                break;
            }
            case 5: rig->PutFreq(static_cast<int32_t>(random.Below(500000000))); break;
            case 6: rig->PutFreqB(static_cast<int32_t>(random.Below(500000000))); break;
            case 7: rig->PutMode(modes[random.Below(std::size(modes))]); break;
            case 8: rig->PutVfo(vfos[random.Below(std::size(vfos))]); break;
            default: now += std::chrono::milliseconds(random.Below(3000)); break;
            }
        } catch (const ERigctldError&) {
            failed = true;
        }
        // Dropped: within the back-off nothing more is read.
        if (failed && !server.Connected()) {
            const size_t dropped = link->At();
            try {
                server.Rig()->GetFreq();
            } catch (const ERigctldError&) {
            }
            Check(server.Connected() || link->At() == dropped, "read within the back-off", input);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    return Fuzz::RunMutations(argc, argv, {.Rounds = 20000, .Seed = 16}, kSeeds,
                              {.Special = "\n\r: -.0123456789RPT", .MaxSteps = 4, .MaxSize = 8192}, One);
}
