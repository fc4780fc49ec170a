#include "platform/ProgramSettings.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "base/SysUtils.h"
#include "platform/ProgramKey.h"

bool ParseTcpPort(std::string_view text, uint16_t& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool ReadProgramValue(IRegistry& registry, const TProgramSettingRow& row, TRegValue& value)
{
    if (row.Kind != TSettingKind::Utf8Text)
        return ReadProgramValue(registry, row.Name, value);
    std::unique_ptr<IRegistryKey> key;
    return registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Read, key) == TRegStatus::Ok &&
           key->ReadValueUtf8(row.Name, value) == TRegStatus::Ok;
}

namespace {

// A REG_DWORD's number; none for another type.
std::optional<uint32_t> DWordOf(const TRegValue& value)
{
    if (value.Type != RegType::kDWord || value.Data.size() != 4)
        return std::nullopt;
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | static_cast<unsigned char>(value.Data[static_cast<size_t>(i)]);
    return number;
}

bool InRange(const TProgramSettingRow& row, uint32_t port) { return port == 0 || (port >= row.Min && port <= row.Max); }

std::string RangeText(const TProgramSettingRow& row)
{
    return Format("(%u to %u, or 0 for none)", static_cast<unsigned>(row.Min), static_cast<unsigned>(row.Max));
}

// The last /NAME or /NAME:PORT. Only a parameter that is exactly the switch,
// with or without its port, is taken.
TPortSetting SwitchPort(const TProgramSettingRow& row, const std::string& param, std::optional<std::string_view> text)
{
    TPortSetting setting;
    if (!text)
        setting.Port = static_cast<uint16_t>(row.Default);
    else if (!ParseTcpPort(*text, setting.Port) || !InRange(row, setting.Port)) {
        setting.Port = 0;
        setting.Error = Format("The switch %s names no TCP port %s", param.c_str(), RangeText(row).c_str());
    }
    return setting;
}

TPortSetting RegistryPort(const TProgramSettingRow& row, const TRegValue& value)
{
    TPortSetting setting;
    std::string shown;
    bool valid = false;
    if (const std::optional<uint32_t> dword = DWordOf(value)) {
        const uint32_t number = *dword;
        valid = number <= 65535 && InRange(row, number);
        setting.Port = valid ? static_cast<uint16_t>(number) : 0;
        shown = IntToStr(number);
    } else if (value.Type == RegType::kSz || value.Type == RegType::kExpandSz) {
        valid = ParseTcpPort(Trim(value.Data), setting.Port) && InRange(row, setting.Port);
        shown = "\"" + value.Data + "\"";
    } else {
        shown = "of another type";
    }
    if (!valid) {
        setting.Port = 0;
        setting.Error = Format("The registry value %s names no TCP port: %s %s", row.Name, shown.c_str(),
                               RangeText(row).c_str());
    }
    return setting;
}

} // namespace

TPortSetting PortSettingOf(const TProgramSettingRow& row, const std::vector<std::string>& params, IRegistry& registry)
{
    if (row.Kind != TSettingKind::TcpPort)
        throw std::logic_error(Format("The setting %s is no TCP port", row.Name));
    return ProgramSettingOf<TPortSetting>(
        {row.Switch, row.Name,
         [&row](const std::string& param, std::optional<std::string_view> text) { return SwitchPort(row, param, text); },
         [&row](const TRegValue& value) { return RegistryPort(row, value); }},
        params, registry);
}

namespace {

bool ParseSeconds(std::string_view text, uint32_t max, uint32_t& seconds)
{
    if (text.empty() || text.size() > 9)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > max)
        return false;
    seconds = value;
    return true;
}

} // namespace

TSecondsSetting SecondsSettingOf(const TProgramSettingRow& row, const std::vector<std::string>& params,
                                 IRegistry& registry)
{
    if (row.Kind != TSettingKind::Seconds)
        throw std::logic_error(Format("The setting %s is no number of seconds", row.Name));
    const std::string range = Format("(0 to %u)", static_cast<unsigned>(row.Max));
    const std::optional<TSecondsSetting> set = ProgramSettingOf<std::optional<TSecondsSetting>>(
        {row.Switch, row.Name,
         [&](const std::string& param, std::optional<std::string_view> text) {
             TSecondsSetting setting;
             if (!text || !ParseSeconds(*text, row.Max, setting.Seconds)) {
                 setting.Seconds = row.Default;
                 setting.Error = Format("The switch %s names no number of seconds %s", param.c_str(), range.c_str());
             }
             return std::optional(setting);
         },
         [&](const TRegValue& value) {
             TSecondsSetting setting;
             std::string shown;
             bool valid = false;
             if (const std::optional<uint32_t> dword = DWordOf(value)) {
                 const uint32_t number = *dword;
                 valid = number <= row.Max;
                 setting.Seconds = number;
                 shown = IntToStr(number);
             } else if (value.Type == RegType::kSz || value.Type == RegType::kExpandSz) {
                 valid = ParseSeconds(Trim(value.Data), row.Max, setting.Seconds);
                 shown = "\"" + value.Data + "\"";
             } else {
                 shown = "of another type";
             }
             if (!valid) {
                 setting.Seconds = row.Default;
                 setting.Error = Format("The registry value %s names no number of seconds: %s %s", row.Name,
                                        shown.c_str(), range.c_str());
             }
             return std::optional(setting);
         }},
        params, registry);
    return set.value_or(TSecondsSetting{row.Default, {}});
}
