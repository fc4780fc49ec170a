#pragma once
// Where the radio's state broadcast goes: the destinations HOST:PORT of the
// switch /radioinfo[:LIST] or the registry value RadioInfo (comma separated),
// none when neither asks for it. A destination that does not parse is left
// out with its reason; the others still go.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

struct TRadioInfoDestination {
    std::string Host; // a name or a numeric IPv4 address
    uint16_t Port = 0;
    bool operator==(const TRadioInfoDestination&) const = default;
};

struct TRadioInfoSetting {
    std::vector<TRadioInfoDestination> Destinations; // none: off
    // Each a destination that names none (16 at most, then how many more),
    // to be shown once the window is up.
    std::vector<std::string> Errors;
};

namespace RadioInfo {
inline constexpr const char* kDefaultHost = "127.0.0.1";
// More are left out with an error: each is one datagram per send.
inline constexpr size_t kMaxDestinations = 16;
// A DNS name's longest.
inline constexpr size_t kMaxHostLength = 253;
} // namespace RadioInfo

// The list as typed: items HOST:PORT (or HOST alone for the default port)
// between commas, spaces around each item ignored. where names the setting
// in the errors ("The switch /radioinfo:..." or "The registry value RadioInfo").
// The same destination twice is sent to once.
TRadioInfoSetting ParseRadioInfoDestinations(std::string_view text, const std::string& where);

// The switch wins, then the registry value. "/radioinfo" alone is
// 127.0.0.1:12060; "/radioinfo:" and "/radioinfo:0" turn it off for the run,
// as "0" or an empty value does in the registry.
TRadioInfoSetting RadioInfoSettingOf(const std::vector<std::string>& params, IRegistry& registry);
