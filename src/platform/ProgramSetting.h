#pragma once
// A setting of the program as a whole, found in one order: the last switch
// /NAME or /NAME:TEXT of the command line wins for one run, then the
// registry value under kProgramKey, then the setting's default.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/SysUtils.h"
#include "platform/Registry.h"

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
