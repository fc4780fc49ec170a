#include "automation/StartMode.h"

#include "base/SysUtils.h"

bool FindCmdLineSwitch(const std::vector<std::string>& params, const std::string& name)
{
    for (const std::string& param : params)
        if (!param.empty() && (param[0] == '-' || param[0] == '/') && SameText(param.substr(1), name))
            return true;
    return false;
}

TStartMode StartModeOf(const std::vector<std::string>& params)
{
    if (FindCmdLineSwitch(params, "AUTOMATION") || FindCmdLineSwitch(params, "EMBEDDING"))
        return TStartMode::Automation;
    if (FindCmdLineSwitch(params, "REGSERVER"))
        return TStartMode::Register;
    if (FindCmdLineSwitch(params, "UNREGSERVER"))
        return TStartMode::Unregister;
    return TStartMode::Standalone;
}
