#include "rigctl/RigctlSettings.h"

#include "base/SysUtils.h"
#include "platform/ProgramSetting.h"
#include "rigctl/RigctlSession.h"

namespace {

constexpr const char kSwitch[] = "rigctl";

// The last /rigctl or /rigctl:PORT. Only a parameter that is exactly the
// switch, with or without its port, is taken.
TRigctlSetting SwitchSetting(const std::string& param, std::optional<std::string_view> text)
{
    TRigctlSetting setting;
    if (!text)
        setting.Port = Rigctl::kDefaultPort;
    else if (!ParseTcpPort(*text, setting.Port))
        setting.Error = Format("The switch %s names no TCP port (1 to 65535, or 0 for none)", param.c_str());
    return setting;
}

TRigctlSetting RegistrySetting(const TRegValue& value)
{
    TRigctlSetting setting;
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
        valid = ParseTcpPort(Trim(value.Data), setting.Port);
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
    return ProgramSettingOf<TRigctlSetting>({kSwitch, kRigctlPortValue, SwitchSetting, RegistrySetting}, params,
                                            registry);
}
