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

namespace {

TEST(ProgramSettings, TheTransmitWatchdogsSecondsAndWhatNamesNone)
{
    const TProgramSettingRow& row = ProgramSettingRow(TProgramValue::PttTimeout);
    struct TCase {
        const char* What;
        std::vector<std::string> Params;
        std::optional<TRegValue> Value;
        uint32_t Seconds;
        const char* Error; // "" for none
    };
    const TCase cases[] = {
        {"nothing set", {}, std::nullopt, 600, ""},
        {"the switch", {"/ptttimeout:30"}, DWord(5), 30, ""},
        {"the switch turns it off", {"/ptttimeout:0"}, std::nullopt, 0, ""},
        {"a DWORD", {}, DWord(120), 120, ""},
        {"digits", {}, TRegValue{RegType::kSz, " 45 "}, 45, ""},
        {"a bare switch", {"/ptttimeout"}, DWord(5), 600, "The switch /ptttimeout names no number of seconds (0 to 86400)"},
        {"a negative switch", {"/ptttimeout:-1"}, std::nullopt, 600, "names no number of seconds"},
        {"a day and more", {}, DWord(86401), 600, "The registry value PttTimeout names no number of seconds: 86401"},
        {"letters", {}, TRegValue{RegType::kSz, "ten"}, 600, "names no number of seconds: \"ten\""},
        {"a binary", {}, TRegValue{RegType::kBinary, "x"}, 600, "of another type"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.What);
        TMemoryRegistry registry;
        if (test.Value)
            registry.SetValue(TRegRoot::CurrentUser, "Software\\Velkor", "PttTimeout", *test.Value);
        const TSecondsSetting setting = SecondsSettingOf(row, test.Params, registry);
        EXPECT_EQ(setting.Seconds, test.Seconds);
        if (*test.Error)
            EXPECT_NE(setting.Error.find(test.Error), std::string::npos) << setting.Error;
        else
            EXPECT_EQ(setting.Error, "");
    }
    TMemoryRegistry none;
    EXPECT_THROW(SecondsSettingOf(ProgramSettingRow(TProgramValue::RigctlPort), {}, none),
                 std::logic_error);
}

} // namespace
