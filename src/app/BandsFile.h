#pragma once
// The bands file "velkor.ini" and the band table the main window builds of it:
// one band per line, "Name#LowFreq#HighFreq", edges in hertz, both inclusive.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TBandRecord {
    std::string Name;
    int32_t LowFreq = 0;
    int32_t HighFreq = 0;
    int32_t LastFreq = 0; // where the band menu returns to; starts at LowFreq
};

using TBands = std::vector<TBandRecord>;

inline constexpr char kBandsFileName[] = "velkor.ini";
inline constexpr char kWrongBandsFormat[] = "Wrong bands file format";
inline constexpr char kBandsErrorTitle[] = "Error";

// What reading the file gives the main window.
struct TBandsFile {
    // In file order. After a wrong line, the last record is that line's, with
    // the fields read before the failure (the others 0); a line without "#"
    // is all name.
    TBands Bands;
    // Bands[0, MenuItemCount) get a band menu item each, captioned Name.
    size_t MenuItemCount = 0;
    // A wrong line stops the reading: show kWrongBandsFormat in a box titled
    // kBandsErrorTitle (error icon, OK) once.
    bool WrongFormat = false;
    size_t WrongLine = 0; // 1-based line number of the wrong line, 0 when none
};

// Lines end at CR LF, LF or CR; blank lines (only characters 0 to 32) are
// skipped; fields after the third are ignored.
TBandsFile ReadBands(std::string_view text);
TBandsFile ReadBands(std::istream& in);
// A file that is missing or cannot be read gives no bands and no message.
TBandsFile LoadBandsFile(const std::string& fileName = kBandsFileName);

// A band chosen from the band menu while the band label shows BandlblCaption
// and the radio is on Freq: the band being left remembers Freq, and the answer
// is where to go in the chosen band (its last frequency, its lower edge the
// first time); none when no record has that name. Names compare exactly (case
// and blanks count) and the first record of a name is the one used. The
// caller then shows Name on the band label and sends the answer.
std::optional<int32_t> BandClick(TBands& Bands, const std::string& BandlblCaption, const std::string& Name,
                                 int32_t Freq);
