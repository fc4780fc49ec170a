#include "rigctl/RigctlSettings.h"

#include "base/SysUtils.h"
#include "rigctl/RigctlSession.h"

namespace {

constexpr const char kSwitch[] = "rigctl";

// Decimal digits from 0 to 65535, nothing else.
bool ParsePort(const std::string& text, uint16_t& port)
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

// The last /rigctl or /rigctl:PORT; false when there is none. Only a parameter
// that is exactly the switch, with or without its port, is taken.
bool SwitchSetting(const std::vector<std::string>& params, TRigctlSetting& setting)
{
    const std::string* param = LastSwitch(params, kSwitch);
    if (!param)
        return false;
    const std::string rest = param->substr(sizeof(kSwitch));
    setting = {};
    if (rest.empty())
        setting.Port = Rigctl::kDefaultPort;
    else if (!ParsePort(rest.substr(1), setting.Port))
        setting.Error = Format("The switch %s names no TCP port (1 to 65535, or 0 for none)", param->c_str());
    return true;
}

TRigctlSetting RegistrySetting(IRegistry& registry)
{
    TRigctlSetting setting;
    TRegValue value;
    if (!ReadProgramValue(registry, kRigctlPortValue, value))
        return setting;
    std::string shown;
    bool valid = false;
    if (value.Type == RegType::kDWord && value.Data.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(value.Data[static_cast<size_t>(i)]);
        valid = number <= 65535;
        setting.Port = valid ? static_cast<uint16_t>(number) : 0;
        shown = IntToStr(number);
    } else if (value.Type == RegType::kSz || value.Type == RegType::kExpandSz) {
        valid = ParsePort(Trim(value.Data), setting.Port);
        shown = "\"" + value.Data + "\"";
    } else {
        shown = "of another type";
    }
    if (!valid) {
        setting.Port = 0;
        setting.Error = Format("The registry value %s names no TCP port: %s (1 to 65535, or 0 for none)",
                               kRigctlPortValue, shown.c_str());
    }
    return setting;
}

} // namespace

TRigctlSetting RigctlSettingOf(const std::vector<std::string>& params, IRegistry& registry)
{
    TRigctlSetting setting;
    if (SwitchSetting(params, setting))
        return setting;
    return RegistrySetting(registry);
}
