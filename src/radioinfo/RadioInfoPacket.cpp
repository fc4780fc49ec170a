#include "radioinfo/RadioInfoPacket.h"

#include "rig/TransceiverUnit.h"

TRadioState RadioStateFrom(int32_t freq, int32_t freqA, int32_t freqB, const std::string& mode,
                           const std::string& vfo, bool connected, bool transmitting)
{
    TRadioState state;
    state.Freq = freq;
    state.TxFreq = freq;
    state.Mode = RadioInfoMode(mode);
    state.Connected = connected;
    state.Transmitting = transmitting;
    if (vfo == "VFO A/B") {
        state.Split = true;
        state.TxFreq = freqB;
    } else if (vfo == "VFO B/A") {
        state.Split = true;
        state.TxFreq = freqA;
    }
    return state;
}

TRadioState RadioStateOf(const TTransceiver& transceiver)
{
    return RadioStateFrom(transceiver.Get_Freq(), transceiver.Get_FreqA(), transceiver.Get_FreqB(),
                          transceiver.Get_Mode(), transceiver.Get_VFO(), transceiver.Get_Connected(),
                          transceiver.Get_Ptt());
}

std::string RadioInfoMode(const std::string& mode)
{
    static constexpr struct {
        const char* Velkor;
        const char* Packet;
    } kModes[] = {
        {"CW", "CW"},   {"CW-R", "CW"},   {"USB", "USB"}, {"LSB", "LSB"},
        {"DIGI", "RTTY"}, {"DIGI-R", "RTTY"}, {"AM", "AM"},   {"FM", "FM"},
    };
    for (const auto& entry : kModes)
        if (mode == entry.Velkor)
            return entry.Packet;
    return {};
}

int64_t TensOfHertz(int32_t freq) { return freq <= 0 ? 0 : (static_cast<int64_t>(freq) + 5) / 10; }

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += c;
        }
    }
    return out;
}

std::string RadioInfoPacket(const TRadioState& state, std::string_view stationName)
{
    const auto flag = [](bool value) { return value ? "True" : "False"; };
    std::string packet = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RadioInfo>\r\n";
    const auto element = [&packet](const char* name, const std::string& value) {
        packet += "\t<";
        packet += name;
        packet += ">";
        packet += value;
        packet += "</";
        packet += name;
        packet += ">\r\n";
    };
    element("app", "Velkor");
    element("StationName", XmlEscaped(stationName));
    element("RadioNr", "1");
    element("Freq", std::to_string(TensOfHertz(state.Freq)));
    element("TXFreq", std::to_string(TensOfHertz(state.TxFreq)));
    element("Mode", state.Mode);
    element("OpCall", "");
    element("IsRunning", "False");
    element("FocusEntry", "0");
    element("EntryWindowHwnd", "0");
    element("Antenna", "");
    element("Rotors", "");
    element("FocusRadioNr", "1");
    element("IsStereo", "False");
    element("IsSplit", flag(state.Split));
    element("ActiveRadioNr", "1");
    element("IsTransmitting", flag(state.Transmitting));
    element("FunctionKeyCaption", "");
    element("RadioName", "");
    element("AuxAntSelected", "-1");
    element("AuxAntSelectedName", "");
    element("IsConnected", flag(state.Connected));
    packet += "</RadioInfo>\r\n";
    return packet;
}
