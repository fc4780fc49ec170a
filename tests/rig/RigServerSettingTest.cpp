// Which rig server a value, a switch or the registry names, and what is
// refused: the texts an operator types wrong.
#include <gtest/gtest.h>

#include "rig/RigServerSetting.h"
#include "tests/support/MemoryRegistry.h"

namespace {

TEST(RigServerSettingTest, ValuesThatNameNoRigServerAreRefused)
{
    struct TCase {
        const char* Text;
        bool Valid;
        const char* Host;
        uint16_t Port;
    };
    const TCase cases[] = {
        {"", true, "127.0.0.1", 4532},
        {" RIGCTLD ", true, "127.0.0.1", 4532},
        {"rigctld:shack.local:4533", true, "shack.local", 4533},
        {"rigctld:[::1]:4534", true, "::1", 4534},
        {"rigctld:10.0.0.2", true, "10.0.0.2", 4532},
        {"rigctld:", false, "", 0},
        {"rigctld:host:", false, "", 0},
        {"rigctld:host:0", false, "", 0},
        {"rigctld:host:65536", false, "", 0},
        {"rigctld:host:45x", false, "", 0},
        {"rigctld:a b:4532", false, "", 0},
        {"rigctld:::1:4532", false, "", 0},
        {"rigctld:[::1", false, "", 0},
        {"rigctld:[::1]x", false, "", 0},
        {"rigctldx", false, "", 0},
        {"com", false, "", 0},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Text);
        TRigServerSetting setting;
        ASSERT_EQ(ParseRigServer(test.Text, setting), test.Valid);
        if (!test.Valid)
            continue;
        EXPECT_EQ(setting.Host, test.Host);
        EXPECT_EQ(setting.Port, test.Port);
        // What is saved reads back the same.
        TRigServerSetting again;
        ASSERT_TRUE(ParseRigServer(RigServerText(setting), again));
        EXPECT_EQ(again.Kind, setting.Kind);
        EXPECT_EQ(again.Host, setting.Host);
        EXPECT_EQ(again.Port, setting.Port);
    }
}

TEST(RigServerSettingTest, ABadSwitchOrValueIsReportedAndTheComRigServerServes)
{
    TMemoryRegistry registry;
    registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "RigServer", {RegType::kDWord, std::string(4, '\1')});
    TRigServerSetting setting = RigServerSettingOf({}, registry);
    EXPECT_EQ(setting.Kind, TRigServerKind::Com);
    EXPECT_EQ(setting.Error, "The registry value RigServer is not text; the COM rig server is used");

    registry.SetString(TRegRoot::CurrentUser, "Software\\Velkor", "RigServer", "rigctld:host:99999");
    setting = RigServerSettingOf({}, registry);
    EXPECT_EQ(setting.Kind, TRigServerKind::Com);
    EXPECT_NE(setting.Error.find("The registry value RigServer \"rigctld:host:99999\" names no rig server"),
              std::string::npos);

    // The last switch wins over the registry, a bad one too.
    setting = RigServerSettingOf({"/rigserver:rigctld", "-RIGSERVER:rigctld:h:0"}, registry);
    EXPECT_EQ(setting.Kind, TRigServerKind::Com);
    EXPECT_NE(setting.Error.find("The switch \"-RIGSERVER:rigctld:h:0\""), std::string::npos);
    setting = RigServerSettingOf({"/rigserver:rigctld:h:1", "/rigserverx", "/rigserver"}, registry);
    EXPECT_EQ(setting.Kind, TRigServerKind::Com);
    EXPECT_EQ(setting.Error, "");
}

TEST(RigServerSettingTest, OnlyTheOwnRigctlPortOnThisMachineIsRefused)
{
    struct TCase {
        const char* Text;
        uint16_t RigctlPort;
        bool Refused;
    };
    const TCase cases[] = {
        {"rigctld", 4532, true},          {"rigctld:localhost:4532", 4532, true},
        {"rigctld:127.1.2.3:4532", 4532, true}, {"rigctld:[::1]:4532", 4532, true},
        {"rigctld", 0, false},            {"rigctld:127.0.0.1:4533", 4532, false},
        {"rigctld:10.0.0.2:4532", 4532, false}, {"rigctld:127.0.0.1.5:4532", 4532, false},
        {"", 4532, false},
        // As the resolver reads them, not as they are spelled.
        {"rigctld:127.0.0:4532", 4532, true}, {"rigctld:127.1:4532", 4532, true},
        {"rigctld:2130706433:4532", 4532, true}, {"rigctld:0x7f.1:4532", 4532, true},
        {"rigctld:0177.0.0.1:4532", 4532, true}, {"rigctld:0.0.0.0:4532", 4532, true},
        {"rigctld:0:4532", 4532, true}, {"rigctld:LocalHost.:4532", 4532, true},
        {"rigctld:rig.localhost:4532", 4532, true}, {"rigctld:[::]:4532", 4532, true},
        {"rigctld:[::ffff:127.0.0.1]:4532", 4532, true}, {"rigctld:[::ffff:7f00:1]:4532", 4532, true},
        {"rigctld:[0:0:0:0:0:0:0:1]:4532", 4532, true}, {"rigctld:[::1%1]:4532", 4532, true},
        {"rigctld:0x7f000001:4532", 4532, true},
        {"rigctld:128.0.0.1:4532", 4532, false}, {"rigctld:2130706432:4532", 4532, true},
        {"rigctld:2147483648:4532", 4532, false}, {"rigctld:0x80.1:4532", 4532, false},
        {"rigctld:0178.0.0.1:4532", 4532, false}, {"rigctld:127.256.0.1:4532", 4532, false},
        {"rigctld:4294967296:4532", 4532, false}, {"rigctld:[::2]:4532", 4532, false},
        {"rigctld:[::ffff:10.0.0.1]:4532", 4532, false}, {"rigctld:[fe80::1]:4532", 4532, false},
        {"rigctld:[1::1]:4532", 4532, false}, {"rigctld:localhost.example:4532", 4532, false},
        {"rigctld:[::1::]:4532", 4532, false},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Text);
        TRigServerSetting setting;
        ASSERT_TRUE(ParseRigServer(test.Text, setting));
        EXPECT_EQ(!OwnPortRefusal(setting, test.RigctlPort).empty(), test.Refused);
    }
}

} // namespace

namespace {

// A kind added without its row, or with a name another row's text shadows,
// is caught here rather than by an operator whose choice reads back as
// another kind.
TEST(RigServerSettingTest, EveryKindReadsBackAsItselfAndAKindWithoutARowIsRefused)
{
    for (const TRigServerKindInfo& info : RigServerKinds()) {
        SCOPED_TRACE(std::string(info.Name));
        EXPECT_EQ(&RigServerKindInfoOf(info.Kind), &info);
        TRigServerSetting setting;
        setting.Kind = info.Kind;
        TRigServerSetting back;
        ASSERT_TRUE(ParseRigServer(RigServerText(setting), back));
        EXPECT_EQ(back.Kind, info.Kind);
        EXPECT_FALSE(info.MarkName.empty());
    }
    TRigServerSetting unknown;
    unknown.Kind = static_cast<TRigServerKind>(RigServerKinds().size());
    EXPECT_THROW(RigServerKindInfoOf(unknown.Kind), std::logic_error);
    EXPECT_THROW(RigServerText(unknown), std::logic_error);
    // Nor is a saved choice lost to it.
    TMemoryRegistry registry;
    registry.SetString(TRegRoot::CurrentUser, "Software\\Velkor", "RigServer", "rigctld");
    EXPECT_THROW(SaveRigServer(registry, unknown), std::logic_error);
    ASSERT_TRUE(registry.Value(TRegRoot::CurrentUser, "Software\\Velkor", "RigServer").has_value());
    EXPECT_EQ(registry.Value(TRegRoot::CurrentUser, "Software\\Velkor", "RigServer")->Data, "rigctld");
}

} // namespace
