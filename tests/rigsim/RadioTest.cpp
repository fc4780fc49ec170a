// The stand-in rig server's radio without COM: the frequencies follow the VFO
// in use, a client's VFO and mode commands take only the values the rig
// server defines and leave the radio as it was otherwise, and the operator's
// values are kept as they are. tests/win32/RigSimTest.cpp checks that the
// COM calls of another process reach these rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "tools/rigsim/Radio.h"

namespace {

using namespace RigParams;

constexpr int32_t kStartA = 14200000;
constexpr int32_t kStartB = 7050000;

struct TState {
    int32_t A, B, Vfo, Freq, Mode;
    bool operator==(const TState&) const = default;
};

TState StateOf(const TRadio& radio)
{
    return {radio.FreqA(), radio.FreqB(), radio.Vfo(), radio.Freq(), radio.Mode()};
}

void PrintTo(const TState& s, std::ostream* os)
{
    *os << "A " << s.A << ", B " << s.B << ", VFO " << s.Vfo << ", Freq " << s.Freq << ", mode " << s.Mode;
}

const std::vector<int32_t> kArrangements = {VFOAA, VFOAB, VFOBB, VFOBA};
const std::vector<int32_t> kModes = {CW_U, CW_L, SSB_U, SSB_L, DIG_U, DIG_L, AM, FM};

TEST(RigSimRadio, StartsWithTheDocumentedRadio)
{
    const TRadio radio;
    EXPECT_EQ(radio.RigType(), L"RIGSIM");
    EXPECT_EQ(StateOf(radio), (TState{kStartA, kStartB, VFOAA, kStartA, SSB_U}));
}

TEST(RigSimRadio, FrequenciesFollowTheVfoInUse)
{
    enum TOp { SetFreq, SetFreqA, SetFreqB, PutVfo };
    struct TCase {
        const char* Name;
        int32_t StartVfo; // set raw, as the operator may
        TOp Op;
        int32_t Value;
        int32_t A, B, Vfo, Freq;
    };
    const TCase cases[] = {
        {"Freq on A/A turns A", VFOAA, SetFreq, 3500000, 3500000, kStartB, VFOAA, 3500000},
        {"Freq on A/B turns A", VFOAB, SetFreq, 3500000, 3500000, kStartB, VFOAB, 3500000},
        {"Freq on B/B turns B", VFOBB, SetFreq, 3500000, kStartA, 3500000, VFOBB, 3500000},
        {"Freq on B/A turns B", VFOBA, SetFreq, 3500000, kStartA, 3500000, VFOBA, 3500000},
        {"Freq on no arrangement turns A", 0, SetFreq, 3500000, 3500000, kStartB, 0, 3500000},
        {"Freq on VFOB alone turns A", VFOB, SetFreq, 3500000, 3500000, kStartB, VFOB, 3500000},
        {"Freq on two arrangements turns A", VFOBB | VFOBA, SetFreq, 3500000, 3500000, kStartB, VFOBB | VFOBA,
         3500000},
        {"FreqA on B/B leaves Freq", VFOBB, SetFreqA, 21000000, 21000000, kStartB, VFOBB, kStartB},
        {"FreqA on A/B moves Freq", VFOAB, SetFreqA, 21000000, 21000000, kStartB, VFOAB, 21000000},
        {"FreqB on B/A moves Freq", VFOBA, SetFreqB, 10100000, kStartA, 10100000, VFOBA, 10100000},
        {"FreqB on A/A leaves Freq", VFOAA, SetFreqB, 10100000, kStartA, 10100000, VFOAA, kStartA},
        {"a negative frequency is a frequency", VFOAA, SetFreq, -5, -5, kStartB, VFOAA, -5},
        {"VFOB on A/A gives B/B", VFOAA, PutVfo, VFOB, kStartA, kStartB, VFOBB, kStartB},
        {"VFOB on A/B gives B/A", VFOAB, PutVfo, VFOB, kStartA, kStartB, VFOBA, kStartB},
        {"VFOB on B/A stays B/A", VFOBA, PutVfo, VFOB, kStartA, kStartB, VFOBA, kStartB},
        {"VFOA on B/B gives A/A", VFOBB, PutVfo, VFOA, kStartA, kStartB, VFOAA, kStartA},
        {"VFOA on B/A gives A/B", VFOBA, PutVfo, VFOA, kStartA, kStartB, VFOAB, kStartA},
        {"VFOA on A/A stays A/A", VFOAA, PutVfo, VFOA, kStartA, kStartB, VFOAA, kStartA},
        {"VFOB on no arrangement gives B/B", 0, PutVfo, VFOB, kStartA, kStartB, VFOBB, kStartB},
        {"VFOA on two arrangements gives A/A", VFOAB | VFOBA, PutVfo, VFOA, kStartA, kStartB, VFOAA, kStartA},
        {"VFOAB sets split", VFOAA, PutVfo, VFOAB, kStartA, kStartB, VFOAB, kStartA},
        {"VFOBA sets split on B", VFOAA, PutVfo, VFOBA, kStartA, kStartB, VFOBA, kStartB},
        {"VFOBB sets B", VFOAB, PutVfo, VFOBB, kStartA, kStartB, VFOBB, kStartB},
        {"VFOAA sets A", VFOBA, PutVfo, VFOAA, kStartA, kStartB, VFOAA, kStartA},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRadio radio;
        radio.SetRawVfo(c.StartVfo);
        switch (c.Op) {
        case SetFreq: radio.SetFreq(c.Value); break;
        case SetFreqA: radio.SetFreqA(c.Value); break;
        case SetFreqB: radio.SetFreqB(c.Value); break;
        case PutVfo: EXPECT_TRUE(radio.PutVfo(c.Value)); break;
        }
        EXPECT_EQ(StateOf(radio), (TState{c.A, c.B, c.Vfo, c.Freq, SSB_U}));
    }
}

TEST(RigSimRadio, AClientsVfoCommandTakesOnlyTheDefinedValues)
{
    const int32_t refused[] = {
        0, 1, VFOAA | VFOAB, VFOA | VFOB, VFOA | VFOBB, VFOB | VFOAA, SSB_U, -1, INT32_MAX, INT32_MIN,
    };
    for (int32_t start : {VFOAA, VFOAB, VFOBB, VFOBA, 0}) {
        for (int32_t value : refused) {
            SCOPED_TRACE(testing::Message() << "on " << start << ": " << value);
            TRadio radio;
            radio.SetRawVfo(start);
            radio.SetFreqB(3500000);
            const TState before = StateOf(radio);
            EXPECT_FALSE(radio.PutVfo(value));
            EXPECT_EQ(StateOf(radio), before);
        }
    }
    for (int32_t value : refused)
        EXPECT_FALSE(TRadio::IsArrangement(value)) << value;
    for (int32_t value : kArrangements)
        EXPECT_TRUE(TRadio::IsArrangement(value)) << value;
}

TEST(RigSimRadio, AClientsModeCommandTakesExactlyOneModeFlag)
{
    for (int32_t mode : kModes) {
        SCOPED_TRACE(mode);
        TRadio radio;
        EXPECT_TRUE(TRadio::IsMode(mode));
        EXPECT_TRUE(radio.PutMode(mode));
        EXPECT_EQ(radio.Mode(), mode);
    }
    const int32_t refused[] = {0, VFOA, VFOAA, CW_U | CW_L, SSB_U | 1, SSB_L | AM, -1, INT32_MIN, INT32_MAX};
    for (int32_t value : refused) {
        SCOPED_TRACE(value);
        TRadio radio;
        ASSERT_TRUE(radio.PutMode(CW_L));
        const TState before = StateOf(radio);
        EXPECT_FALSE(TRadio::IsMode(value));
        EXPECT_FALSE(radio.PutMode(value));
        EXPECT_EQ(StateOf(radio), before);
    }
}

TEST(RigSimRadio, TheOperatorsValuesAreKeptAsTheyAre)
{
    TRadio radio;
    radio.SetRawMode(CW_U | DIG_L);
    EXPECT_EQ(radio.Mode(), CW_U | DIG_L);
    radio.SetRawMode(0);
    EXPECT_EQ(radio.Mode(), 0);
    for (int32_t vfo : {VFOA, VFOB, 0, -1}) {
        SCOPED_TRACE(vfo);
        radio.SetRawVfo(vfo);
        EXPECT_EQ(radio.Vfo(), vfo);
        EXPECT_EQ(radio.Freq(), kStartA) << "what is no arrangement counts as A";
    }
    radio.SetRigType(L"Test rig 2");
    EXPECT_EQ(radio.RigType(), L"Test rig 2");
    radio.SetRigType(L"");
    EXPECT_EQ(radio.RigType(), L"");
}

} // namespace
