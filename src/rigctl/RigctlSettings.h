#pragma once
// Whether the rigctl port is open, and on which TCP port. The switch
// /rigctl[:PORT] (default 4532; /rigctl:0 keeps it closed for this run) wins
// over the registry value RigctlPort under HKEY_CURRENT_USER\Software\Velkor
// (REG_SZ or REG_DWORD; 0 or absent keeps it closed).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ProgramSettings.h"
#include "platform/Registry.h"

using TRigctlSetting = TPortSetting;

// params are the command line's without the program's name.
TRigctlSetting RigctlSettingOf(const std::vector<std::string>& params, IRegistry& registry);
