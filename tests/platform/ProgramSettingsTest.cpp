// The table of the program's settings, and its port reader on a row of its own.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "base/SysUtils.h"
#include "platform/ProgramSettings.h"
#include "tests/support/MemoryRegistry.h"

namespace {

TEST(ProgramSettings, EveryRowHasItsOwnNameAndSwitchAndAPortDefaultInItsRange)
{
    for (const TProgramSettingRow& row : kProgramSettings) {
        for (const TProgramSettingRow& other : kProgramSettings) {
            if (&other == &row)
                continue;
            EXPECT_FALSE(SameText(row.Name, other.Name)) << row.Name;
            EXPECT_FALSE(*row.Switch && SameText(row.Switch, other.Switch)) << row.Switch;
        }
        if (row.Kind == TSettingKind::TcpPort) {
            EXPECT_TRUE(*row.Switch) << row.Name;
            EXPECT_LE(row.Max, 65535u) << row.Name;
            EXPECT_TRUE(row.Default >= row.Min && row.Default <= row.Max && row.Default != 0) << row.Name;
        }
    }
}

TRegValue DWord(uint32_t value)
{
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i) & 0xff);
    return {RegType::kDWord, bytes};
}

// Another port, as the next one would be declared (its own TProgramValue
// aside): only its row is new.
constexpr TProgramSettingRow kOtherPort{TProgramValue::RigctlPort, "XmlRpcPort", TSettingKind::TcpPort, "xmlrpc",
                                        12345, 1024, 49151};

TEST(ProgramSettings, APortRowIsReadByItsOwnNamesAndRange)
{
    const struct {
        std::vector<std::string> Switches;
        std::optional<TRegValue> Stored;
        uint16_t Port;
        const char* Error;
    } cases[] = {
        {{"/xmlrpc"}, std::nullopt, 12345, ""},
        {{"/rigctl"}, std::nullopt, 0, ""},
        {{"/xmlrpc:1023"}, std::nullopt, 0, "The switch /xmlrpc:1023 names no TCP port (1024 to 49151, or 0 for none)"},
        {{"/xmlrpc:0"}, DWord(2000), 0, ""},
        {{}, DWord(2000), 2000, ""},
        {{}, DWord(49152), 0, "The registry value XmlRpcPort names no TCP port: 49152 (1024 to 49151, or 0 for none)"},
        {{}, DWord(0x10000400), 0,
         "The registry value XmlRpcPort names no TCP port: 268436480 (1024 to 49151, or 0 for none)"},
        {{}, TRegValue{RegType::kSz, "2000 junk"}, 0,
         "The registry value XmlRpcPort names no TCP port: \"2000 junk\" (1024 to 49151, or 0 for none)"},
        {{}, TRegValue{RegType::kQWord, std::string(8, '\0')}, 0,
         "The registry value XmlRpcPort names no TCP port: of another type (1024 to 49151, or 0 for none)"},
    };
    for (const auto& c : cases) {
        TMemoryRegistry registry;
        registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "RigctlPort", DWord(4600));
        if (c.Stored)
            registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "XmlRpcPort", *c.Stored);
        const TPortSetting setting = PortSettingOf(kOtherPort, c.Switches, registry);
        const std::string shown = c.Switches.empty() ? "registry" : c.Switches.back();
        EXPECT_EQ(setting.Port, c.Port) << shown;
        EXPECT_EQ(setting.Error, c.Error) << shown;
        EXPECT_EQ(registry.OpenKeys(), 0);
    }
    TMemoryRegistry registry;
    EXPECT_THROW(PortSettingOf(ProgramSettingRow(TProgramValue::RigServer), {}, registry), std::logic_error);
}

} // namespace
