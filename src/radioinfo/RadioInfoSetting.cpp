#include "radioinfo/RadioInfoSetting.h"

#include <algorithm>
#include <optional>

#include "base/SysUtils.h"
#include "platform/ProgramSettings.h"

namespace {

const TProgramSettingRow& Row() { return ProgramSettingRow(TProgramValue::RadioInfo); }

bool HostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// Why an item names no destination; empty when it does.
std::string ParseItem(std::string_view item, TRadioInfoDestination& destination)
{
    const std::string trimmed = Trim(std::string(item));
    if (trimmed.empty())
        return "an empty destination";
    const size_t colon = trimmed.rfind(':');
    const std::string host = colon == std::string::npos ? trimmed : trimmed.substr(0, colon);
    if (host.empty())
        return "no host";
    if (host.size() > RadioInfo::kMaxHostLength || !std::all_of(host.begin(), host.end(), HostChar))
        return "no host name or IPv4 address";
    uint16_t port = static_cast<uint16_t>(Row().Default);
    if (colon != std::string::npos &&
        (!ParseTcpPort(std::string_view(trimmed).substr(colon + 1), port) || port < Row().Min || port > Row().Max))
        return Format("no UDP port (%u to %u)", static_cast<unsigned>(Row().Min), static_cast<unsigned>(Row().Max));
    destination = {host, port};
    return {};
}

// An item as shown in an error: its text, cut short when long.
std::string Shown(std::string_view item)
{
    std::string text(item.substr(0, 60));
    if (item.size() > 60)
        text += "...";
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return "\"" + text + "\"";
}

TRadioInfoSetting FromSwitch(const std::string& param, std::optional<std::string_view> text)
{
    if (!text)
        return {{{RadioInfo::kDefaultHost, static_cast<uint16_t>(Row().Default)}}, {}};
    if (Trim(std::string(*text)).empty() || Trim(std::string(*text)) == "0")
        return {};
    return ParseRadioInfoDestinations(*text, "The switch " + param.substr(0, param.find(':')));
}

TRadioInfoSetting FromValue(const TRegValue& value)
{
    const std::string where = std::string("The registry value ") + Row().Name;
    if (value.Type != RegType::kSz && value.Type != RegType::kExpandSz)
        return {{}, {where + " names no destinations: it is of another type than text"}};
    // A REG_SZ read back may keep its terminating zero.
    std::string text = value.Data;
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (Trim(text).empty() || Trim(text) == "0")
        return {};
    return ParseRadioInfoDestinations(text, where);
}

} // namespace

TRadioInfoSetting ParseRadioInfoDestinations(std::string_view text, const std::string& where)
{
    TRadioInfoSetting setting;
    size_t left = 0;
    size_t unnamed = 0; // bad items beyond the errors shown
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = text.substr(start, end - start);
        start = end + 1;
        TRadioInfoDestination destination;
        if (const std::string why = ParseItem(item, destination); !why.empty()) {
            if (setting.Errors.size() == RadioInfo::kMaxDestinations) {
                ++unnamed;
                continue;
            }
            setting.Errors.push_back(Format("%s: %s names %s; HOST:PORT, comma separated, is asked for",
                                            where.c_str(), Shown(item).c_str(), why.c_str()));
            continue;
        }
        if (std::find(setting.Destinations.begin(), setting.Destinations.end(), destination) !=
            setting.Destinations.end())
            continue;
        if (setting.Destinations.size() == RadioInfo::kMaxDestinations) {
            ++left;
            continue;
        }
        setting.Destinations.push_back(destination);
    }
    if (unnamed > 0)
        setting.Errors.push_back(Format("%s: %u more destinations name none", where.c_str(),
                                        static_cast<unsigned>(unnamed)));
    if (left > 0)
        setting.Errors.push_back(Format("%s names more than %u destinations: %u left out", where.c_str(),
                                        static_cast<unsigned>(RadioInfo::kMaxDestinations),
                                        static_cast<unsigned>(left)));
    return setting;
}

TRadioInfoSetting RadioInfoSettingOf(const std::vector<std::string>& params, IRegistry& registry)
{
    return ProgramSettingOf<TRadioInfoSetting>({Row().Switch, Row().Name, FromSwitch, FromValue}, params, registry);
}
