#include "rig/HamlibModes.h"

#include <array>

#include "base/SysUtils.h"

namespace {

constexpr std::array<THamlibMode, 8> kHamlibModes{{
    {"AM", "AM", 6000},
    {"CW", "CW", 500},
    {"USB", "USB", 2400},
    {"LSB", "LSB", 2400},
    {"FM", "FM", 15000},
    {"CWR", "CW-R", 500},
    {"PKTLSB", "DIGI", 2400},
    {"PKTUSB", "DIGI-R", 2400},
}};

// hamlib's other modes and the table's mode each is nearest to. RTTY keys on
// the lower sideband and reversed RTTY on the upper, like the radios do.
struct TNearest {
    const char* Hamlib;
    const char* Table;
};
constexpr std::array<TNearest, 15> kNearest{{
    {"RTTY", "PKTLSB"},
    {"RTTYR", "PKTUSB"},
    {"PKTFM", "FM"},
    {"PKTFMN", "FM"},
    {"FMN", "FM"},
    {"WFM", "FM"},
    {"C4FM", "FM"},
    {"AMS", "AM"},
    {"AMN", "AM"},
    {"SAM", "AM"},
    {"SAL", "AM"},
    {"SAH", "AM"},
    {"PKTAM", "AM"},
    {"ECSSUSB", "USB"},
    {"ECSSLSB", "LSB"},
}};

bool Same(std::string_view a, const char* b) { return SameText(std::string(a), b); }

} // namespace

const THamlibMode* HamlibModeByName(std::string_view hamlib)
{
    for (const THamlibMode& mode : kHamlibModes)
        if (Same(hamlib, mode.Hamlib))
            return &mode;
    return nullptr;
}

const THamlibMode* HamlibModeByVelkor(std::string_view velkor)
{
    for (const THamlibMode& mode : kHamlibModes)
        if (velkor == mode.Velkor)
            return &mode;
    return nullptr;
}

const THamlibMode* NearestHamlibMode(std::string_view hamlib)
{
    if (const THamlibMode* mode = HamlibModeByName(hamlib))
        return mode;
    for (const TNearest& nearest : kNearest)
        if (Same(hamlib, nearest.Hamlib))
            return HamlibModeByName(nearest.Table);
    return nullptr;
}
