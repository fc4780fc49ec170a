// Whether the rigctl port opens, and where: the switch, then the registry.
#include <gtest/gtest.h>

#include "rigctl/RigctlSettings.h"
#include "tests/support/MemoryRegistry.h"

namespace {

using Params = std::vector<std::string>;

TRegValue DWord(uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xff);
    return {RegType::kDWord, bytes};
}

TEST(RigctlSettings, TheSwitchWinsOverTheRegistry)
{
    const struct {
        Params Switches;
        std::optional<TRegValue> Stored;
        uint16_t Port;
        bool Error;
    } cases[] = {
        {{}, std::nullopt, 0, false},
        {{}, DWord(0), 0, false},
        {{}, DWord(4533), 4533, false},
        {{}, TRegValue{RegType::kSz, "4534"}, 4534, false},
        {{}, TRegValue{RegType::kSz, " 4534 "}, 4534, false},
        {{}, TRegValue{RegType::kSz, "0"}, 0, false},
        {{}, TRegValue{RegType::kSz, ""}, 0, true},
        {{}, TRegValue{RegType::kSz, "port"}, 0, true},
        {{}, TRegValue{RegType::kSz, "-1"}, 0, true},
        {{}, DWord(65536), 0, true},
        {{}, DWord(0xffffffff), 0, true},
        {{}, TRegValue{RegType::kBinary, "\x01"}, 0, true},
        {{"/rigctl"}, std::nullopt, 4532, false},
        {{"-RIGCTL"}, DWord(4533), 4532, false},
        {{"/rigctl:4600"}, DWord(4533), 4600, false},
        {{"/Rigctl:65535"}, std::nullopt, 65535, false},
        {{"/rigctl:0"}, DWord(4533), 0, false},
        {{"/rigctl:"}, DWord(4533), 0, true},
        {{"/rigctl:99999"}, std::nullopt, 0, true},
        {{"/rigctl:45x"}, std::nullopt, 0, true},
        {{"/rigctl:4600", "/rigctl:4601"}, std::nullopt, 4601, false},
        // Not the switch: the registry decides.
        {{"/rigctlport"}, DWord(4533), 4533, false},
        {{"rigctl"}, DWord(4533), 4533, false},
        {{"/rigctl=4600"}, std::nullopt, 0, false},
        {{"/automation"}, DWord(4533), 4533, false},
    };
    for (const auto& c : cases) {
        TMemoryRegistry registry;
        if (c.Stored)
            registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "RigctlPort", *c.Stored);
        const TRigctlSetting setting = RigctlSettingOf(c.Switches, registry);
        const std::string name = c.Switches.empty() ? "registry" : c.Switches.back();
        EXPECT_EQ(setting.Port, c.Port) << name;
        EXPECT_EQ(!setting.Error.empty(), c.Error) << name << ": " << setting.Error;
        EXPECT_EQ(registry.OpenKeys(), 0);
    }
}

TEST(RigctlSettings, TheErrorNamesTheSettingThatIsWrong)
{
    TMemoryRegistry registry;
    registry.SetString(TRegRoot::CurrentUser, "Software\\Velkor", "RigctlPort", "port");
    EXPECT_EQ(RigctlSettingOf({}, registry).Error,
              "The registry value RigctlPort names no TCP port: \"port\" (1 to 65535, or 0 for none)");
    EXPECT_EQ(RigctlSettingOf({"/rigctl:x"}, registry).Error,
              "The switch /rigctl:x names no TCP port (1 to 65535, or 0 for none)");
}

} // namespace
