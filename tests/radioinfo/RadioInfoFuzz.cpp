// The broadcast's destination list and packet against generated and mutated
// input, from a fixed seed:
//   radioinfo_fuzz [rounds] [seed]
// Checked for every list: the same answer twice; at most 16 destinations,
// each with a host of name characters (253 at most) and a port of 1 to
// 65535, none twice; each error naming the setting and short. For every
// station name the packet keeps its elements: the name's text holds no markup.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "radioinfo/RadioInfoPacket.h"
#include "radioinfo/RadioInfoSetting.h"
#include "tests/support/Fuzz.h"

namespace {

using Fuzz::Check;
using Fuzz::TRandom;

const std::vector<std::string> kSeeds = {
    "127.0.0.1:12060", "a:1,b:2", " shack-pc : 12060 ", "decoder", ":12060", "a:65536", "a:0,,b:x",
    "10.0.0.1:1,10.0.0.2:2,10.0.0.3:3,10.0.0.4:4,10.0.0.5:5,10.0.0.6:6,10.0.0.7:7,10.0.0.8:8,10.0.0.9:9,"
    "10.0.0.10:10,10.0.0.11:11,10.0.0.12:12,10.0.0.13:13,10.0.0.14:14,10.0.0.15:15,10.0.0.16:16,10.0.0.17:17",
    "[::1]:12060", "a&b:<1>", "",
};

bool HostChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'; }

void One(const std::string& text, TRandom& random)
{
    const TRadioInfoSetting setting = ParseRadioInfoDestinations(text, "The switch /radioinfo");
    const TRadioInfoSetting again = ParseRadioInfoDestinations(text, "The switch /radioinfo");
    Check(setting.Destinations == again.Destinations && setting.Errors == again.Errors, "not the same answer twice",
          text);
    Check(setting.Destinations.size() <= RadioInfo::kMaxDestinations, "more than 16 destinations", text);
    for (size_t i = 0; i < setting.Destinations.size(); ++i) {
        const TRadioInfoDestination& d = setting.Destinations[i];
        Check(!d.Host.empty() && d.Host.size() <= RadioInfo::kMaxHostLength &&
                  std::all_of(d.Host.begin(), d.Host.end(), HostChar),
              "a host that is no name", text);
        Check(d.Port >= 1, "port 0 taken", text);
        for (size_t j = 0; j < i; ++j)
            Check(!(setting.Destinations[j] == d), "a destination twice", text);
    }
    Check(setting.Errors.size() <= RadioInfo::kMaxDestinations + 2, "an error for each of many items", text);
    for (const std::string& error : setting.Errors)
        Check(error.starts_with("The switch /radioinfo") && error.size() < 300, "an error that names no setting",
              text);

    // The text as a station name: the packet's elements stay as they are.
    const std::string packet = RadioInfoPacket(RadioStateFrom(static_cast<int32_t>(random.Next()), 0, 0, text,
                                                              "VFO A/B", true, false),
                                               text);
    const size_t open = packet.find("<StationName>") + 13;
    const size_t close = packet.find("</StationName>");
    const std::string shown = packet.substr(open, close - open);
    Check(shown.find_first_of("<>\"'") == std::string::npos, "markup in the station name", text);
    Check(std::count(packet.begin(), packet.end(), '<') == 47, "the packet's elements changed", text);
}

} // namespace

int main(int argc, char** argv)
{
    return Fuzz::RunMutations(argc, argv, {20000, 20261210}, kSeeds,
                              {.Special = ":, .-\t\x01\xff<&", .MaxSteps = 4, .MaxSize = 4096}, One);
}
