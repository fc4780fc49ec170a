#pragma once
// How velkor.exe was started: by the operator, by COM for a client, or to
// register or unregister its class. Told apart by the command line's switches.

#include <string>
#include <vector>

enum class TStartMode { Standalone, Automation, Register, Unregister };

// True when a parameter is "-" or "/" followed by name, without regard to
// case; parameters are the command line's without the program's own name.
bool FindCmdLineSwitch(const std::vector<std::string>& params, const std::string& name);

// The first switch found, in this order, sets the mode: AUTOMATION or
// EMBEDDING, REGSERVER, UNREGSERVER; none leaves it standalone.
TStartMode StartModeOf(const std::vector<std::string>& params);
