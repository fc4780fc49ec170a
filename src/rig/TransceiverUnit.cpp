#include "rig/TransceiverUnit.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/ScopeExit.h"
#include "rig/RigServerThread.h"

namespace {

struct TModeEntry {
    const char* Name;
    int32_t Flag;
};

// "CW" is the upper CW flag but "DIGI" the lower digital one.
constexpr std::array<TModeEntry, 8> kModes{{
    {"CW", RigParams::CW_U},
    {"CW-R", RigParams::CW_L},
    {"USB", RigParams::SSB_U},
    {"LSB", RigParams::SSB_L},
    {"DIGI-R", RigParams::DIG_U},
    {"DIGI", RigParams::DIG_L},
    {"AM", RigParams::AM},
    {"FM", RigParams::FM},
}};

struct TVfoEntry {
    const char* Code;      // characters 5 to 7 of the arrangement name
    const char* Name;
    int32_t Selection;     // put first
    int32_t Arrangement;   // put second, and what a poll reads
};

// The poll's four reads go in this order.
constexpr std::array<TVfoEntry, 4> kVfos{{
    {"A/A", "VFO A/A", RigParams::VFOA, RigParams::VFOAA},
    {"A/B", "VFO A/B", RigParams::VFOA, RigParams::VFOAB},
    {"B/B", "VFO B/B", RigParams::VFOB, RigParams::VFOBB},
    {"B/A", "VFO B/A", RigParams::VFOB, RigParams::VFOBA},
}};

} // namespace

class TTransceiver::TCallScope {
public:
    explicit TCallScope(TTransceiver& trx) : FTrx(trx) { ++FTrx.FCallsOut; }
    ~TCallScope()
    {
        if (--FTrx.FCallsOut == 0)
            FTrx.TakeReplacement();
    }
    TCallScope(const TCallScope&) = delete;
    TCallScope& operator=(const TCallScope&) = delete;

private:
    TTransceiver& FTrx;
};

int32_t ModeFlag(const std::string& mode)
{
    for (const TModeEntry& entry : kModes)
        if (mode == entry.Name)
            return entry.Flag;
    return 0;
}

std::string ModeName(int32_t flag)
{
    for (const TModeEntry& entry : kModes)
        if (flag == entry.Flag)
            return entry.Name;
    return {};
}

TTransceiver::TTransceiver(TComponent* AOwner, std::unique_ptr<IPollHost> pollHost,
                           std::unique_ptr<IRigServer> rigServer)
    : TComponent(AOwner), FPollHost(std::move(pollHost)), FRigServer(std::move(rigServer))
{
    Tim = new TTimer(this, *FPollHost);
    Tim->SetName("Tim");
    Tim->SetEnabled(false);
    Tim->SetInterval(50);
    Tim->OnTimer = [this](TObject* sender) { TimTimer(sender); };
    PttTim = new TTimer(this, *FPollHost);
    PttTim->SetName("PttTim");
    PttTim->SetEnabled(false);
    PttTim->SetInterval(1000);
    PttTim->OnTimer = [this](TObject* sender) { PttTimTimer(sender); };
}

TTransceiver::~TTransceiver()
{
    // Closing never leaves the radio transmitting for a client gone with us;
    // nobody is left to read a report.
    FEnding = true;
    ReleaseAllPtt();
    DestroyComponents();
}

void TTransceiver::ReplaceRigServer(std::unique_ptr<IRigServer> rigServer)
{
    // Only the server that keyed the radio can release it.
    ReleaseAllPtt();
    FReplacement = std::move(rigServer);
    if (FCallsOut == 0)
        TakeReplacement();
}

void TTransceiver::TakeReplacement()
{
    if (!FReplacement)
        return;
    // The old server goes after the new one is in place: its end may serve
    // messages that reach this object.
    std::unique_ptr<IRigServer> old = std::exchange(FRigServer, std::move(FReplacement));
    FConnected = false;
    FFailing = false;
    // A tick the old one still reads counts for nothing.
    FPollPending = false;
    ++FGeneration;
    old.reset();
}

void TTransceiver::Store(const TPollReading& reading)
{
    if (reading.Freq)
        Freq = *reading.Freq;
    if (reading.FreqA)
        FreqA = *reading.FreqA;
    if (reading.FreqB)
        FreqB = *reading.FreqB;
    if (reading.Mode)
        ShowMode(*reading.Mode);
    // Each read of the arrangement is compared with its own flag; a later
    // match overwrites an earlier one.
    for (size_t i = 0; i < reading.Vfos.size() && i < kVfos.size(); ++i)
        if (reading.Vfos[i] == kVfos[i].Arrangement)
            VFO = kVfos[i].Name;
    // A tick that began before the last PTT command may have read the old state.
    if (reading.Ptt && static_cast<int32_t>(FTicksRead + 1 - FPttStandsUntil) > 0)
        FPttRead = *reading.Ptt;
}

void TTransceiver::ShowMode(int32_t flag)
{
    std::string mode = ModeName(flag);
    if (!mode.empty())
        Mode = mode;
}

void TTransceiver::TimTimer(TObject*)
{
    // A wait for the rig server serves posted messages, timer ticks
    // included, and a tick in the background takes its time: a tick that
    // comes meanwhile is dropped, the one under way reads the rig anyway.
    if (FInTick)
        return;
    std::exception_ptr report;
    bool read = false;
    {
        TCallScope call(*this);
        FInTick = true;
        TScopeExit tickEnd([this] { FInTick = false; });
        std::exception_ptr failure;
        try {
            const auto deliver = [self = std::weak_ptr(FSelf), host = FPollHost.get(),
                                  generation = FGeneration](TPollReading reading) {
                host->Deliver([self, generation, reading = std::move(reading)]() mutable {
                    if (const auto alive = self.lock())
                        (*alive)->Delivered(generation, std::move(reading));
                });
            };
            if (FRigServer->PollInBackground(deliver)) {
                FPollPending = true;
                return;
            }
            // Each value is kept as soon as it is read, so a failing read
            // leaves the earlier ones of the tick in place.
            TPollReading reading;
            for (int step = 0; !reading.Failure; ++step) {
                bool done = false;
                try {
                    done = ReadPollStep(*FRigServer, step, reading);
                } catch (...) {
                    reading.Failure = std::current_exception();
                }
                Store(reading);
                if (done)
                    break;
            }
            failure = reading.Failure;
        } catch (...) {
            // The server hangs in a call: the tick in the background is given up.
            FPollPending = false;
            ++FGeneration;
            failure = std::current_exception();
        }
        // Settled inside the call: a replacement asked for meanwhile comes
        // after it and starts with a clean slate.
        report = TickEnded(failure);
        read = !failure;
    }
    if (read && OnRead)
        OnRead();
    Report(report);
}

void TTransceiver::Delivered(uint64_t generation, TPollReading reading)
{
    if (generation != FGeneration || !FPollPending)
        return;
    FPollPending = false;
    Store(reading);
    const std::exception_ptr report = TickEnded(reading.Failure);
    if (!reading.Failure && OnRead)
        OnRead();
    // A tick that ends after the switch went OFF is no news to the operator.
    if (Tim->Enabled())
        Report(report);
}

std::exception_ptr TTransceiver::TickEnded(std::exception_ptr failure)
{
    if (!failure) {
        FConnected = Tim->Enabled();
        FFailing = false;
        ++FTicksRead;
        return nullptr;
    }
    FConnected = false;
    // A server that stays away is reported once, not at every tick.
    const bool reported = FFailing;
    FFailing = true;
    try {
        std::rethrow_exception(failure);
    } catch (const ERigCallCancelled&) {
        // The program is ending: nobody is there to read a report.
        return nullptr;
    } catch (...) {
    }
    return reported ? nullptr : failure;
}

void TTransceiver::Report(std::exception_ptr failure)
{
    // Reported once the tick is over, so that polling goes on while the box
    // is up; a run of failures that begins while it is up counts as reported,
    // so that a server failing on and off never stacks one box on another.
    if (!failure || FReporting)
        return;
    FReporting = true;
    TScopeExit reportEnd([this] { FReporting = false; });
    FPollHost->ReportPollFailure(failure);
}

void TTransceiver::Send(std::vector<TPut> puts)
{
    if (FBatch) {
        FBatch->insert(FBatch->end(), puts.begin(), puts.end());
        return;
    }
    if (puts.empty())
        return;
    TCallScope call(*this);
    FRigServer->Run([puts = std::move(puts)](IRigServer& server) {
        for (const TPut& put : puts)
            (server.Rig().get()->*put.Putter)(put.Value);
    });
}

void TTransceiver::Batch(const std::function<void()>& commands)
{
    if (FBatch) {
        commands();
        return;
    }
    FBatch.emplace();
    std::exception_ptr raised;
    try {
        commands();
    } catch (...) {
        raised = std::current_exception();
    }
    std::vector<TPut> puts = std::move(*FBatch);
    FBatch.reset();
    // The rig server's error comes first: the command that failed ran before
    // whatever raised after it was given.
    Send(std::move(puts));
    if (raised)
        std::rethrow_exception(raised);
}

std::string TTransceiver::Get_RigType()
{
    TCallScope call(*this);
    auto type = std::make_shared<std::string>();
    FRigServer->Run([type](IRigServer& server) { *type = server.Rig()->GetRigType(); });
    return *type;
}

void TTransceiver::ShowRigDialog(bool visible)
{
    TCallScope call(*this);
    FRigServer->Run([visible](IRigServer& server) { server.ShowRigDialog(visible); });
}

std::string TTransceiver::OpenRigDialog()
{
    TCallScope call(*this);
    auto type = std::make_shared<std::string>();
    FRigServer->Run([type](IRigServer& server) {
        server.ShowRigDialog(true);
        *type = server.Rig()->GetRigType();
    });
    return *type;
}

void TTransceiver::Set_Freq(int32_t freq)
{
    std::vector<TPut> puts{{&IRig::PutFreq, freq}};
    if (VFO == "VFO A/A" || VFO == "VFO A/B")
        puts.push_back({&IRig::PutFreqA, freq});
    else if (VFO == "VFO B/A" || VFO == "VFO B/B")
        puts.push_back({&IRig::PutFreqB, freq});
    Send(std::move(puts));
}

void TTransceiver::Set_FreqA(int32_t freq) { Send({{&IRig::PutFreqA, freq}}); }

void TTransceiver::Set_FreqB(int32_t freq) { Send({{&IRig::PutFreqB, freq}}); }

void TTransceiver::Set_Mode(const std::string& mode)
{
    std::string name = mode;
    if (name == "SSB")
        name = Freq >= kSsbDividingFreq ? "USB" : "LSB";
    if (int32_t flag = ModeFlag(name))
        Send({{&IRig::PutMode, flag}});
}

void TTransceiver::Set_VFO(const std::string& vfo)
{
    const std::string code = vfo.size() > 4 ? vfo.substr(4, 3) : std::string();
    for (const TVfoEntry& entry : kVfos)
        if (code == entry.Code) {
            Send({{&IRig::PutVfo, entry.Selection}, {&IRig::PutVfo, entry.Arrangement}});
            return;
        }
}

void TTransceiver::StartPolling()
{
    FConnected = false;
    FFailing = false;
    Tim->SetEnabled(true);
}

void TTransceiver::StopPolling()
{
    ReleaseAllPtt();
    Tim->SetEnabled(false);
    FConnected = false;
}

void TTransceiver::Set_Ptt(bool on, const void* client)
{
    if (!PttAvailable())
        throw ENoPtt();
    // OFF is no time to transmit; a release always goes.
    if (on && !Tim->Enabled())
        throw EInvalidOperation("Velkor is OFF: it keys no radio until it is switched on");
    FPttStandsUntil = FTicksRead + (InTick() ? 1 : 0);
    FPttRead.reset();
    if (!on) {
        Send({{&IRig::PutPtt, 0}});
        FKeyed = false;
        FPttRead.reset();
        FUnkeyOwed = false;
        FPttClients.clear();
        UpdatePttTimer();
        return;
    }
    // Marked keyed before the command goes: one that fails on its way may
    // have keyed the radio all the same, and the release is owed then.
    const bool wasKeyed = FKeyed;
    if (!FKeyed)
        FKeyedSeconds = 0;
    FKeyed = true;
    const bool newClient = std::find(FPttClients.begin(), FPttClients.end(), client) == FPttClients.end();
    if (newClient)
        FPttClients.push_back(client);
    UpdatePttTimer();
    try {
        Send({{&IRig::PutPtt, 1}});
    } catch (const IRigRefusal&) {
        // Refused: the radio did not key, and nothing is owed.
        FKeyed = wasKeyed;
        if (newClient)
            FPttClients.pop_back();
        UpdatePttTimer();
        throw;
    }
}

void TTransceiver::ReleasePtt(const void* client)
{
    const auto held = std::find(FPttClients.begin(), FPttClients.end(), client);
    if (held == FPttClients.end())
        return;
    FPttClients.erase(held);
    if (FPttClients.empty() && FKeyed)
        Unkey();
}

void TTransceiver::ReleaseAllPtt() noexcept
{
    FPttClients.clear();
    if (FKeyed || FUnkeyOwed)
        Unkey();
}

void TTransceiver::Unkey() noexcept
{
    FKeyed = false;
    FPttRead.reset();
    FPttStandsUntil = FTicksRead + (InTick() ? 1 : 0);
    try {
        Send({{&IRig::PutPtt, 0}});
        FUnkeyOwed = false;
    } catch (...) {
        const bool told = FUnkeyOwed;
        FUnkeyOwed = true;
        if (!told && !FEnding) {
            std::string cause = "unknown error";
            try {
                throw;
            } catch (const std::exception& error) {
                cause = error.what();
            } catch (...) {
            }
            ReportPtt(std::make_exception_ptr(
                Exception("The radio may still be transmitting: Velkor could not release PTT (" + cause +
                          "). It tries again every second until the rig server answers.")));
        }
    }
    UpdatePttTimer();
}

void TTransceiver::UpdatePttTimer() { PttTim->SetEnabled(FKeyed || FUnkeyOwed); }

void TTransceiver::PttTimTimer(TObject*)
{
    if (FUnkeyOwed && !FKeyed) {
        // Only one at a time: a retry served inside a wait would stack.
        if (!CallUnderWay())
            Unkey();
        return;
    }
    if (!FKeyed || FPttLimit == 0 || ++FKeyedSeconds < FPttLimit)
        return;
    FPttClients.clear();
    Unkey();
    ReportPtt(std::make_exception_ptr(Exception(Format(
        "Velkor released PTT: the radio had transmitted for %u seconds, the longest the transmit watchdog allows.",
        FPttLimit))));
}

void TTransceiver::ReportPtt(std::exception_ptr report)
{
    if (FPttReporting)
        return;
    FPttReporting = true;
    TScopeExit reportEnd([this] { FPttReporting = false; });
    FPollHost->ReportPollFailure(report);
}
