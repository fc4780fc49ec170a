#pragma once
// Every setting of the program that outlives a run, one row each: a value
// under kProgramKey, its kind, its switch and its default. Each kind is read
// by one reader (ProgramSettingOf's order: the switch, the value, the
// default); a kind the program parses itself (the rig server) reads its row's
// names there.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/SysUtils.h"
#include "platform/Registry.h"

enum class TSettingKind {
    // A TCP port: REG_SZ digits or REG_DWORD, Min to Max, 0 for none (closed).
    // A bare switch gives Default; an absent value none.
    TcpPort,
    // Text in the ANSI code page, parsed by the setting's own reader.
    Text,
    // Text in UTF-8 (a path); no switch.
    Utf8Text,
    // A number of seconds: REG_DWORD or REG_SZ digits, 0 to Max; absent gives
    // Default. The switch needs its number.
    Seconds,
    // Destinations HOST:PORT, REG_SZ comma separated, parsed by the setting's
    // own reader; empty or absent: none. A bare switch gives 127.0.0.1:Default.
    DestinationList,
};

// The rows' names, in the table's order.
enum class TProgramValue { RigctlPort, RigServer, StartFolder, XmlRpcPort, PttTimeout, RadioInfo };

struct TProgramSettingRow {
    TProgramValue Id;
    const char* Name; // the value under kProgramKey
    TSettingKind Kind;
    const char* Switch; // without its "/" or "-"; "" for none
    // For a port: what the bare switch opens, and the range of open ports;
    // for seconds: the value when none is set, and the range; for a
    // destination list: the bare switch's port, and the range of ports.
    uint32_t Default = 0;
    uint32_t Min = 0;
    uint32_t Max = 0;
};

inline constexpr TProgramSettingRow kProgramSettings[] = {
    {TProgramValue::RigctlPort, "RigctlPort", TSettingKind::TcpPort, "rigctl", 4532, 1, 65535},
    {TProgramValue::RigServer, "RigServer", TSettingKind::Text, "rigserver"},
    {TProgramValue::StartFolder, "StartFolder", TSettingKind::Utf8Text, ""},
    {TProgramValue::XmlRpcPort, "XmlRpcPort", TSettingKind::TcpPort, "xmlrpc", 12345, 1, 65535},
    // The transmit watchdog: PTT held longer is released (0: never).
    {TProgramValue::PttTimeout, "PttTimeout", TSettingKind::Seconds, "ptttimeout", 600, 0, 86400},
    // The radio's state broadcast to station equipment (UDP).
    {TProgramValue::RadioInfo, "RadioInfo", TSettingKind::DestinationList, "radioinfo", 12060, 1, 65535},
};

constexpr const TProgramSettingRow& ProgramSettingRow(TProgramValue id)
{
    return kProgramSettings[static_cast<size_t>(id)];
}

namespace ProgramSettingsCheck {
constexpr bool InOrder()
{
    for (size_t i = 0; i < std::size(kProgramSettings); ++i)
        if (static_cast<size_t>(kProgramSettings[i].Id) != i)
            return false;
    return true;
}
static_assert(InOrder(), "each row stands at its TProgramValue");
} // namespace ProgramSettingsCheck

// How a setting is found, whatever its kind: the last switch /NAME or
// /NAME:TEXT of the command line wins for one run, then the registry value
// under kProgramKey, then the setting's default.
template <class TSetting> struct TProgramSettingReader {
    std::string Switch; // without its "/" or "-"
    std::string Value;
    // param is the switch as given; text what follows "NAME:", none for the bare switch.
    std::function<TSetting(const std::string& param, std::optional<std::string_view> text)> FromSwitch;
    std::function<TSetting(const TRegValue& value)> FromValue;
};

// params are the command line's without the program's name.
template <class TSetting>
TSetting ProgramSettingOf(const TProgramSettingReader<TSetting>& reader, const std::vector<std::string>& params,
                          IRegistry& registry)
{
    if (const std::string* param = LastSwitch(params, reader.Switch)) {
        const std::string_view rest = std::string_view(*param).substr(1 + reader.Switch.size());
        return reader.FromSwitch(*param, rest.empty() ? std::nullopt : std::optional(rest.substr(1)));
    }
    TRegValue value;
    if (ReadProgramValue(registry, reader.Value, value))
        return reader.FromValue(value);
    return TSetting{};
}

// A TCP port as typed: decimal digits from 0 to 65535, nothing else. port
// is left as it was when text is none.
bool ParseTcpPort(std::string_view text, uint16_t& port);

// A value of the row, read as its kind is (Utf8Text through ReadValueUtf8);
// false when the key or the value is missing or cannot be read.
bool ReadProgramValue(IRegistry& registry, const TProgramSettingRow& row, TRegValue& value);

struct TPortSetting {
    uint16_t Port = 0; // 0: closed
    // A setting that names no port: the port stays closed and this is shown.
    std::string Error;
};

// The port a TcpPort row names. params are the command line's without the
// program's name.
TPortSetting PortSettingOf(const TProgramSettingRow& row, const std::vector<std::string>& params,
                           IRegistry& registry);

struct TSecondsSetting {
    uint32_t Seconds = 0;
    // A setting that names no number in range: the default stands and this is shown.
    std::string Error;
};

// The seconds a Seconds row names. params are the command line's without the
// program's name.
TSecondsSetting SecondsSettingOf(const TProgramSettingRow& row, const std::vector<std::string>& params,
                                 IRegistry& registry);
