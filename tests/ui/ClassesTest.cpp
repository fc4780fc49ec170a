#include <gtest/gtest.h>

#include "base/SysUtils.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

namespace {

// Counts its own destruction, so that a test sees what an owner frees.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::vector<std::string>& log, const std::string& name) : TComponent(owner), FLog(log)
    {
        SetName(name);
        PublishString("Caption", [this] { return FCaption; }, [this](const std::string& v) { FCaption = v; });
    }
    ~TProbe() override { FLog.push_back(Name()); }
    std::string FCaption;

private:
    std::vector<std::string>& FLog;
};

TEST(Component, OwnerFreesWhatItOwnsAndForgetsWhatIsFreedFirst)
{
    std::vector<std::string> freed;
    auto* root = new TProbe(nullptr, freed, "root");
    auto* a = new TProbe(root, freed, "a");
    new TProbe(a, freed, "a1");
    auto* b = new TProbe(root, freed, "b");
    new TProbe(root, freed, "c");

    delete b; // leaves its owner's list
    EXPECT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(root->FindComponent("B"), nullptr);
    EXPECT_EQ(root->FindComponent("A"), a) << "names are found without regard to case";
    EXPECT_EQ(root->FindComponent(""), nullptr);

    delete root; // its own destructor first, then what it owns, last created first
    EXPECT_EQ(freed, (std::vector<std::string>{"b", "root", "c", "a", "a1"}));
}

TEST(Component, PublishedPropertiesByNameAndKind)
{
    std::vector<std::string> freed;
    TProbe probe(nullptr, freed, "probe");
    probe.SetStrProp("caption", "ON");
    probe.SetIntProp("TAG", 400);
    EXPECT_EQ(probe.FCaption, "ON");
    EXPECT_EQ(probe.GetStrProp("Caption"), "ON");
    EXPECT_EQ(probe.Tag(), 400);
    EXPECT_EQ(probe.PropertyKind("Tag"), TPropKind::Integer);
    EXPECT_EQ(probe.PropertyKind("Caption"), TPropKind::String);
    EXPECT_TRUE(probe.HasProperty("caption"));
    EXPECT_FALSE(probe.HasProperty("Hint"));

    EXPECT_THROW(probe.GetStrProp("Hint"), EInvalidOperation);
    EXPECT_THROW(probe.SetIntProp("Caption", 1), EInvalidOperation);
    EXPECT_THROW(probe.SetStrProp("Tag", "1"), EInvalidOperation);
}

class TimerTest : public ::testing::Test {
protected:
    THeadlessHost Host;
    TApplication App{Host};
};

TEST_F(TimerTest, FiresEveryIntervalWhileEnabledAndRestartsOnEveryChange)
{
    auto* timer = new TTimer(&App);
    std::vector<uint32_t> ticks;
    timer->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        ticks.push_back(Host.TickCount());
    };
    timer->SetInterval(200);
    Host.Advance(650);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{200, 400, 600}));

    timer->SetInterval(100); // a change starts the interval afresh at 650
    Host.Advance(200);
    EXPECT_EQ(ticks.back(), 850u);

    timer->SetEnabled(false);
    Host.Advance(1000);
    EXPECT_EQ(ticks.size(), 5u);
    EXPECT_FALSE(Host.IsTimerRunning(*timer));

    timer->SetEnabled(true);
    timer->SetInterval(0); // no interval, no ticks
    Host.Advance(1000);
    EXPECT_EQ(ticks.size(), 5u);

    delete timer;
    EXPECT_FALSE(Host.IsTimerRunning(*timer));
}

TEST_F(TimerTest, TimersFireInTheOrderTheyFallDue)
{
    std::string order;
    auto* slow = new TTimer(&App);
    auto* fast = new TTimer(&App);
    slow->SetInterval(200);
    fast->SetInterval(50);
    slow->OnTimer = [&](TObject*) { order += 'S'; };
    fast->OnTimer = [&](TObject*) { order += 'f'; };
    Host.Advance(400);
    // At 200 and 400 both are due; the one scheduled earlier goes first.
    EXPECT_EQ(order, "fffSffffSf");
}

TEST_F(TimerTest, HandlerMayStopOrRetimeItsOwnTimer)
{
    auto* timer = new TTimer(&App);
    timer->SetInterval(400);
    std::vector<uint32_t> ticks;
    timer->OnTimer = [&](TObject*) {
        ticks.push_back(Host.TickCount());
        timer->SetInterval(100);
        if (ticks.size() == 3)
            timer->SetEnabled(false);
    };
    Host.Advance(1000);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{400, 500, 600}));
}

TEST_F(TimerTest, FindsItsHostThroughItsOwnersOrIsGivenOne)
{
    auto* holder = new TComponent(&App);
    auto* owned = new TTimer(new TComponent(holder));
    EXPECT_TRUE(Host.IsTimerRunning(*owned)) << "the application two owners up holds the host";

    TComponent loose(nullptr);
    EXPECT_THROW(new TTimer(&loose), EInvalidOperation);
    EXPECT_EQ(loose.ComponentCount(), 0) << "a timer that cannot run is not left with its owner";
    EXPECT_THROW(new TTimer(nullptr), EInvalidOperation);

    THeadlessHost other;
    TTimer given(&loose, other);
    EXPECT_TRUE(other.IsTimerRunning(given));
    EXPECT_FALSE(Host.IsTimerRunning(given));
}

TEST_F(TimerTest, AnErrorInATickIsReportedAndTheTimerGoesOn)
{
    App.SetTitle("Velkor");
    auto* timer = new TTimer(&App);
    timer->SetInterval(100);
    int ticks = 0;
    timer->OnTimer = [&](TObject*) {
        ++ticks;
        throw Exception("Rig is not responding");
    };
    Host.Advance(200);
    EXPECT_EQ(ticks, 2);
    ASSERT_EQ(Host.MessageBoxes().size(), 2u);
    EXPECT_EQ(Host.MessageBoxes()[0].Text, "Rig is not responding.");
    EXPECT_EQ(Host.MessageBoxes()[0].Caption, "Velkor");
    EXPECT_EQ(Host.MessageBoxes()[0].Style, MsgBox::kOk | MsgBox::kIconError);
}

TEST(ErrorReport, AppendsAFullStopOnlyAfterACharacterThatSortsAfterIt)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"Stream write error", "Stream write error."},
        {"Done.", "Done."},
        {"Really?", "Really?."},     // '?' sorts after '.'
        {"Stop!", "Stop!"},          // '!' sorts before '.'
        {"a-", "a-"},                // '-' sorts before '.'
        {"path/", "path/."},         // '/' sorts right after '.'
        {"value 7", "value 7."},
        {"(x)", "(x)"},
        {"'' is not a valid integer value", "'' is not a valid integer value."},
        {"caf\xe9", "caf\xe9."},     // compared as unsigned bytes
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(ErrorReportText(message), shown) << message;
}

} // namespace
