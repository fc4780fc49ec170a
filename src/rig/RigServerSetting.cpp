#include "rig/RigServerSetting.h"

#include <algorithm>
#include <memory>

#include "base/SysUtils.h"
#include "platform/ProgramKey.h"

namespace {

constexpr std::string_view kSwitch = "rigserver";
constexpr std::string_view kRigctld = "rigctld";

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
// COM rig server); false when there is none.
bool SwitchSetting(const std::vector<std::string>& params, TRigServerSetting& setting)
{
    const std::string* param = LastSwitch(params, std::string(kSwitch));
    if (!param)
        return false;
    const std::string_view rest = std::string_view(*param).substr(1 + kSwitch.size());
    setting = {};
    if (!rest.empty() && !ParseRigServer(rest.substr(1), setting)) {
        setting = {};
        setting.Error = BadValueText("The switch", *param);
    }
    return true;
}

TRigServerSetting RegistrySetting(IRegistry& registry)
{
    TRigServerSetting setting;
    TRegValue value;
    if (!ReadProgramValue(registry, kRigServerValue, value))
        return setting;
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

bool ParseRigServer(std::string_view text, TRigServerSetting& setting)
{
    const std::string trimmed = Trim(std::string(text));
    std::string_view rest = trimmed;
    TRigServerSetting parsed;
    if (rest.empty()) {
        setting = parsed;
        return true;
    }
    if (rest.size() < kRigctld.size() || !SameWord(rest.substr(0, kRigctld.size()), kRigctld))
        return false;
    rest.remove_prefix(kRigctld.size());
    parsed.Kind = TRigServerKind::Rigctld;
    if (!rest.empty()) {
        if (rest[0] != ':' || rest.size() == 1)
            return false;
        rest.remove_prefix(1);
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
        if (!port.empty() && !ParseRigctldPort(port, parsed.Port))
            return false;
    }
    setting = parsed;
    return true;
}

bool ParseRigctldPort(std::string_view text, uint16_t& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

std::string RigServerText(const TRigServerSetting& setting)
{
    if (setting.Kind == TRigServerKind::Com)
        return {};
    return std::string(kRigctld) + ":" + RigctldAddressText(setting);
}

std::string RigctldAddressText(const TRigServerSetting& setting)
{
    const bool v6 = setting.Host.find(':') != std::string::npos;
    return (v6 ? "[" + setting.Host + "]" : setting.Host) + ":" + std::to_string(setting.Port);
}

TRigServerSetting RigServerSettingOf(const std::vector<std::string>& params, IRegistry& registry)
{
    TRigServerSetting setting;
    if (SwitchSetting(params, setting))
        return setting;
    return RegistrySetting(registry);
}

void SaveRigServer(IRegistry& registry, const TRigServerSetting& setting)
{
    std::unique_ptr<IRegistryKey> key;
    if (registry.CreateKey(TRegRoot::CurrentUser, kProgramKey) != TRegStatus::Ok ||
        registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Full, key) != TRegStatus::Ok)
        throw ERegistryException(
            Format("Cannot save the rig server: the registry key %s cannot be opened", kProgramKey));
    const bool com = setting.Kind == TRigServerKind::Com;
    const TRegStatus status =
        com ? key->DeleteValue(kRigServerValue) : key->WriteString(kRigServerValue, RigServerText(setting));
    if (status != TRegStatus::Ok && !(com && status == TRegStatus::NotFound))
        throw ERegistryException(Format("Cannot save the rig server in the registry value %s", kRigServerValue));
}

bool IsLoopbackHost(std::string_view host)
{
    if (SameWord(host, "localhost") || host == "::1" || host == "0:0:0:0:0:0:0:1")
        return true;
    // 127.0.0.0/8 written as four decimal parts.
    if (!host.starts_with("127."))
        return false;
    int parts = 2; // "127" and the part after its dot
    int digits = 0;
    for (char c : host.substr(4)) {
        if (c == '.') {
            if (digits == 0)
                return false;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9' && ++digits <= 3) {
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0;
}

std::string OwnPortRefusal(const TRigServerSetting& setting, uint16_t rigctlPort)
{
    if (setting.Kind != TRigServerKind::Rigctld || rigctlPort == 0 || setting.Port != rigctlPort ||
        !IsLoopbackHost(setting.Host))
        return {};
    return Format("The rig server %s is Velkor's own rigctl port: Velkor would ask itself for the radio. "
                  "Choose the port rigctld listens on in TRX settings",
                  RigctldAddressText(setting).c_str());
}
