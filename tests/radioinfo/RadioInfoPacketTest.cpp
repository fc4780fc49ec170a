// The radio's state as the datagram carries it.
#include <gtest/gtest.h>

#include "radioinfo/RadioInfoPacket.h"

namespace {

// The text of one element of a packet; "(none)" when it is missing.
std::string Element(const std::string& packet, const std::string& name)
{
    const size_t open = packet.find("<" + name + ">");
    const size_t close = packet.find("</" + name + ">");
    if (open == std::string::npos || close == std::string::npos || close < open)
        return "(none)";
    return packet.substr(open + name.size() + 2, close - open - name.size() - 2);
}

TEST(RadioInfoPacket, SplitSendsOnTheOtherVfo)
{
    const struct {
        const char* Vfo;
        int32_t TxFreq;
        bool Split;
    } cases[] = {
        {"VFO A/A", 14200000, false}, {"VFO B/B", 14200000, false}, {"VFO A/B", 7050000, true},
        {"VFO B/A", 3550000, true},   {"", 14200000, false},         {"VFO", 14200000, false},
    };
    for (const auto& c : cases) {
        const TRadioState state = RadioStateFrom(14200000, 3550000, 7050000, "USB", c.Vfo, true, false);
        EXPECT_EQ(state.Freq, 14200000) << c.Vfo;
        EXPECT_EQ(state.TxFreq, c.TxFreq) << c.Vfo;
        EXPECT_EQ(state.Split, c.Split) << c.Vfo;
    }
}

TEST(RadioInfoPacket, ModesMapToThePacketsWords)
{
    const struct {
        const char* Velkor;
        const char* Packet;
    } cases[] = {
        {"CW", "CW"}, {"CW-R", "CW"}, {"USB", "USB"}, {"LSB", "LSB"}, {"DIGI", "RTTY"}, {"DIGI-R", "RTTY"},
        {"AM", "AM"}, {"FM", "FM"},   {"", ""},       {"SSB", ""},    {"usb", ""},      {"<b>", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RadioInfoMode(c.Velkor), c.Packet) << c.Velkor;
}

TEST(RadioInfoPacket, FrequenciesGoInTensOfHertzRounded)
{
    const struct {
        int32_t Hz;
        int64_t Tens;
    } cases[] = {
        {14074000, 1407400}, {14074004, 1407400}, {14074005, 1407401}, {14074009, 1407401}, {0, 0},
        {4, 0},              {5, 1},              {-10, 0},            {INT32_MAX, 214748365},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TensOfHertz(c.Hz), c.Tens) << c.Hz;
}

TEST(RadioInfoPacket, TheStationNameIsEscaped)
{
    const struct {
        const char* Name;
        const char* Shown;
    } cases[] = {
        {"SHACK", "SHACK"},
        {"A&B", "A&amp;B"},
        {"<x>", "&lt;x&gt;"},
        {"\"q'", "&quot;q&apos;"},
        {"a\x01\x1f" "b", "ab"},
        {"</StationName><Freq>1</Freq>", "&lt;/StationName&gt;&lt;Freq&gt;1&lt;/Freq&gt;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string packet = RadioInfoPacket({}, c.Name);
        EXPECT_EQ(Element(packet, "StationName"), c.Shown) << c.Name;
        EXPECT_EQ(Element(packet, "Freq"), "0") << c.Name;
    }
}

TEST(RadioInfoPacket, ThePacketCarriesTheStateInTheFormatsOrder)
{
    TRadioState state = RadioStateFrom(7074000, 7074000, 7076005, "DIGI-R", "VFO A/B", true, true);
    const std::string packet = RadioInfoPacket(state, "SHACK");
    EXPECT_EQ(packet.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RadioInfo>\r\n", 0), 0u);
    EXPECT_TRUE(packet.ends_with("</RadioInfo>\r\n"));
    const struct {
        const char* Name;
        const char* Value;
    } expected[] = {
        {"app", "Velkor"},        {"StationName", "SHACK"},  {"RadioNr", "1"},         {"Freq", "707400"},
        {"TXFreq", "707601"},     {"Mode", "RTTY"},           {"OpCall", ""},           {"IsRunning", "False"},
        {"FocusEntry", "0"},      {"EntryWindowHwnd", "0"},   {"Antenna", ""},          {"Rotors", ""},
        {"FocusRadioNr", "1"},    {"IsStereo", "False"},      {"IsSplit", "True"},      {"ActiveRadioNr", "1"},
        {"IsTransmitting", "True"}, {"FunctionKeyCaption", ""}, {"RadioName", ""},     {"AuxAntSelected", "-1"},
        {"AuxAntSelectedName", ""}, {"IsConnected", "True"},
    };
    size_t at = 0;
    for (const auto& e : expected) {
        EXPECT_EQ(Element(packet, e.Name), e.Value) << e.Name;
        const size_t here = packet.find(std::string("\t<") + e.Name + ">");
        EXPECT_TRUE(here != std::string::npos && here >= at) << e.Name << " out of order";
        at = here;
    }
}

TEST(RadioInfoPacket, ARadioNotConnectedSaysSo)
{
    const std::string packet = RadioInfoPacket(RadioStateFrom(0, 0, 0, "", "", false, false), "SHACK");
    EXPECT_EQ(Element(packet, "IsConnected"), "False");
    EXPECT_EQ(Element(packet, "IsTransmitting"), "False");
    EXPECT_EQ(Element(packet, "IsSplit"), "False");
    EXPECT_EQ(Element(packet, "Freq"), "0");
    EXPECT_EQ(Element(packet, "TXFreq"), "0");
    EXPECT_EQ(Element(packet, "Mode"), "");
}

} // namespace
