#pragma once
// The radio's state as contest loggers broadcast it to station equipment
// (band decoders, antenna switches): one RadioInfo XML datagram, frequencies
// in tens of hertz, one radio.

#include <cstdint>
#include <string>
#include <string_view>

class TTransceiver;

struct TRadioState {
    int32_t Freq = 0;   // Hz, received on
    int32_t TxFreq = 0; // Hz, transmitted on
    std::string Mode;   // the packet's word; empty when unknown
    bool Split = false;
    bool Connected = false;
    bool Transmitting = false;
    bool operator==(const TRadioState&) const = default;
};

// The state from the transceiver's last poll: vfo as it names it ("VFO A/B":
// the first letter receives, the second transmits). Split sends on the other
// VFO's frequency.
TRadioState RadioStateFrom(int32_t freq, int32_t freqA, int32_t freqB, const std::string& mode,
                           const std::string& vfo, bool connected, bool transmitting);
TRadioState RadioStateOf(const TTransceiver& transceiver);

// The packet's mode word for a mode the transceiver names: CW and CW-R are
// CW, DIGI and DIGI-R RTTY; USB, LSB, AM, FM themselves; any other empty.
std::string RadioInfoMode(const std::string& mode);

// Hz in tens, rounded half up; a negative frequency is 0.
int64_t TensOfHertz(int32_t freq);

// Text for an XML element: & < > " ' escaped, control characters other
// than tab and line breaks dropped (XML 1.0 cannot hold them).
std::string XmlEscaped(std::string_view text);

// The datagram: the XML declaration, then <RadioInfo> from app "Velkor" to
// IsConnected, lines ending in CR LF.
std::string RadioInfoPacket(const TRadioState& state, std::string_view stationName);
