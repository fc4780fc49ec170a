// The rigctl port's setting against generated and mutated command lines and
// registry values, from a fixed seed:
//   rigctl_settings_fuzz [rounds] [seed]
// Checked for every input: the same answer twice, a port or an error but never
// both, every registry key closed again, an error that names the setting and
// the accepted range; and where the input was made to name a port (a valid
// last switch, or a valid registry value without any switch-like parameter),
// that port. Under the sanitizers too in build/native-san.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "rigctl/RigctlSettings.h"
#include "tests/support/Fuzz.h"
#include "tests/support/MemoryRegistry.h"

namespace {

using Fuzz::Check;
using Fuzz::TRandom;

const std::vector<std::string> kNames = {"/rigctl", "-rigctl", "/RIGCTL", "-RigCtl", "/rigct", "/rigctlx", "rigctl",
                                         "//rigctl", "/automation", "/regserver", "-Embedding", "/", ""};
const std::vector<std::string> kPorts = {"", ":", ":0", ":1", ":4532", ":65535", ":65536", ":99999", ":100000",
                                         ":-1", ":+5", ": 45", ":45 ", ":0x10", ":$10", ":4532:1", "=4532", ":\xff"};
const std::vector<std::string> kTexts = {"", " ", "0", "1", "4532", " 4533 ", "\t4534\r\n", "65535", "65536",
                                         "-1", "+1", "0x10", "$10", "4532x", "00004532", "99999999999", "\xff",
                                         std::string("45\0" "32", 5)};
const std::vector<uint32_t> kTypes = {RegType::kNone, RegType::kSz,      RegType::kExpandSz, RegType::kBinary,
                                      RegType::kDWord, RegType::kMultiSz, RegType::kQWord,    0xffffffffu};

// A step or two of mutation.
std::string Mutated(TRandom& random, const std::string& text)
{
    return Fuzz::Mutate(text, random, {.Special = ":/-0123456789 \t\xff", .MaxSteps = 2});
}

TRegValue DWord(uint32_t number)
{
    TRegValue value{RegType::kDWord, std::string(4, '\0')};
    for (size_t i = 0; i < 4; ++i)
        value.Data[i] = static_cast<char>(number >> (8 * i) & 0xff);
    return value;
}

std::string Param(TRandom& random)
{
    const std::string param = random.Below(6) == 0 ? random.Bytes(12) : random.Pick(kNames) + random.Pick(kPorts);
    return random.Below(4) == 0 ? Mutated(random, param) : param;
}

TRegValue Stored(TRandom& random)
{
    TRegValue value{random.Pick(kTypes), random.Below(3) == 0 ? random.Bytes(10) : random.Pick(kTexts)};
    if (value.Type == RegType::kDWord && random.Below(2) == 0)
        value = DWord(static_cast<uint32_t>(random.Below(2) ? random.Below(70000) : random.Next()));
    if (random.Below(4) == 0)
        value.Data = Mutated(random, value.Data);
    return value;
}

// Could the parameter be taken for the switch? A loose test: the rule itself
// is not restated here.
bool SwitchLike(const std::string& param)
{
    return param.size() >= 7 && SameText(param.substr(1, 6), "rigctl");
}

void Round(TRandom& random)
{
    std::vector<std::string> params;
    for (size_t n = random.Below(5); n > 0; --n)
        params.push_back(Param(random));
    // Sometimes a switch that names a port comes last, before parameters that
    // are no switch.
    std::optional<uint16_t> switchPort;
    if (random.Below(3) == 0) {
        switchPort = static_cast<uint16_t>(random.Below(65536));
        params.push_back((random.Below(2) ? "/rigctl:" : "-RIGCTL:") + IntToStr(*switchPort));
        if (random.Below(2))
            params.push_back(random.Pick(std::vector<std::string>{"/automation", "file.mem", "/rigctlport", "rigctl"}));
    }

    TMemoryRegistry registry;
    const std::string key = "Software\\Velkor";
    std::optional<uint16_t> storedPort;
    Fuzz::TInput input;
    for (const std::string& param : params)
        input.push_back({"parameter", param});
    switch (random.Below(5)) {
    case 0: // no value
        break;
    case 1:
        registry.DenyOpen(TRegRoot::CurrentUser, key);
        input.push_back({"the key may not be opened", ""});
        break;
    default: {
        TRegValue value = Stored(random);
        if (random.Below(3) == 0) { // a port, as either type
            storedPort = static_cast<uint16_t>(random.Below(65536));
            value = random.Below(2) ? DWord(*storedPort) : TRegValue{RegType::kSz, IntToStr(*storedPort)};
        }
        registry.SetValue(TRegRoot::CurrentUser, key, "RigctlPort", value);
        input.push_back({"RigctlPort (type " + std::to_string(value.Type) + ")", value.Data});
    }
    }

    const TRigctlSetting setting = RigctlSettingOf(params, registry);
    const TRigctlSetting again = RigctlSettingOf(params, registry);
    input.push_back({"port " + std::to_string(setting.Port) + ", error", setting.Error});
    Check(again.Port == setting.Port && again.Error == setting.Error, "not the same answer twice", input);
    Check(registry.OpenKeys() == 0, "a registry key left open", input);
    Check(setting.Port == 0 || setting.Error.empty(), "a port and an error", input);
    const bool named =
        setting.Error.starts_with("The switch ") || setting.Error.starts_with("The registry value RigctlPort");
    Check(setting.Error.empty() || (named && setting.Error.ends_with("(1 to 65535, or 0 for none)")),
          "an error that names no setting", input);
    Check(!switchPort || (setting.Port == *switchPort && setting.Error.empty()), "the last switch's port not taken",
          input);
    bool anySwitch = false;
    for (const std::string& param : params)
        anySwitch = anySwitch || SwitchLike(param);
    Check(!storedPort || anySwitch || (setting.Port == *storedPort && setting.Error.empty()),
          "the registry's port not taken", input);
}

} // namespace

int main(int argc, char** argv) { return Fuzz::Run(argc, argv, {20000, 20240612}, Round); }
