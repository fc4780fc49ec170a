#include "rigctl/RigctlSettings.h"

#include "platform/ProgramSettings.h"
#include "rigctl/RigctlSession.h"

static_assert(ProgramSettingRow(TProgramValue::RigctlPort).Default == Rigctl::kDefaultPort);

TRigctlSetting RigctlSettingOf(const std::vector<std::string>& params, IRegistry& registry)
{
    return PortSettingOf(ProgramSettingRow(TProgramValue::RigctlPort), params, registry);
}
