#include "rig/RigServerSetting.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/SysUtils.h"
#include "platform/ProgramKey.h"

namespace {

constexpr TRigServerKindInfo kKinds[] = {
    {TRigServerKind::Com, "", "COM rig server", "ComMark", false, "", 0, true},
    {TRigServerKind::Rigctld, "rigctld", "hamlib rigctld", "RigctldMark", true, "127.0.0.1", kRigctldDefaultPort,
     false},
};

bool SameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && SameText(std::string(a), std::string(b));
}

// A name or address: printable, no blanks, no brackets or colons left over.
bool ValidHost(std::string_view host, bool bracketed)
{
    if (host.empty() || host.size() > 253)
        return false;
    return std::all_of(host.begin(), host.end(), [bracketed](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > ' ' && u < 0x7F && c != '[' && c != ']' && c != '/' && (bracketed || c != ':');
    });
}

std::string Shown(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string BadValueText(const char* where, std::string_view text)
{
    return Format("%s %s names no rig server (empty for the COM rig server, \"rigctld\" or \"rigctld:HOST:PORT\"); "
                  "the COM rig server is used",
                  where, Shown(text).c_str());
}

// The last /rigserver:VALUE (or -rigserver:VALUE, or /rigserver alone for the
// COM rig server).
TRigServerSetting SwitchSetting(const std::string& param, std::optional<std::string_view> text)
{
    TRigServerSetting setting;
    if (text && !ParseRigServer(*text, setting)) {
        setting = {};
        setting.Error = BadValueText("The switch", param);
    }
    return setting;
}

TRigServerSetting RegistrySetting(const TRegValue& value)
{
    TRigServerSetting setting;
    if (value.Type != RegType::kSz && value.Type != RegType::kExpandSz) {
        setting.Error = Format("The registry value %s is not text; the COM rig server is used", kRigServerValue);
        return setting;
    }
    if (!ParseRigServer(value.Data, setting)) {
        setting = {};
        setting.Error = BadValueText(Format("The registry value %s", kRigServerValue).c_str(), value.Data);
    }
    return setting;
}

} // namespace

std::span<const TRigServerKindInfo> RigServerKinds() { return kKinds; }

const TRigServerKindInfo& RigServerKindInfoOf(TRigServerKind kind)
{
    for (const TRigServerKindInfo& info : RigServerKinds())
        if (info.Kind == kind)
            return info;
    throw std::logic_error(Format("No rig server of kind %d", static_cast<int>(kind)));
}

namespace {

// What follows "NAME:" for a kind with an address: "HOST", "HOST:PORT",
// "[HOST]" or "[HOST]:PORT".
bool ParseAddress(std::string_view rest, TRigServerSetting& parsed)
{
    if (rest.empty())
        return false;
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    if (rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return false;
        host = rest.substr(1, close - 1);
        bracketed = true;
        rest.remove_prefix(close + 1);
        if (!rest.empty() && (rest[0] != ':' || rest.size() == 1))
            return false;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = rest.substr(colon + 1);
            if (port.empty())
                return false;
        }
    }
    if (!ValidHost(host, bracketed))
        return false;
    parsed.Host = std::string(host);
    return port.empty() || ParseRigServerPort(port, parsed.Port);
}

} // namespace

bool ParseRigServer(std::string_view text, TRigServerSetting& setting)
{
    const std::string trimmed = Trim(std::string(text));
    const std::string_view whole = trimmed;
    for (const TRigServerKindInfo& info : RigServerKinds()) {
        if (info.Name.empty() != whole.empty() || whole.size() < info.Name.size() ||
            !SameWord(whole.substr(0, info.Name.size()), info.Name))
            continue;
        std::string_view rest = whole.substr(info.Name.size());
        if (!rest.empty() && rest[0] != ':')
            continue;
        TRigServerSetting parsed;
        parsed.Kind = info.Kind;
        if (info.HasAddress) {
            parsed.Host = std::string(info.DefaultHost);
            parsed.Port = info.DefaultPort;
            if (!rest.empty() && !ParseAddress(rest.substr(1), parsed))
                return false;
        } else if (!rest.empty()) {
            return false;
        }
        setting = parsed;
        return true;
    }
    return false;
}

bool ParseRigServerPort(std::string_view text, uint16_t& port)
{
    uint16_t parsed = 0;
    if (!ParseTcpPort(text, parsed) || parsed == 0)
        return false;
    port = parsed;
    return true;
}

std::string RigServerText(const TRigServerSetting& setting)
{
    const TRigServerKindInfo& info = RigServerKindInfoOf(setting.Kind);
    if (!info.HasAddress)
        return std::string(info.Name);
    return std::string(info.Name) + ":" + RigServerAddressText(setting);
}

std::string RigServerAddressText(const TRigServerSetting& setting)
{
    const bool v6 = setting.Host.find(':') != std::string::npos;
    return (v6 ? "[" + setting.Host + "]" : setting.Host) + ":" + std::to_string(setting.Port);
}

TRigServerSetting RigServerSettingOf(const std::vector<std::string>& params, IRegistry& registry)
{
    const TProgramSettingRow& row = ProgramSettingRow(TProgramValue::RigServer);
    return ProgramSettingOf<TRigServerSetting>({row.Switch, row.Name, SwitchSetting, RegistrySetting}, params,
                                               registry);
}

void SaveRigServer(IRegistry& registry, const TRigServerSetting& setting)
{
    // The empty text is the value's absence.
    const std::string text = RigServerText(setting);
    std::unique_ptr<IRegistryKey> key;
    if (registry.CreateKey(TRegRoot::CurrentUser, kProgramKey) != TRegStatus::Ok ||
        registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Full, key) != TRegStatus::Ok)
        throw ERegistryException(
            Format("Cannot save the rig server: the registry key %s cannot be opened", kProgramKey));
    const TRegStatus status = text.empty() ? key->DeleteValue(kRigServerValue) : key->WriteString(kRigServerValue, text);
    if (status != TRegStatus::Ok && !(text.empty() && status == TRegStatus::NotFound))
        throw ERegistryException(Format("Cannot save the rig server in the registry value %s", kRigServerValue));
}

namespace {

// One part of an IPv4 address as the system's resolver reads it: decimal,
// octal after a leading 0, hexadecimal after 0x.
std::optional<uint64_t> AddressPart(std::string_view part)
{
    unsigned base = 10;
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
    } else if (part.size() > 1 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    if (part.empty() || part.size() > 11)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : part) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        if (digit >= base)
            return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

// An IPv4 address in any of the forms a resolver takes: one to four parts,
// the last filling the bytes left ("127.1", "2130706433", "0x7f.1").
std::optional<uint32_t> IPv4Address(std::string_view text)
{
    std::vector<uint64_t> parts;
    for (size_t start = 0;;) {
        const size_t dot = text.find('.', start);
        const auto part = AddressPart(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (!part || parts.size() == 4)
            return std::nullopt;
        parts.push_back(*part);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    uint64_t address = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] > 0xFF)
            return std::nullopt;
        address |= parts[i] << (24 - 8 * i);
    }
    const unsigned lastBits = 32 - 8 * static_cast<unsigned>(parts.size() - 1);
    if (parts.back() >> lastBits)
        return std::nullopt;
    return static_cast<uint32_t>(address | parts.back());
}

// This machine: 127.0.0.0/8, and 0.0.0.0, which a connection takes as here.
bool IsLocalIPv4(uint32_t address) { return (address >> 24) == 127 || address == 0; }

// An IPv6 address as eight groups; an IPv4 tail ("::ffff:127.0.0.1") fills the last two.
std::optional<std::array<uint16_t, 8>> IPv6Address(std::string_view text)
{
    text = text.substr(0, text.find('%')); // the zone
    std::vector<uint16_t> head;
    std::vector<uint16_t> tail;
    bool gap = false;
    if (text.starts_with("::")) {
        gap = true;
        text.remove_prefix(2);
    }
    while (!text.empty()) {
        std::vector<uint16_t>& groups = gap ? tail : head;
        const size_t colon = text.find(':');
        const std::string_view group = text.substr(0, colon);
        if (colon == std::string_view::npos && group.find('.') != std::string_view::npos) {
            const auto v4 = IPv4Address(group);
            if (!v4 || std::count(group.begin(), group.end(), '.') != 3)
                return std::nullopt;
            groups.push_back(static_cast<uint16_t>(*v4 >> 16));
            groups.push_back(static_cast<uint16_t>(*v4 & 0xFFFF));
            break;
        }
        if (group.empty() || group.size() > 4)
            return std::nullopt;
        const auto value = AddressPart("0x" + std::string(group));
        if (!value)
            return std::nullopt;
        groups.push_back(static_cast<uint16_t>(*value));
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
        if (text.starts_with(":")) {
            if (gap)
                return std::nullopt;
            gap = true;
            text.remove_prefix(1);
        } else if (text.empty()) {
            return std::nullopt;
        }
    }
    if (head.size() + tail.size() > (gap ? 7u : 8u) || (!gap && head.size() != 8))
        return std::nullopt;
    std::array<uint16_t, 8> address{};
    std::copy(head.begin(), head.end(), address.begin());
    std::copy(tail.begin(), tail.end(), address.end() - static_cast<std::ptrdiff_t>(tail.size()));
    return address;
}

bool IsLocalIPv6(const std::array<uint16_t, 8>& address)
{
    const bool zeroHead = std::all_of(address.begin(), address.begin() + 5, [](uint16_t g) { return g == 0; });
    if (!zeroHead)
        return false;
    const uint32_t low = (static_cast<uint32_t>(address[6]) << 16) | address[7];
    // ::1 and ::; an IPv4 address mapped (::ffff:a.b.c.d) or embedded (::a.b.c.d).
    if (address[5] == 0xFFFF)
        return IsLocalIPv4(low);
    return address[5] == 0 && (low <= 1 || (low > 0xFFFF && IsLocalIPv4(low)));
}

} // namespace

bool IsLoopbackHost(std::string_view host)
{
    // A name's closing dot makes no other name.
    if (host.ends_with('.') && host.size() > 1)
        host.remove_suffix(1);
    const std::string name(host);
    const std::string_view local = ".localhost";
    if (SameText(name, "localhost") ||
        (name.size() > local.size() && SameText(name.substr(name.size() - local.size()), std::string(local))))
        return true;
    if (const auto v4 = IPv4Address(host))
        return IsLocalIPv4(*v4);
    if (const auto v6 = IPv6Address(host))
        return IsLocalIPv6(*v6);
    return false;
}

std::string OwnPortRefusal(const TRigServerSetting& setting, uint16_t rigctlPort)
{
    if (!RigServerKindInfoOf(setting.Kind).HasAddress || rigctlPort == 0 || setting.Port != rigctlPort ||
        !IsLoopbackHost(setting.Host))
        return {};
    return Format("The rig server %s is Velkor's own rigctl port: Velkor would ask itself for the radio. "
                  "Choose the port rigctld listens on in TRX settings",
                  RigServerAddressText(setting).c_str());
}
