#include "rigctl/RigctlSession.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "base/SysUtils.h"
#include "rig/HamlibModes.h"
#include "rigctl/RigctlRig.h"

namespace {

using namespace Rigctl;

// What dump_state tells a client of the radio: protocol 1, model 2, region
// 0; one RX and one TX range (7 fields: from, to, modes, low and high power,
// VFOs, antennas) each closed by seven zeros; the tuning steps and filters,
// each closed by "0 0"; no RIT, XIT, IF shift or announcements; no preamp or
// attenuator; no functions, levels or parameters.
constexpr const char kDumpState[] =
    "1\n"
    "2\n"
    "0\n"
    "30000.000000 3000000000.000000 0xcaf -1 -1 0x3 0x0\n"
    "0 0 0 0 0 0 0\n"
    "30000.000000 3000000000.000000 0xcaf -1 -1 0x3 0x0\n"
    "0 0 0 0 0 0 0\n"
    "0xcaf 1\n"
    "0 0\n"
    "0x82 500\n"
    "0xc0c 2400\n"
    "0x1 6000\n"
    "0x20 15000\n"
    "0 0\n"
    "0\n"
    "0\n"
    "0\n"
    "0\n"
    "0\n"
    "0\n"
    "0x0\n"
    "0x0\n"
    "0x0\n"
    "0x0\n"
    "0x0\n"
    "0x0\n";
// Read by clients that sent \chk_vfo (hamlib 4 and later); without "done" they
// wait for more until they give up.
constexpr const char kDumpStateSettings[] =
    "vfo_ops=0x0\n"
    "ptt_type=0x0\n"
    "targetable_vfo=0x0\n"
    "has_set_vfo=1\n"
    "has_get_vfo=1\n"
    "has_set_freq=1\n"
    "has_get_freq=1\n"
    "has_set_conf=0\n"
    "has_get_conf=0\n"
    "has_power2mW=0\n"
    "has_mW2power=0\n"
    "rig_model=2\n"
    "rigctld_version=Velkor rigctl port 1\n"
    "done\n";

constexpr const char kDumpCaps[] =
    "Caps dump for model: 2\n"
    "Model name:\tVelkor\n"
    "Mfg name:\tVelkor\n"
    "Backend status:\tStable\n"
    "Rig type:\tTransceiver\n"
    "PTT type:\tNone\n"
    "DCD type:\tNone\n"
    "Port type:\tNetwork link\n"
    "Has targetable VFO: N\n"
    "Has async data support: N\n"
    "Mode list: AM CW USB LSB FM CWR PKTLSB PKTUSB \n"
    "VFO list: VFOA VFOB \n"
    "Can set Frequency:\tY\n"
    "Can get Frequency:\tY\n"
    "Can set Mode:\tY\n"
    "Can get Mode:\tY\n"
    "Can set VFO:\tY\n"
    "Can get VFO:\tY\n"
    "Can set PTT:\tN\n"
    "Can get PTT:\tN\n"
    "Can set Split Freq:\tY\n"
    "Can get Split Freq:\tY\n"
    "Can set Split Mode:\tY\n"
    "Can get Split Mode:\tY\n"
    "Can set Split VFO:\tY\n"
    "Can get Split VFO:\tY\n"
    "Can set Power Stat:\tN\n"
    "Can get Power Stat:\tY\n"
    "Can get power2mW:\tN\n"
    "Can get mW2power:\tN\n"
    "\n"
    "Overall backend warnings: 0\n";

// What a command answers: its code, its values as "Key: value" records, or a
// block of text sent as it stands.
struct TResult {
    int Code = kOk;
    std::vector<std::pair<const char*, std::string>> Values;
    std::string Block;
};

using TArgs = std::vector<std::string_view>;

enum class TCommandKind {
    GetFreq, SetFreq, GetMode, SetMode, GetVfo, SetVfo, GetSplitVfo, SetSplitVfo, GetSplitFreq, SetSplitFreq,
    GetSplitMode, SetSplitMode, GetVfoInfo, DumpState, DumpCaps, CheckVfo, GetPowerStat, GetLockMode, Quit
};

struct TCommand {
    char Short; // 0: only the long name
    const char* Long;
    int Args;
    TCommandKind Kind;
};

constexpr std::array<TCommand, 20> kCommands{{
    {'f', "get_freq", 0, TCommandKind::GetFreq},
    {'F', "set_freq", 1, TCommandKind::SetFreq},
    {'m', "get_mode", 0, TCommandKind::GetMode},
    {'M', "set_mode", 2, TCommandKind::SetMode},
    {'v', "get_vfo", 0, TCommandKind::GetVfo},
    {'V', "set_vfo", 1, TCommandKind::SetVfo},
    {'s', "get_split_vfo", 0, TCommandKind::GetSplitVfo},
    {'S', "set_split_vfo", 2, TCommandKind::SetSplitVfo},
    {'i', "get_split_freq", 0, TCommandKind::GetSplitFreq},
    {'I', "set_split_freq", 1, TCommandKind::SetSplitFreq},
    {'x', "get_split_mode", 0, TCommandKind::GetSplitMode},
    {'X', "set_split_mode", 2, TCommandKind::SetSplitMode},
    {0, "get_vfo_info", 1, TCommandKind::GetVfoInfo},
    {0, "dump_state", 0, TCommandKind::DumpState},
    {'1', "dump_caps", 0, TCommandKind::DumpCaps},
    {0, "chk_vfo", 0, TCommandKind::CheckVfo},
    {0, "get_powerstat", 0, TCommandKind::GetPowerStat},
    {0, "get_lock_mode", 0, TCommandKind::GetLockMode},
    {'q', "quit", 0, TCommandKind::Quit},
    {'Q', "quit", 0, TCommandKind::Quit},
}};

const TCommand* CommandByShort(char name)
{
    for (const TCommand& command : kCommands)
        if (command.Short != 0 && command.Short == name)
            return &command;
    return nullptr;
}

const TCommand* CommandByLong(std::string_view name)
{
    for (const TCommand& command : kCommands)
        if (name == command.Long)
            return &command;
    return nullptr;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Hertz as hamlib writes them ("7074000", "7074000.000000"), rounded to the
// nearest hertz; nothing else, and nothing beyond what the rig server takes.
bool ParseFreq(std::string_view text, int32_t& freq)
{
    size_t i = 0;
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX)
            return false;
    }
    if (i == 0)
        return false;
    if (i < text.size() && text[i] == '.') {
        const size_t fraction = ++i;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
        }
        if (i > fraction && text[fraction] >= '5')
            ++value;
    }
    if (i != text.size() || value > INT32_MAX)
        return false;
    freq = static_cast<int32_t>(value);
    return true;
}

// A passband in hertz, which is not used: a signed whole number (-1 asks for
// no change).
bool IsPassband(std::string_view text)
{
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    if (text.empty() || text.size() > 18)
        return false;
    for (char c : text)
        if (!IsDigit(c))
            return false;
    return true;
}

// A VFO name as hamlib writes it, for the radio as it stands: 'A', 'B', or 0.
char ParseVfo(std::string_view text, const TRigctlView& view)
{
    const std::string name(text);
    if (SameText(name, "VFOA") || SameText(name, "Main"))
        return 'A';
    if (SameText(name, "VFOB") || SameText(name, "Sub"))
        return 'B';
    if (SameText(name, "currVFO"))
        return view.RxVfo;
    return 0;
}

std::string VfoName(char vfo) { return vfo == 'A' ? "VFOA" : "VFOB"; }

// The mode of a get; an unknown or not yet polled mode is an I/O error.
int ModeValues(const TRigctlView& view, const char* modeKey, const char* passbandKey, TResult& result)
{
    const THamlibMode* mode = HamlibModeByVelkor(view.Mode);
    if (!mode)
        return kIoError;
    result.Values.emplace_back(modeKey, mode->Hamlib);
    result.Values.emplace_back(passbandKey, IntToStr(mode->Passband));
    return kOk;
}

int SetModeOf(TRigctlRig& rig, const TArgs& args)
{
    const THamlibMode* mode = HamlibModeByName(args[0]);
    if (!mode || !IsPassband(args[1]))
        return kInvalidArgument;
    return rig.SetMode(mode->Velkor);
}

std::string Join(const TArgs& args)
{
    std::string text;
    for (std::string_view arg : args)
        (text += ' ') += arg;
    return text;
}

// The commands that read the radio's state (the handshake's describe the
// port and answer whatever the radio does).
bool ReadsTheRadio(TCommandKind kind)
{
    switch (kind) {
    case TCommandKind::GetFreq:
    case TCommandKind::GetMode:
    case TCommandKind::GetVfo:
    case TCommandKind::GetSplitVfo:
    case TCommandKind::GetSplitFreq:
    case TCommandKind::GetSplitMode:
    case TCommandKind::GetVfoInfo:
        return true;
    default:
        return false;
    }
}

// Carries out one command whose arguments are all there.
TResult Run(TRigctlRig& rig, const TCommand& command, const TArgs& args, bool& checkedVfo, bool& quit)
{
    TResult result;
    const TRigctlView view = rig.View();
    // A poll long past is no answer: the rig server failed or hangs, or
    // polling is off.
    if (ReadsTheRadio(command.Kind) && !view.Connected) {
        const bool badVfo = command.Kind == TCommandKind::GetVfoInfo && !ParseVfo(args[0], view);
        result.Code = badVfo ? kInvalidArgument : kIoError;
        return result;
    }
    int32_t freq = 0;
    switch (command.Kind) {
    case TCommandKind::GetFreq:
        result.Values.emplace_back("Frequency", IntToStr(view.Freq));
        break;
    case TCommandKind::SetFreq:
        result.Code = ParseFreq(args[0], freq) ? rig.SetFreq(freq) : kInvalidArgument;
        break;
    case TCommandKind::GetMode:
        result.Code = ModeValues(view, "Mode", "Passband", result);
        break;
    case TCommandKind::SetMode:
    case TCommandKind::SetSplitMode: // the radio has one mode for both VFOs
        result.Code = SetModeOf(rig, args);
        break;
    case TCommandKind::GetVfo:
        result.Values.emplace_back("VFO", VfoName(view.RxVfo));
        break;
    case TCommandKind::SetVfo: {
        // In split the arrangement stays as S set it: hamlib goes to the
        // receiving VFO to set split and back to the one it was on after,
        // which may be the transmitting one.
        const char vfo = ParseVfo(args[0], view);
        result.Code = vfo ? rig.SetVfo(view.Split ? view.RxVfo : vfo, view.Split) : kInvalidArgument;
        break;
    }
    case TCommandKind::GetSplitVfo:
        result.Values.emplace_back("Split", view.Split ? "1" : "0");
        result.Values.emplace_back("TX VFO", VfoName(view.TxVfo()));
        break;
    case TCommandKind::SetSplitVfo: {
        // Split transmits on the VFO named and receives on the other one;
        // without split the radio transmits on the VFO it receives on.
        const char txVfo = ParseVfo(args[1], view);
        if ((args[0] != "0" && args[0] != "1") || !txVfo)
            result.Code = kInvalidArgument;
        else if (args[0] == "1")
            result.Code = rig.SetVfo(txVfo == 'A' ? 'B' : 'A', true);
        else
            result.Code = rig.SetVfo(view.RxVfo, false);
        break;
    }
    // The split frequency is the other VFO's, also before split is on: a
    // client sets it first and then turns split on.
    case TCommandKind::GetSplitFreq:
        result.Values.emplace_back("TX Frequency", IntToStr(view.FreqOf(view.OtherVfo())));
        break;
    case TCommandKind::SetSplitFreq:
        result.Code = ParseFreq(args[0], freq) ? rig.SetFreqOf(view.OtherVfo(), freq) : kInvalidArgument;
        break;
    case TCommandKind::GetSplitMode:
        result.Code = ModeValues(view, "TX Mode", "TX Passband", result);
        break;
    case TCommandKind::GetVfoInfo: {
        const char vfo = ParseVfo(args[0], view);
        const THamlibMode* mode = HamlibModeByVelkor(view.Mode);
        if (!vfo) {
            result.Code = kInvalidArgument;
        } else if (!mode) {
            result.Code = kIoError;
        } else {
            result.Values.emplace_back("Freq", IntToStr(view.FreqOf(vfo)));
            result.Values.emplace_back("Mode", mode->Hamlib);
            result.Values.emplace_back("Width", IntToStr(mode->Passband));
            result.Values.emplace_back("Split", view.Split ? "1" : "0");
            result.Values.emplace_back("SatMode", "0");
        }
        break;
    }
    case TCommandKind::DumpState:
        result.Block = kDumpState;
        if (checkedVfo)
            result.Block += kDumpStateSettings;
        break;
    case TCommandKind::DumpCaps:
        result.Block = kDumpCaps;
        break;
    case TCommandKind::CheckVfo:
        checkedVfo = true;
        break;
    case TCommandKind::GetPowerStat:
        result.Values.emplace_back("Power Status", "1");
        break;
    case TCommandKind::GetLockMode:
        result.Values.emplace_back("Locked", "0");
        break;
    case TCommandKind::Quit:
        quit = true;
        break;
    }
    return result;
}

} // namespace

void TRigctlSession::Sent(size_t count)
{
    FSent += std::min(count, FOutput.size() - FSent);
    // Sent bytes are let go once they are the larger part.
    if (FSent == FOutput.size() || FSent > FOutput.size() / 2) {
        FOutput.erase(0, FSent);
        FSent = 0;
    }
}

void TRigctlSession::Received(std::string_view data)
{
    for (char c : data) {
        if (FQuit || FOverflowed)
            return;
        if (c == '\n' || c == '\r') {
            if (!FDiscarding)
                FOutput += Execute(FLine);
            if (Output().size() > Rigctl::kMaxPendingOutput)
                FOverflowed = true;
            FDiscarding = false;
            FLine.clear();
        } else if (FDiscarding) {
            continue;
        } else if (FLine.size() == Rigctl::kMaxLine) {
            FDiscarding = true;
            FLine.clear();
            FOutput += "RPRT -1\n";
        } else {
            FLine += c;
        }
    }
}

std::string TRigctlSession::Execute(std::string_view line)
{
    std::string reply;
    size_t at = 0;
    auto skipBlanks = [&] {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
    };
    auto word = [&] {
        skipBlanks();
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        return line.substr(start, at - start);
    };

    while (!FQuit && !FOverflowed) {
        skipBlanks();
        if (at == line.size())
            break;
        // An extended reply: records end in the separator, the last in LF.
        char separator = 0;
        if (line[at] == '+' || line[at] == ';' || line[at] == '|' || line[at] == ',') {
            separator = line[at] == '+' ? '\n' : line[at];
            ++at;
        }
        const TCommand* command = nullptr;
        if (at < line.size() && line[at] == '\\') {
            ++at;
            command = CommandByLong(word());
        } else if (at < line.size()) {
            command = CommandByShort(line[at++]);
        }
        if (!command) {
            reply += "RPRT -11\n";
            break;
        }
        TArgs args;
        for (int i = 0; i < command->Args; ++i)
            if (std::string_view arg = word(); !arg.empty())
                args.push_back(arg);

        TResult result;
        if (static_cast<int>(args.size()) < command->Args)
            result.Code = kInvalidArgument;
        else
            result = Run(FRig, *command, args, FCheckedVfo, FQuit);

        // The replies of the few commands whose answer hamlib clients read
        // in a form of its own.
        if (command->Kind == TCommandKind::CheckVfo) {
            reply += separator ? "ChkVFO: 0\n" : "0\n";
            continue;
        }
        if (command->Kind == TCommandKind::Quit) {
            reply += "RPRT 0\n";
            break;
        }
        if (separator) {
            reply += command->Long;
            reply += ':';
            reply += Join(args);
            reply += separator;
            for (const auto& [key, value] : result.Values)
                ((reply += key) += ": ") += value + separator;
            reply += result.Block;
            reply += "RPRT " + IntToStr(result.Code) + "\n";
        } else if (result.Code != kOk || (result.Values.empty() && result.Block.empty())) {
            reply += "RPRT " + IntToStr(result.Code) + "\n";
        } else {
            for (const auto& value : result.Values)
                reply += value.second + "\n";
            reply += result.Block;
            if (command->Kind == TCommandKind::GetLockMode || command->Kind == TCommandKind::DumpCaps)
                reply += "RPRT 0\n";
        }
        if (result.Code == kInvalidArgument)
            break;
        // Replies the client does not take stop its commands: one line of
        // dump_caps alone would be hundreds of kilobytes.
        if (Output().size() + reply.size() > Rigctl::kMaxPendingOutput)
            FOverflowed = true;
    }
    return reply;
}
