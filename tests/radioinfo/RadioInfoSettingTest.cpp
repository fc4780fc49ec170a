// Where the radio's state goes: the switch, then the registry value, each
// destination parsed on its own.
#include <gtest/gtest.h>

#include "radioinfo/RadioInfoSetting.h"
#include "tests/support/MemoryRegistry.h"

namespace {

using Params = std::vector<std::string>;
using TDest = TRadioInfoDestination;

std::string Joined(const std::vector<TDest>& destinations)
{
    std::string text;
    for (const TDest& d : destinations)
        text += (text.empty() ? "" : ",") + d.Host + ":" + std::to_string(d.Port);
    return text;
}

TEST(RadioInfoSetting, EachItemParsesOnItsOwnAndTheBadOnesAreNamed)
{
    const struct {
        const char* Text;
        const char* Destinations;
        size_t Errors;
    } cases[] = {
        {"127.0.0.1:12060", "127.0.0.1:12060", 0},
        {" 10.0.0.5:1 , shack-pc:65535 ", "10.0.0.5:1,shack-pc:65535", 0},
        {"decoder", "decoder:12060", 0},
        {"a:1,a:1,b:2", "a:1,b:2", 0},
        {"a:0", "", 1},
        {"a:65536", "", 1},
        {"a:-1", "", 1},
        {"a:12x", "", 1},
        {"a:", "", 1},
        {":12060", "", 1},
        {"my host:12060", "", 1},
        {"a b", "", 1},
        {"[::1]:12060", "", 1},
        {"a:1,,b:2", "a:1,b:2", 1},
        {"a:1,", "a:1", 1},
        {",", "", 2},
        {"a:1, bad:port ,b:2", "a:1,b:2", 1},
        {"\x01:1", "", 1},
        {"x\"y<z>:1", "", 1},
    };
    for (const auto& c : cases) {
        const TRadioInfoSetting setting = ParseRadioInfoDestinations(c.Text, "The switch /radioinfo");
        EXPECT_EQ(Joined(setting.Destinations), c.Destinations) << c.Text;
        EXPECT_EQ(setting.Errors.size(), c.Errors) << c.Text;
    }
}

TEST(RadioInfoSetting, AHostLongerThanANameCanBeIsRefused)
{
    EXPECT_EQ(ParseRadioInfoDestinations(std::string(253, 'h') + ":1", "w").Destinations.size(), 1u);
    const TRadioInfoSetting setting = ParseRadioInfoDestinations(std::string(254, 'h') + ":1", "w");
    EXPECT_TRUE(setting.Destinations.empty());
    ASSERT_EQ(setting.Errors.size(), 1u);
    // The error shows the start of the item, not all of it.
    EXPECT_LT(setting.Errors[0].size(), 200u);
}

TEST(RadioInfoSetting, MoreThanSixteenDestinationsAreCutWithAnError)
{
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += (i ? "," : "") + std::string("10.0.0.") + std::to_string(i) + ":12060";
    const TRadioInfoSetting setting = ParseRadioInfoDestinations(text, "The registry value RadioInfo");
    ASSERT_EQ(setting.Destinations.size(), RadioInfo::kMaxDestinations);
    EXPECT_EQ(setting.Destinations.back().Host, "10.0.0.15");
    ASSERT_EQ(setting.Errors.size(), 1u);
    EXPECT_EQ(setting.Errors[0], "The registry value RadioInfo names more than 16 destinations: 4 left out");
}

TEST(RadioInfoSetting, AThousandBadItemsAreSixteenErrorsAndACount)
{
    std::string text = "a:1";
    for (int i = 0; i < 1000; ++i)
        text += ",bad:x";
    const TRadioInfoSetting setting = ParseRadioInfoDestinations(text, "The switch /radioinfo");
    EXPECT_EQ(setting.Destinations.size(), 1u);
    ASSERT_EQ(setting.Errors.size(), RadioInfo::kMaxDestinations + 1);
    EXPECT_EQ(setting.Errors.back(), "The switch /radioinfo: 984 more destinations name none");
}

TEST(RadioInfoSetting, TheErrorNamesTheSettingAndTheItem)
{
    TMemoryRegistry registry;
    registry.SetString(TRegRoot::CurrentUser, "Software\\Velkor", "RadioInfo", "a:1,b:99999");
    const TRadioInfoSetting stored = RadioInfoSettingOf({}, registry);
    EXPECT_EQ(Joined(stored.Destinations), "a:1");
    ASSERT_EQ(stored.Errors.size(), 1u);
    EXPECT_EQ(stored.Errors[0], "The registry value RadioInfo: \"b:99999\" names no UDP port (1 to 65535); "
                                "HOST:PORT, comma separated, is asked for");
    const TRadioInfoSetting switched = RadioInfoSettingOf({"/radioinfo::5"}, registry);
    ASSERT_EQ(switched.Errors.size(), 1u);
    EXPECT_EQ(switched.Errors[0],
              "The switch /radioinfo: \":5\" names no host; HOST:PORT, comma separated, is asked for");
}

TEST(RadioInfoSetting, TheSwitchWinsOverTheRegistry)
{
    const struct {
        Params Switches;
        std::optional<TRegValue> Stored;
        const char* Destinations;
        bool Error;
    } cases[] = {
        {{}, std::nullopt, "", false},
        {{}, TRegValue{RegType::kSz, ""}, "", false},
        {{}, TRegValue{RegType::kSz, "  "}, "", false},
        {{}, TRegValue{RegType::kSz, "0"}, "", false},
        {{}, TRegValue{RegType::kSz, std::string("a:1\0", 4)}, "a:1", false},
        {{}, TRegValue{RegType::kSz, "a:1,b:2"}, "a:1,b:2", false},
        {{}, TRegValue{RegType::kExpandSz, "a:1"}, "a:1", false},
        {{}, TRegValue{RegType::kDWord, std::string(4, '\0')}, "", true},
        {{}, TRegValue{RegType::kBinary, "a:1"}, "", true},
        {{"/radioinfo"}, std::nullopt, "127.0.0.1:12060", false},
        {{"-RADIOINFO"}, TRegValue{RegType::kSz, "a:1"}, "127.0.0.1:12060", false},
        {{"/radioinfo:b:2"}, TRegValue{RegType::kSz, "a:1"}, "b:2", false},
        {{"/radioinfo:"}, TRegValue{RegType::kSz, "a:1"}, "", false},
        {{"/radioinfo:0"}, TRegValue{RegType::kSz, "a:1"}, "", false},
        {{"/radioinfo:b:2", "/radioinfo:0"}, std::nullopt, "", false},
        {{"/radioinfo:b:x"}, TRegValue{RegType::kSz, "a:1"}, "", true},
        // Not the switch: the registry decides.
        {{"/radioinfos"}, TRegValue{RegType::kSz, "a:1"}, "a:1", false},
        {{"radioinfo"}, TRegValue{RegType::kSz, "a:1"}, "a:1", false},
        {{"/radioinfo=b:2"}, std::nullopt, "", false},
    };
    for (const auto& c : cases) {
        TMemoryRegistry registry;
        if (c.Stored)
            registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "RadioInfo", *c.Stored);
        const TRadioInfoSetting setting = RadioInfoSettingOf(c.Switches, registry);
        const std::string name = c.Switches.empty() ? "registry" : c.Switches.back();
        EXPECT_EQ(Joined(setting.Destinations), c.Destinations) << name;
        EXPECT_EQ(!setting.Errors.empty(), c.Error) << name;
        EXPECT_EQ(registry.OpenKeys(), 0);
    }
}

} // namespace
