#pragma once
// The program's own key under HKEY_CURRENT_USER, and its subkeys: every
// setting the program keeps in the registry is found from here.

#include <cstddef>

// The settings of the program as a whole (the start folder of a start by
// COM, the rig server, the rigctl port).
inline constexpr const char* kProgramKey = "Software\\Velkor";

// The windows' placements, as their placement storage is given them (from
// the root). They spell "software" in lower case: the system's keys ignore
// case, but the placement storage's error report shows the name as given.
inline constexpr const char* kMainWindowPlacementKey = "\\software\\Velkor\\WindowPos";
inline constexpr const char* kMemoryWindowPlacementKey = "\\software\\Velkor\\MemoryWinPos";

namespace ProgramKeyCheck {

constexpr char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// True when path, after its leading "\", is a subkey of kProgramKey.
constexpr bool UnderProgramKey(const char* path)
{
    if (*path != '\\')
        return false;
    ++path;
    size_t i = 0;
    for (; kProgramKey[i] != '\0'; ++i)
        if (Folded(path[i]) != Folded(kProgramKey[i]))
            return false;
    return path[i] == '\\' && path[i + 1] != '\0';
}

static_assert(UnderProgramKey(kMainWindowPlacementKey));
static_assert(UnderProgramKey(kMemoryWindowPlacementKey));

} // namespace ProgramKeyCheck
