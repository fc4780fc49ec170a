#include "rig/RigctldClient.h"

#include <algorithm>
#include <array>
#include <limits>

#include "rig/Frequencies.h"
#include "rig/HamlibModes.h"
#include "rig/RigServerSetting.h"
#include "rig/TransceiverUnit.h"

namespace {

// More "Key: value" lines than any reply of the commands sent here has.
constexpr size_t kMaxReplyLines = 1000;

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "RPRT n" gives true and n.
bool ParseRprt(std::string_view line, int& code)
{
    if (!StartsWith(line, "RPRT "))
        return false;
    line.remove_prefix(5);
    const bool negative = !line.empty() && line[0] == '-';
    if (negative)
        line.remove_prefix(1);
    if (line.empty() || line.size() > 6)
        return false;
    int value = 0;
    for (char c : line) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    code = negative ? -value : value;
    return true;
}

// A frequency in Hz as hamlib writes it: digits, perhaps with a sign and a
// fraction.
bool ParseHertz(std::string_view text, int64_t& hertz)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    if (whole.empty() || whole.size() > 12)
        return false;
    if (point != std::string_view::npos) {
        const std::string_view fraction = text.substr(point + 1);
        if (!std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
    }
    int64_t value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    hertz = negative ? -value : value;
    return true;
}

// 999999999 as "999.999.999".
std::string Grouped(int64_t hertz)
{
    std::string digits = std::to_string(hertz < 0 ? -hertz : hertz);
    for (size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, ".");
    return hertz < 0 ? "-" + digits : digits;
}

const std::string& ShownRange()
{
    static const std::string text = Grouped(kLowestFreq) + " Hz to " + Grouped(kHighestFreq) + " Hz";
    return text;
}

// Which of Velkor's VFOs a name of hamlib's is: Main and Sub as A and B; a
// name that is neither (currVFO, a memory channel) as A.
char VfoLetter(std::string_view name)
{
    if (StartsWith(name, "VFOB") || StartsWith(name, "Sub"))
        return 'B';
    return 'A';
}

// hamlib itself takes VFOA and VFOB as Main and Sub on a radio that has
// those, so these two names serve every radio.
std::string VfoName(char vfo) { return vfo == 'A' ? "VFOA" : "VFOB"; }

struct TArrangement {
    int32_t Flag;
    char Rx;
    char Tx;
};
constexpr std::array<TArrangement, 4> kArrangements{{
    {RigParams::VFOAA, 'A', 'A'},
    {RigParams::VFOAB, 'A', 'B'},
    {RigParams::VFOBB, 'B', 'B'},
    {RigParams::VFOBA, 'B', 'A'},
}};

} // namespace

std::string RigctldErrorText(int code)
{
    static const char* const texts[] = {
        "Command completed successfully",
        "Invalid parameter",
        "Invalid configuration",
        "Memory shortage",
        "Feature not implemented",
        "Communication timed out",
        "IO error",
        "Internal Hamlib error",
        "Protocol error",
        "Command rejected by the rig",
        "Command performed, but arg truncated",
        "Function not available",
        "VFO not targetable",
        "Error talking on the bus",
        "Collision on the bus",
        "NULL RIG handle or invalid pointer parameter",
        "Invalid VFO",
        "Argument out of domain of func",
    };
    const int index = code < 0 ? -code : code;
    if (index < static_cast<int>(std::size(texts)))
        return texts[index];
    return "Error " + std::to_string(code);
}

// ---------------------------------------------------------------- TLineBuffer

bool TLineBuffer::TakeLine(std::string& line)
{
    const size_t end = FBytes.find('\n');
    if (end == std::string::npos) {
        if (FBytes.size() > kMaxLine)
            throw ERigctldLinkError("a line longer than any rigctld sends came");
        return false;
    }
    if (end > kMaxLine)
        throw ERigctldLinkError("a line longer than any rigctld sends came");
    line.assign(FBytes, 0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    FBytes.erase(0, end + 1);
    return true;
}

// ---------------------------------------------------------------- TRigctldServer

TRigctldServer::TRigctldServer(std::unique_ptr<IRigctldLink> link, std::string host, uint16_t port,
                               TRigctldTimes times, TNow now)
    : FLink(std::move(link)), FHost(std::move(host)), FPort(port), FTimes(times), FNow(std::move(now)),
      FRetryAfter(times.FirstRetry)
{
}

TRigctldServer::~TRigctldServer() { FLink->Close(); }

std::string TRigctldServer::Where() const
{
    TRigServerSetting setting;
    setting.Host = FHost;
    setting.Port = FPort;
    return "rigctld at " + RigServerAddressText(setting);
}

const std::string* TRigctldServer::TReply::Find(std::string_view key) const
{
    for (const auto& [name, value] : Values)
        if (name == key)
            return &value;
    return nullptr;
}

template <class TCall>
decltype(auto) TRigctldServer::Guarded(TCall call)
{
    // One deadline for all the call does, a new connection and the second
    // go included: inside the rig server thread's, so that what failed is
    // told, not that the call took too long.
    FDeadline = FNow() + (FConnected ? FTimes.Exchange : FTimes.Connect + FTimes.Exchange);
    // A VFO switched for a call that was cut off goes back before anything else.
    auto connected = [this] {
        EnsureConnected();
        if (FVfoToRestore)
            RestoreVfo();
    };
    try {
        try {
            connected();
            return call();
        } catch (const ERigctldConnectionLost&) {
            FLink->Close();
            FConnected = false;
            FFresh = false;
        }
        connected();
        return call();
    } catch (const ERigctldLinkError& failure) {
        Drop(failure.Message());
        throw ERigctldError(FLastFailure);
    }
}

void TRigctldServer::Drop(const std::string& cause)
{
    FLink->Close();
    FConnected = false;
    FFresh = false;
    FLastFailure = Where() + ": " + cause;
    FRetryAt = FNow() + FRetryAfter;
    FRetryAfter = std::min(FRetryAfter * 2, FTimes.LongestRetry);
}

void TRigctldServer::EnsureConnected()
{
    if (FConnected)
        return;
    // Within the back-off the last failure stands, and nothing goes out.
    if (FNow() < FRetryAt)
        throw ERigctldError(FLastFailure);
    FLink->Connect(FHost, FPort, std::min(FNow() + FTimes.Connect, FDeadline));
    const TRigctldClock::time_point deadline = FDeadline;
    // Started with --vfo, rigctld wants a VFO before every get's and set's
    // arguments, and would wait for it. Its answer is "0" or "1" after an
    // optional name.
    FLink->Send("\\chk_vfo\n", deadline);
    const std::string answer = FLink->ReadLine(deadline);
    const std::string_view last = std::string_view(answer).substr(answer.find_last_of(" \t") + 1);
    if (last != "0" && last != "1")
        throw ERigctldLinkError("it does not answer as rigctld does (\"" + answer.substr(0, 40) + "\")");
    FVfoMode = last == "1";
    const TReply caps = Exchange({"\\dump_caps"}, deadline).front();
    const std::string* model = caps.Find("Model name");
    FModel = model && !model->empty() ? *model : "rigctld";
    FConnected = true;
    FRetryAfter = FTimes.FirstRetry;
}

void TRigctldServer::RestoreVfo()
{
    // Owed while the way to rigctld fails; a radio that refuses it has had
    // its say, and the call tells it.
    try {
        Command("set_vfo", VfoName(*FVfoToRestore), "change the VFO back");
    } catch (const ERigctldLinkError&) {
        throw;
    } catch (...) {
        FVfoToRestore.reset();
        throw;
    }
    FVfoToRestore.reset();
}

std::vector<TRigctldServer::TReply> TRigctldServer::Exchange(const std::vector<std::string>& commands,
                                                             TRigctldClock::time_point deadline)
{
    // One command at a time: rigctld answers a command in about a tenth of a
    // millisecond, but commands sent together wait some 50 ms between them.
    std::vector<TReply> replies;
    for (const std::string& command : commands) {
        FLink->Send("+" + command + "\n", deadline);
        replies.push_back(ReadReply(command, deadline));
    }
    return replies;
}

TRigctldServer::TReply TRigctldServer::ReadReply(const std::string& command, TRigctldClock::time_point deadline)
{
    // The reply opens with the command's long name and a colon, and ends in
    // "RPRT n"; a command it does not know gets no reply at all, so only
    // commands every rigctld knows are sent.
    std::string name = command.substr(command.front() == '\\' ? 1 : 0);
    name = name.substr(0, name.find(' '));
    TReply reply;
    std::string line = FLink->ReadLine(deadline);
    if (ParseRprt(line, reply.Code))
        return reply;
    if (!StartsWith(line, name + ":"))
        throw ERigctldLinkError("it answered \"" + line.substr(0, 40) + "\" to " + name);
    for (;;) {
        line = FLink->ReadLine(deadline);
        if (ParseRprt(line, reply.Code))
            return reply;
        if (reply.Values.size() >= kMaxReplyLines)
            throw ERigctldLinkError("its answer to " + name + " does not end");
        const size_t colon = line.find(':');
        if (colon == std::string::npos) {
            reply.Values.emplace_back(std::string(), line);
            continue;
        }
        const size_t value = line.find_first_not_of(" \t", colon + 1);
        reply.Values.emplace_back(line.substr(0, colon), value == std::string::npos ? "" : line.substr(value));
    }
}

void TRigctldServer::CheckShown(const std::string& text, int64_t hertz) const
{
    if (!InFreqRange(hertz))
        throw ERigctldError(Where() + ": the radio reports " + text + " Hz, outside what Velkor shows (" +
                            ShownRange() + ")");
}

void TRigctldServer::Poll()
{
    const TRigctldClock::time_point deadline = FDeadline;
    const std::string target = FVfoMode ? " currVFO" : "";
    const std::vector<TReply> replies =
        Exchange({"\\get_freq" + target, "\\get_mode" + target, "\\get_vfo", "\\get_split_vfo" + target}, deadline);
    const TReply& freq = replies[0];
    if (freq.Code != 0)
        throw ERigctldError(Where() + " cannot read the frequency: " + RigctldErrorText(freq.Code));
    int64_t hertz = 0;
    const std::string* freqText = freq.Find("Frequency");
    if (!freqText || !ParseHertz(*freqText, hertz))
        throw ERigctldLinkError("it answered no frequency to get_freq");
    // A radio on a frequency the digits cannot show is a fault of the
    // reading, told once; the connection stays for the commands that tune
    // it back.
    CheckShown(*freqText, hertz);

    TState state = FState;
    state.Freq = static_cast<int32_t>(hertz);
    // A radio that cannot tell its mode, VFO or split keeps the mode last
    // read and shows VFO A without split.
    if (const std::string* mode = replies[1].Code == 0 ? replies[1].Find("Mode") : nullptr)
        state.Mode = *mode;
    state.Rx = 'A';
    if (const std::string* vfo = replies[2].Code == 0 ? replies[2].Find("VFO") : nullptr)
        state.Rx = VfoLetter(*vfo);
    bool split = false;
    state.Tx = state.Rx;
    if (replies[3].Code == 0) {
        const std::string* on = replies[3].Find("Split");
        const std::string* tx = replies[3].Find("TX VFO");
        split = on && *on == "1" && tx && VfoLetter(*tx) != state.Rx;
        if (split)
            state.Tx = VfoLetter(*tx);
    }
    (state.Rx == 'A' ? state.FreqA : state.FreqB) = state.Freq;
    // The other VFO is read only while it transmits: reading it otherwise
    // would make many radios switch VFOs back and forth at every poll. Until
    // then it keeps what was last read or set.
    if (split) {
        const TReply tx = Exchange({"\\get_split_freq" + target}, deadline).front();
        const std::string* txText = tx.Code == 0 ? tx.Find("TX Frequency") : nullptr;
        if (txText && ParseHertz(*txText, hertz)) {
            CheckShown(*txText, hertz);
            (state.Tx == 'A' ? state.FreqA : state.FreqB) = static_cast<int32_t>(hertz);
        }
    }
    state.Ptt = PollPtt(target, deadline);
    FState = state;
    FFresh = true;
    FPolled = true;
}

std::optional<bool> TRigctldServer::PollPtt(const std::string& target, TRigctldClock::time_point deadline)
{
    if (!FKeyed && (FTimes.PttPolls <= 0 || ++FPollsWithoutPtt < FTimes.PttPolls))
        return std::nullopt;
    FPollsWithoutPtt = 0;
    return ReadPtt(target, deadline);
}

std::optional<bool> TRigctldServer::ReadPtt(const std::string& target, TRigctldClock::time_point deadline)
{
    const TReply reply = Exchange({"\\get_ptt" + target}, deadline).front();
    const std::string* ptt = reply.Code == 0 ? reply.Find("PTT") : nullptr;
    if (!ptt)
        return std::nullopt;
    FKeyed = *ptt != "0";
    return FKeyed;
}

void TRigctldServer::PutPtt(bool on)
{
    Guarded([&] {
        Command("set_ptt", Target() + (on ? "1" : "0"), on ? "key the radio" : "release PTT");
        FKeyed = on;
    });
}

const TRigctldServer::TState& TRigctldServer::Read()
{
    return Guarded([this]() -> const TState& {
        if (!FFresh)
            Poll();
        return FState;
    });
}

void TRigctldServer::Command(const std::string& name, const std::string& args, const char* what)
{
    FFresh = false;
    const TReply reply = Exchange({"\\" + name + " " + args}, FDeadline).front();
    if (reply.Code != 0)
        throw ERigctldRefused(Where() + " could not " + what + ": " + RigctldErrorText(reply.Code));
}


void TRigctldServer::CheckTunable(int32_t value) const
{
    if (!InFreqRange(value))
        throw ERigctldError(Where() + ": Velkor tunes no radio to " + Grouped(value) + " Hz (only " + ShownRange() +
                            ")");
}

void TRigctldServer::PutFreqOf(char vfo, int32_t value)
{
    // A memory's VFO that was not in use ("-1", or "0" of a row made by
    // "Add") leaves that VFO alone.
    if (value <= 0)
        return;
    CheckTunable(value);
    Guarded([&] {
        if (!FPolled)
            Poll();
        const std::string hertz = std::to_string(value);
        if (vfo == FState.Rx) {
            Command("set_freq", Target() + hertz, "set the frequency");
        } else if (vfo == FState.Tx) {
            Command("set_split_freq", Target() + hertz, "set the TX frequency");
        } else if (FVfoMode) {
            Command("set_freq", VfoName(vfo) + " " + hertz, "set the frequency");
        } else {
            // Without --vfo only the VFO in use can be tuned: it changes for
            // the moment and comes back, whatever the tuning did. When the
            // connection is cut meanwhile it comes back first on the next.
            Command("set_vfo", VfoName(vfo), "change the VFO");
            FVfoToRestore = FState.Rx;
            try {
                Command("set_freq", hertz, "set the frequency");
            } catch (const ERigctldLinkError&) {
                throw;
            } catch (...) {
                // The radio refused the frequency: the refusal is the news.
                try {
                    RestoreVfo();
                } catch (const ERigctldLinkError&) {
                    throw;
                } catch (...) {
                }
                throw;
            }
            RestoreVfo();
        }
        (vfo == 'A' ? FState.FreqA : FState.FreqB) = value;
    });
}

void TRigctldServer::PutVfo(int32_t flag)
{
    Guarded([&] {
        if (flag == RigParams::VFOA || flag == RigParams::VFOB) {
            const char vfo = flag == RigParams::VFOA ? 'A' : 'B';
            Command("set_vfo", VfoName(vfo), "change the VFO");
            FState.Rx = vfo;
            return;
        }
        for (const TArrangement& arrangement : kArrangements)
            if (arrangement.Flag == flag) {
                const bool split = arrangement.Rx != arrangement.Tx;
                Command("set_split_vfo", Target() + (split ? "1 " : "0 ") + VfoName(arrangement.Tx),
                        "change the split");
                return;
            }
        throw ERigctldError(Where() + ": no VFO arrangement has the flag " + std::to_string(flag));
    });
}

void TRigctldServer::PutMode(int32_t flag)
{
    Guarded([&] {
        const THamlibMode* mode = HamlibModeByVelkor(ModeName(flag));
        if (!mode)
            throw ERigctldError(Where() + ": no mode has the flag " + std::to_string(flag));
        // -1: the radio keeps its filter.
        Command("set_mode", Target() + mode->Hamlib + " -1", "change the mode");
    });
}

// ---------------------------------------------------------------- the rig

class TRigctldRig final : public IRig {
public:
    explicit TRigctldRig(TRigctldServer& server) : FServer(server) {}

    std::string GetRigType() override
    {
        return FServer.Guarded([this] { return FServer.FModel; });
    }
    int32_t GetFreq() override
    {
        FServer.FFresh = false;
        return FServer.Read().Freq;
    }
    void PutFreq(int32_t value) override
    {
        FServer.CheckTunable(value);
        FServer.Guarded([&] {
            FServer.Command("set_freq", FServer.Target() + std::to_string(value), "set the frequency");
            (FServer.FState.Rx == 'A' ? FServer.FState.FreqA : FServer.FState.FreqB) = value;
        });
    }
    int32_t GetFreqA() override { return FServer.Read().FreqA; }
    void PutFreqA(int32_t value) override { FServer.PutFreqOf('A', value); }
    int32_t GetFreqB() override { return FServer.Read().FreqB; }
    void PutFreqB(int32_t value) override { FServer.PutFreqOf('B', value); }
    int32_t GetVfo() override
    {
        const TRigctldServer::TState& state = FServer.Read();
        for (const TArrangement& arrangement : kArrangements)
            if (arrangement.Rx == state.Rx && arrangement.Tx == state.Tx)
                return arrangement.Flag;
        return 0;
    }
    void PutVfo(int32_t value) override { FServer.PutVfo(value); }
    int32_t GetMode() override
    {
        const THamlibMode* mode = NearestHamlibMode(FServer.Read().Mode);
        return mode ? ModeFlag(mode->Velkor) : 0;
    }
    void PutMode(int32_t value) override { FServer.PutMode(value); }
    int32_t GetPtt() override
    {
        return FServer.Guarded([this] {
            FServer.FFresh = false;
            const std::optional<bool> ptt = FServer.ReadPtt(FServer.FVfoMode ? " currVFO" : "", FServer.FDeadline);
            if (!ptt)
                throw ERigctldError(FServer.Where() + " cannot read PTT");
            return *ptt ? 1 : 0;
        });
    }
    void PutPtt(int32_t value) override { FServer.PutPtt(value != 0); }

private:
    TRigctldServer& FServer;
};

std::unique_ptr<IRig> TRigctldServer::Rig() { return std::make_unique<TRigctldRig>(*this); }

bool TRigctldServer::ReadAll(TRigReading& reading)
{
    TRigctldRig rig(*this);
    reading.Freq = rig.GetFreq();
    reading.FreqA = rig.GetFreqA();
    reading.FreqB = rig.GetFreqB();
    reading.Mode = rig.GetMode();
    reading.Vfo = rig.GetVfo();
    reading.Ptt = FState.Ptt;
    return true;
}
