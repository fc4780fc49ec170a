#include "rig/TransceiverUnit.h"

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
    : TComponent(AOwner), FPollHost(std::move(pollHost)), FOmniRigX1(std::move(rigServer))
{
    Tim = new TTimer(this, *FPollHost);
    Tim->SetName("Tim");
    Tim->SetEnabled(false);
    Tim->SetInterval(50);
    Tim->OnTimer = [this](TObject* sender) { TimTimer(sender); };
}

TTransceiver::~TTransceiver() { DestroyComponents(); }

void TTransceiver::ReplaceRigServer(std::unique_ptr<IRigServer> rigServer)
{
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
    std::unique_ptr<IRigServer> old = std::exchange(FOmniRigX1, std::move(FReplacement));
    FConnected = false;
    FFailing = false;
    old.reset();
}

void TTransceiver::Poll()
{
    // A server that reads the radio's whole state at once answers it in one
    // call (one wait for the rig server's thread instead of eight).
    TRigReading reading;
    if (FOmniRigX1->ReadAll(reading)) {
        Freq = reading.Freq;
        FreqA = reading.FreqA;
        FreqB = reading.FreqB;
        ShowMode(reading.Mode);
        for (const TVfoEntry& entry : kVfos)
            if (reading.Vfo == entry.Arrangement)
                VFO = entry.Name;
        return;
    }
    // Each read fetches its own rig object, and each value is kept as soon as it
    // is read, so a failing read leaves the earlier ones of the tick in place.
    Freq = Rig()->GetFreq();
    FreqA = Rig()->GetFreqA();
    FreqB = Rig()->GetFreqB();

    ShowMode(Rig()->GetMode());

    for (const TVfoEntry& entry : kVfos)
        if (Rig()->GetVfo() == entry.Arrangement)
            VFO = entry.Name;
}

void TTransceiver::ShowMode(int32_t flag)
{
    std::string mode = ModeName(flag);
    if (!mode.empty())
        Mode = mode;
}

void TTransceiver::TimTimer(TObject*)
{
    // A call to an out-of-process server serves posted messages while it waits,
    // timer ticks included: a tick arriving inside a running one is dropped, the
    // running tick reads the rig anyway. Otherwise a slow server would nest ticks
    // as deep as it is slow.
    if (FInTick)
        return;
    std::exception_ptr failure;
    {
        TCallScope call(*this);
        FInTick = true;
        TScopeExit tickEnd([this] { FInTick = false; });
        try {
            Poll();
            FConnected = Tim->Enabled();
            FFailing = false;
            ++FTicksRead;
        } catch (const ERigCallCancelled&) {
            // The program is ending: nobody is there to read a report.
            FConnected = false;
            FFailing = true;
        } catch (...) {
            FConnected = false;
            // A server that stays away is reported once, not at every tick.
            if (!FFailing)
                failure = std::current_exception();
            FFailing = true;
        }
    }
    // Reported once the tick is over, so that polling goes on while the box
    // is up; a run of failures that begins while it is up counts as reported,
    // so that a server failing on and off never stacks one box on another.
    if (!failure || FReporting)
        return;
    FReporting = true;
    TScopeExit reportEnd([this] { FReporting = false; });
    FPollHost->ReportPollFailure(failure);
}

std::string TTransceiver::Get_RigType()
{
    TCallScope call(*this);
    return Rig()->GetRigType();
}

void TTransceiver::ShowRigDialog(bool visible)
{
    TCallScope call(*this);
    FOmniRigX1->ShowRigDialog(visible);
}

void TTransceiver::Set_Freq(int32_t freq)
{
    TCallScope call(*this);
    Rig()->PutFreq(freq);
    if (VFO == "VFO A/A" || VFO == "VFO A/B")
        Rig()->PutFreqA(freq);
    else if (VFO == "VFO B/A" || VFO == "VFO B/B")
        Rig()->PutFreqB(freq);
}

void TTransceiver::Set_FreqA(int32_t freq)
{
    TCallScope call(*this);
    Rig()->PutFreqA(freq);
}

void TTransceiver::Set_FreqB(int32_t freq)
{
    TCallScope call(*this);
    Rig()->PutFreqB(freq);
}

void TTransceiver::Set_Mode(const std::string& mode)
{
    std::string name = mode;
    if (name == "SSB")
        name = Freq >= kSsbDividingFreq ? "USB" : "LSB";
    TCallScope call(*this);
    if (int32_t flag = ModeFlag(name))
        Rig()->PutMode(flag);
}

void TTransceiver::Set_VFO(const std::string& vfo)
{
    const std::string code = vfo.size() > 4 ? vfo.substr(4, 3) : std::string();
    TCallScope call(*this);
    for (const TVfoEntry& entry : kVfos)
        if (code == entry.Code) {
            Rig()->PutVfo(entry.Selection);
            Rig()->PutVfo(entry.Arrangement);
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
    Tim->SetEnabled(false);
    FConnected = false;
}
