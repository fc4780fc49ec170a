#include <gtest/gtest.h>

#include "automation/VelkorCOMUnit.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

using Log = std::vector<std::string>;
using namespace RigParams;

class VelkorComTest : public ::testing::Test {
protected:
    VelkorComTest()
    {
        auto rig = std::make_unique<TFakeRigServer>();
        Rig = rig.get();
        Trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rig));
    }

    void Poll(int32_t freq, int32_t mode, int32_t vfo = VFOAA)
    {
        Rig->Radio.Tune(freq, mode, vfo);
        Trx->StartPolling();
        DispatchEvent(&App, [this] { Trx->TimTimer(Trx->Tim); });
        Rig->ClearLog();
    }

    THeadlessHost Host;
    TApplication App{Host};
    TFakeRigServer* Rig;
    TTransceiver* Trx;
};

TEST_F(VelkorComTest, BeforeTheFirstPollAndWithoutATransceiverTheReadsAreEmpty)
{
    EXPECT_EQ(VelkorComCalls::GetFreq(Trx), 0);
    EXPECT_EQ(VelkorComCalls::GetMode(Trx), "");
    EXPECT_EQ(VelkorComCalls::IsConnected(Trx), 0);
    EXPECT_TRUE(Rig->Log.empty()) << "reads never reach the rig server";

    EXPECT_EQ(VelkorComCalls::GetFreq(nullptr), 0);
    EXPECT_EQ(VelkorComCalls::GetMode(nullptr), "");
    EXPECT_EQ(VelkorComCalls::IsConnected(nullptr), 0);
    EXPECT_EQ(VelkorComCalls::SetFreq(nullptr, 7000000), 0);
    EXPECT_EQ(VelkorComCalls::SetMode(nullptr, "CW"), 0);
    EXPECT_EQ(VelkorComCalls::ChangeFreq(nullptr, 100), 0);
}

TEST_F(VelkorComTest, GetModeFoldsBothSidebandsAndNothingElse)
{
    const std::pair<const char*, const char*> cases[] = {
        {"USB", "SSB"},   {"LSB", "SSB"},       {"CW", "CW"}, {"CW-R", "CW-R"},
        {"DIGI", "DIGI"}, {"DIGI-R", "DIGI-R"}, {"AM", "AM"}, {"FM", "FM"},
    };
    for (const auto& [mode, shown] : cases) {
        Poll(14074000, ModeFlag(mode));
        EXPECT_EQ(VelkorComCalls::GetMode(Trx), shown) << mode;
        EXPECT_EQ(VelkorComCalls::IsConnected(Trx), 1);
        EXPECT_EQ(VelkorComCalls::GetFreq(Trx), 14074000);
    }
}

TEST_F(VelkorComTest, SetModeTakesOnlyTheTransceiversNamesExactly)
{
    Poll(7050000, CW_U);
    const struct {
        const char* Mode;
        int32_t Result;
        Log Sent;
    } cases[] = {
        {"FM", 1, {Format("put Mode %d", FM)}},
        {"SSB", 1, {Format("put Mode %d", SSB_L)}}, // below 10 MHz
        {"CW-R", 1, {Format("put Mode %d", CW_L)}},
        {"usb", 0, {}},
        {"Ssb", 0, {}},
        {"CW ", 0, {}},
        {"", 0, {}},
    };
    for (const auto& c : cases) {
        Rig->ClearLog();
        EXPECT_EQ(VelkorComCalls::SetMode(Trx, c.Mode), c.Result) << "[" << c.Mode << "]";
        EXPECT_EQ(Rig->Puts(), c.Sent) << "[" << c.Mode << "]";
    }
    Poll(14200000, CW_U);
    EXPECT_EQ(VelkorComCalls::SetMode(Trx, "SSB"), 1);
    EXPECT_EQ(Rig->Puts(), Log{Format("put Mode %d", SSB_U)});
}

TEST_F(VelkorComTest, TwoChangesBeforeAPollBothStartFromThePolledFrequency)
{
    Poll(14200000, SSB_U, VFOAA);
    EXPECT_EQ(VelkorComCalls::ChangeFreq(Trx, 100), 1);
    EXPECT_EQ(VelkorComCalls::ChangeFreq(Trx, 100), 1);
    EXPECT_EQ(Rig->Puts(), (Log{"put Freq 14200100", "put FreqA 14200100", "put Freq 14200100", "put FreqA 14200100"}));
    Rig->ClearLog();
    EXPECT_EQ(VelkorComCalls::ChangeFreq(Trx, -500), 1);
    EXPECT_EQ(Rig->Puts(), (Log{"put Freq 14199500", "put FreqA 14199500"}));
}

TEST_F(VelkorComTest, ChangeFreqWrapsAroundIn32Bits)
{
    const struct {
        int32_t Polled;
        int32_t Herz;
        int32_t Sent;
    } cases[] = {
        {2147483000, 1000, -2147483296},
        {-2147483000, -1000, 2147483296},
        {INT32_MAX, INT32_MAX, -2},
        {INT32_MIN, INT32_MIN, 0},
        {0, INT32_MIN, INT32_MIN},
    };
    for (const auto& c : cases) {
        Poll(c.Polled, SSB_U, VFOBB);
        EXPECT_EQ(VelkorComCalls::ChangeFreq(Trx, c.Herz), 1);
        EXPECT_EQ(Rig->Puts(), (Log{Format("put Freq %d", c.Sent), Format("put FreqB %d", c.Sent)})) << c.Polled;
    }
}

TEST_F(VelkorComTest, AFailingRigServerGivesZeroAndNothingFurtherIsSent)
{
    Poll(14200000, SSB_U, VFOAA);
    // The first call, the fetch for the frequency, fails.
    Rig->FailAt = 1;
    EXPECT_EQ(VelkorComCalls::SetFreq(Trx, 7000000), 0);
    EXPECT_EQ(Rig->Log, Log{"fetch"});
    Rig->ClearLog();
    // The frequency went; the VFO's did not.
    Rig->FailAt = 4;
    EXPECT_EQ(VelkorComCalls::ChangeFreq(Trx, 10), 0);
    EXPECT_EQ(Rig->Puts(), (Log{"put Freq 14200010"}));
    Rig->ClearLog();
    Rig->FailAll = true;
    EXPECT_EQ(VelkorComCalls::SetMode(Trx, "AM"), 0);
    EXPECT_EQ(Rig->Puts(), Log{});
    EXPECT_TRUE(Host.MessageBoxes().empty()) << "no message is shown";

    Rig->FailAll = false;
    Rig->FailAt = 0;
    EXPECT_EQ(VelkorComCalls::SetMode(Trx, "AM"), 1) << "usable again";
}

TEST_F(VelkorComTest, SetFreqPassesAnyValueUnchecked)
{
    Poll(14200000, SSB_U, VFOBA);
    for (int32_t freq : {0, -1, INT32_MAX}) {
        Rig->ClearLog();
        EXPECT_EQ(VelkorComCalls::SetFreq(Trx, freq), 1);
        EXPECT_EQ(Rig->Puts(), (Log{Format("put Freq %d", freq), Format("put FreqB %d", freq)}));
    }
}

} // namespace
