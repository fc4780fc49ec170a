#include "rigctl/RigctlSession.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "base/SysUtils.h"
#include "rig/Frequencies.h"
#include "rig/HamlibModes.h"
#include "rigctl/RigctlRig.h"

namespace {

using namespace Rigctl;

// What dump_state tells a client of the radio: protocol 1, model 2, region
// 0; one RX and one TX range (7 fields: from, to, modes, low and high power,
// VFOs, antennas), the frequencies the port takes, each closed by seven
// zeros; the tuning steps and filters, each closed by "0 0"; no RIT, XIT, IF
// shift or announcements; no preamp or attenuator; no functions, levels or
// parameters.
const std::string& DumpState()
{
    static const std::string state = [] {
        const std::string range = Format("%d.000000 %d.000000 0xcaf -1 -1 0x3 0x0\n0 0 0 0 0 0 0\n",
                                         static_cast<int>(kLowestFreq), static_cast<int>(kHighestFreq));
        return "1\n2\n0\n" + range + range +
               "0xcaf 1\n"
               "0 0\n"
               "0x82 500\n"
               "0xc0c 2400\n"
               "0x1 6000\n"
               "0x20 15000\n"
               "0 0\n"
               "0\n0\n0\n0\n0\n0\n"
               "0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n";
    }();
    return state;
}
// Read by clients that sent \chk_vfo (hamlib 4 and later); without "done" they
// wait for more until they give up. PTT is the rig's (1) where the rig server
// can key the radio, else none (0), and the client then does not ask.
constexpr const char kDumpStateSettingsRest[] =
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

std::string DumpStateSettings(bool ptt)
{
    return std::string("vfo_ops=0x0\nptt_type=") + (ptt ? "0x1" : "0x0") + "\n" + kDumpStateSettingsRest;
}

constexpr const char kDumpCaps[] =
    "Caps dump for model: 2\n"
    "Model name:\tVelkor\n"
    "Mfg name:\tVelkor\n"
    "Backend status:\tStable\n"
    "Rig type:\tTransceiver\n"
    "PTT type:\t%s\n"
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
    "Can set PTT:\t%s\n"
    "Can get PTT:\t%s\n"
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
    GetSplitMode, SetSplitMode, GetVfoInfo, DumpState, DumpCaps, CheckVfo, GetPowerStat, GetLockMode, GetPtt, SetPtt,
    Quit
};

struct TCommand {
    char Short; // 0: only the long name
    const char* Long;
    int Args;
    TCommandKind Kind;
};

constexpr std::array<TCommand, 22> kCommands{{
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
    {'t', "get_ptt", 0, TCommandKind::GetPtt},
    {'T', "set_ptt", 1, TCommandKind::SetPtt},
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
// nearest hertz; nothing else, and nothing outside the frequencies Velkor
// shows and sends (those dump_state tells).
bool ParseFreq(std::string_view text, int32_t& freq)
{
    size_t i = 0;
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kHighestFreq)
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
    if (i != text.size() || !InFreqRange(value))
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

// A VFO name as hamlib writes it: 'A', 'B', or 0; currVFO is the VFO the
// client addresses now.
char ParseVfo(std::string_view text, char current)
{
    const std::string name(text);
    if (SameText(name, "VFOA") || SameText(name, "Main"))
        return 'A';
    if (SameText(name, "VFOB") || SameText(name, "Sub"))
        return 'B';
    if (SameText(name, "currVFO"))
        return current;
    return 0;
}

bool IsVfoName(std::string_view text) { return ParseVfo(text, 'A') != 0; }

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

// The commands that go to the radio through the transceiver, and may wait
// for the rig server.
bool ReachesTheRadio(TCommandKind kind)
{
    switch (kind) {
    case TCommandKind::SetFreq:
    case TCommandKind::SetMode:
    case TCommandKind::SetVfo:
    case TCommandKind::SetSplitVfo:
    case TCommandKind::SetSplitFreq:
    case TCommandKind::SetSplitMode:
    case TCommandKind::SetPtt:
        return true;
    default:
        return false;
    }
}

// hamlib's PTT values: 0 releases, 1 keys, 2 and 3 key with the microphone's
// or the data jack's audio (one and the same PTT here).
bool IsPttValue(std::string_view text) { return text.size() == 1 && text[0] >= '0' && text[0] <= '3'; }

// Whether a command's arguments are all there and of its kind, the checks
// Run makes before anything is sent.
bool WellFormed(const TCommand& command, const TArgs& args)
{
    if (static_cast<int>(args.size()) < command.Args)
        return false;
    int32_t freq = 0;
    switch (command.Kind) {
    case TCommandKind::SetFreq:
    case TCommandKind::SetSplitFreq:
        return ParseFreq(args[0], freq);
    case TCommandKind::SetMode:
    case TCommandKind::SetSplitMode:
        return HamlibModeByName(args[0]) && IsPassband(args[1]);
    case TCommandKind::SetVfo:
    case TCommandKind::GetVfoInfo:
        return IsVfoName(args[0]);
    case TCommandKind::SetSplitVfo:
        return (args[0] == "0" || args[0] == "1") && IsVfoName(args[1]);
    case TCommandKind::SetPtt:
        return IsPttValue(args[0]);
    default:
        return true;
    }
}

// One command of a line as written: its reply prefix, the command (null: not
// one of the table) and its arguments, and where the next one begins.
struct TParsed {
    char Separator = 0; // an extended reply: records end in it, the last in LF
    const TCommand* Command = nullptr;
    TArgs Args;
    size_t End = 0;
};

size_t SkipBlanks(std::string_view line, size_t at)
{
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

// The command at at, which is past any blanks and before the line's end.
TParsed Parse(std::string_view line, size_t at)
{
    TParsed parsed;
    auto word = [&] {
        at = SkipBlanks(line, at);
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        return line.substr(start, at - start);
    };
    if (line[at] == '+' || line[at] == ';' || line[at] == '|' || line[at] == ',') {
        parsed.Separator = line[at] == '+' ? '\n' : line[at];
        ++at;
    }
    if (at < line.size() && line[at] == '\\') {
        ++at;
        parsed.Command = CommandByLong(word());
    } else if (at < line.size()) {
        parsed.Command = CommandByShort(line[at++]);
    }
    if (parsed.Command)
        for (int i = 0; i < parsed.Command->Args; ++i)
            if (std::string_view arg = word(); !arg.empty())
                parsed.Args.push_back(arg);
    parsed.End = at;
    return parsed;
}

// The first line of a connection that is not blank, whole: it opens the
// session when every command on it (up to a quit) is of the table with its
// arguments well formed. An HTTP request line or header, a greeting of
// another protocol, a typing error: the connection is refused.
bool OpensSession(std::string_view line)
{
    for (size_t at = SkipBlanks(line, 0); at < line.size(); at = SkipBlanks(line, at)) {
        const TParsed parsed = Parse(line, at);
        if (!parsed.Command || !WellFormed(*parsed.Command, parsed.Args))
            return false;
        if (parsed.Command->Kind == TCommandKind::Quit)
            break;
        at = parsed.End;
    }
    return true;
}

// Whether a first line still coming can be commands: after blanks, a reply
// prefix or none, then a long name's backslash or a short name. TLS's first
// byte (0x16) is neither; SSH's "SSH-" begins like S, and is refused by name.
bool CanOpenSession(std::string_view line)
{
    size_t at = SkipBlanks(line, 0);
    if (line.substr(at).starts_with("SSH-"))
        return false;
    if (at < line.size() && (line[at] == '+' || line[at] == ';' || line[at] == '|' || line[at] == ','))
        ++at;
    return at == line.size() || line[at] == '\\' || CommandByShort(line[at]);
}

// Carries out one command whose arguments are all there.
// splitVfo is the VFO the client went to with V while the radio is split
// (0: none), which f and F then address.
TResult RunCommand(TRigctlRig& rig, const void* client, const TCommand& command, const TArgs& args, bool& checkedVfo,
                   char& splitVfo, bool& quit)
{
    TResult result;
    const TRigctlView view = rig.View();
    if (!view.Split)
        splitVfo = 0;
    const char addressed = splitVfo ? splitVfo : view.RxVfo;
    // A poll long past is no answer: the rig server failed or hangs, or
    // polling is off.
    if (ReadsTheRadio(command.Kind) && !view.Connected) {
        const bool badVfo = command.Kind == TCommandKind::GetVfoInfo && !ParseVfo(args[0], addressed);
        result.Code = badVfo ? kInvalidArgument : kIoError;
        return result;
    }
    int32_t freq = 0;
    switch (command.Kind) {
    case TCommandKind::GetFreq:
        result.Values.emplace_back("Frequency", IntToStr(view.FreqOf(addressed)));
        break;
    case TCommandKind::SetFreq:
        if (!ParseFreq(args[0], freq))
            result.Code = kInvalidArgument;
        else
            result.Code = addressed == view.RxVfo ? rig.SetFreq(freq) : rig.SetFreqOf(addressed, freq);
        break;
    case TCommandKind::GetMode:
        result.Code = ModeValues(view, "Mode", "Passband", result);
        break;
    case TCommandKind::SetMode:
    case TCommandKind::SetSplitMode: // the radio has one mode for both VFOs
        result.Code = SetModeOf(rig, args);
        break;
    case TCommandKind::GetVfo:
        result.Values.emplace_back("VFO", VfoName(addressed));
        break;
    case TCommandKind::SetVfo: {
        // In split the arrangement stays as S set it, and V only chooses the
        // VFO that f and F address: hamlib reads and sets the transmitting
        // VFO as V VFOB, f or F, V VFOA, and goes to the receiving VFO to set
        // split and back after.
        const char vfo = ParseVfo(args[0], addressed);
        if (!vfo)
            result.Code = kInvalidArgument;
        else if (view.Split)
            splitVfo = vfo == view.RxVfo ? 0 : vfo;
        else
            result.Code = rig.SetVfo(vfo, false);
        break;
    }
    case TCommandKind::GetSplitVfo:
        result.Values.emplace_back("Split", view.Split ? "1" : "0");
        result.Values.emplace_back("TX VFO", VfoName(view.TxVfo()));
        break;
    case TCommandKind::SetSplitVfo: {
        // Split transmits on the VFO named and receives on the other one;
        // without split the radio transmits on the VFO it receives on.
        const char txVfo = ParseVfo(args[1], addressed);
        if ((args[0] != "0" && args[0] != "1") || !txVfo)
            result.Code = kInvalidArgument;
        else if (args[0] == "1")
            result.Code = rig.SetVfo(txVfo == 'A' ? 'B' : 'A', true);
        else
            result.Code = rig.SetVfo(view.RxVfo, false);
        splitVfo = 0;
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
        const char vfo = ParseVfo(args[0], addressed);
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
        result.Block = DumpState();
        if (checkedVfo)
            result.Block += DumpStateSettings(view.PttAvailable);
        break;
    case TCommandKind::DumpCaps: {
        const char* can = view.PttAvailable ? "Y" : "N";
        result.Block = Format(kDumpCaps, view.PttAvailable ? "Rig capable" : "None", can, can);
        break;
    }
    case TCommandKind::GetPtt:
        // Not available stays so whatever the poll; a reading long past is none.
        if (!view.PttAvailable)
            result.Code = kNotAvailable;
        else if (!view.Connected)
            result.Code = kIoError;
        else
            result.Values.emplace_back("PTT", view.Ptt ? "1" : "0");
        break;
    case TCommandKind::SetPtt:
        result.Code = IsPttValue(args[0]) ? rig.SetPtt(client, args[0] != "0") : kInvalidArgument;
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

TRigctlSession::~TRigctlSession() { FRig.ClientGone(this); }

void TRigctlSession::Received(std::string_view data)
{
    if (!Stopped())
        FInput += data;
}

void TRigctlSession::Reply(std::string_view reply)
{
    FOutput += reply;
    // Replies the client does not take stop its commands: one line of
    // dump_caps alone would be hundreds of kilobytes.
    if (Output().size() > Rigctl::kMaxPendingOutput)
        FOverflowed = true;
}

bool TRigctlSession::Pending() const { return !Stopped() && (FLineEnded || Backlog() > 0); }

bool TRigctlSession::Run(bool mayReachRig)
{
    int commands = Rigctl::kCommandsPerRun;
    int rigCommands = mayReachRig ? 1 : 0;
    const int rigAllowed = rigCommands;
    while (!Stopped()) {
        if (FLineEnded) {
            if (!RunLine(commands, rigCommands))
                break;
            FLineEnded = false;
            FLine.clear();
            FAt = 0;
            continue;
        }
        if (FInputAt == FInput.size())
            break;
        const char c = FInput[FInputAt++];
        if (c == '\n' || c == '\r') {
            if (!FDiscarding && FGate == TGate::Undecided && SkipBlanks(FLine, 0) < FLine.size())
                FGate = OpensSession(FLine) ? TGate::Open : TGate::Refused;
            FLineEnded = !FDiscarding && !Refused();
            FDiscarding = false;
            FAt = 0;
            if (!FLineEnded)
                FLine.clear();
        } else if (FDiscarding) {
            continue;
        } else if (FLine.size() == Rigctl::kMaxLine) {
            // Not even the first line of a client is that long.
            if (FGate == TGate::Undecided)
                FGate = TGate::Refused;
            else
                Reply("RPRT -1\n");
            FDiscarding = true;
            FLine.clear();
        } else {
            FLine += c;
            if (FGate == TGate::Undecided && !CanOpenSession(FLine))
                FGate = TGate::Refused;
        }
    }
    // What a stopped session received never runs; what ran is let go.
    if (Stopped() || FInputAt == FInput.size()) {
        FInput.clear();
        FInputAt = 0;
    } else if (FInputAt > FInput.size() / 2) {
        FInput.erase(0, FInputAt);
        FInputAt = 0;
    }
    return rigCommands < rigAllowed;
}

bool TRigctlSession::RunLine(int& commands, int& rigCommands)
{
    const std::string_view line = FLine;
    for (FAt = SkipBlanks(line, FAt); FAt < line.size() && !Stopped(); FAt = SkipBlanks(line, FAt)) {
        if (commands == 0)
            return false;
        const TParsed parsed = Parse(line, FAt);
        const TCommand* command = parsed.Command;
        if (!command) {
            --commands;
            Reply("RPRT -11\n");
            break;
        }
        const bool wellFormed = WellFormed(*command, parsed.Args);
        const bool reachesRadio = wellFormed && ReachesTheRadio(command->Kind);
        if (reachesRadio && rigCommands == 0)
            return false;
        FAt = parsed.End;
        --commands;
        rigCommands -= reachesRadio ? 1 : 0;

        TResult result;
        if (!wellFormed)
            result.Code = kInvalidArgument;
        else
            result = RunCommand(FRig, this, *command, parsed.Args, FCheckedVfo, FSplitVfo, FQuit);

        // The replies of the few commands whose answer hamlib clients read
        // in a form of its own.
        std::string reply;
        const char separator = parsed.Separator;
        if (command->Kind == TCommandKind::CheckVfo) {
            reply = separator ? "ChkVFO: 0\n" : "0\n";
        } else if (command->Kind == TCommandKind::Quit) {
            reply = "RPRT 0\n";
        } else if (separator) {
            reply += command->Long;
            reply += ':';
            reply += Join(parsed.Args);
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
        Reply(reply);
        if (result.Code == kInvalidArgument)
            break;
    }
    return true;
}

TPortServing RigctlServing(TRigctlRig& rig)
{
    return {[&rig] { return std::make_unique<TRigctlSession>(rig); }, [&rig] { return rig.RigWaiting(); }};
}

TPortServing RigctlServing(TTransceiver* transceiver)
{
    // The port's factory holds the rig, and goes after the sessions.
    auto rig = std::make_shared<TRigctlRig>(transceiver);
    return {[rig] { return std::make_unique<TRigctlSession>(*rig); }, [rig] { return rig->RigWaiting(); }};
}
