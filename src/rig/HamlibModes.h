#pragma once
// hamlib's mode names beside the transceiver's, in both directions: one table
// for the rigctl port (hamlib programs asking Velkor) and the rigctld client
// (Velkor asking hamlib's server). The digital modes go by the rig server's
// sideband flags: "DIGI" is the lower one, so PKTUSB is "DIGI-R".

#include <string>
#include <string_view>

struct THamlibMode {
    const char* Hamlib;
    const char* Velkor;
    // The passband a get answers: the radio's filter is not known, so its
    // usual width for the mode.
    int Passband;
};

// One of the table's modes by hamlib's name (any case), or null.
const THamlibMode* HamlibModeByName(std::string_view hamlib);
// By the transceiver's name, or null.
const THamlibMode* HamlibModeByVelkor(std::string_view velkor);
// A mode hamlib may report: the table's own, else the nearest of the table's
// (RTTY goes as the lower digital mode, FMN as FM, AMS as AM ...), or null
// where none fits.
const THamlibMode* NearestHamlibMode(std::string_view hamlib);
