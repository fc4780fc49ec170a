#pragma once
// TTransceiver: the program's only door to the radio. It polls the rig server on
// its timer, keeps what it read, and sends frequency, mode and VFO commands.
// Its timer runs, and its failures are reported, on the poll host it is given.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rig/PollHost.h"
#include "rig/RigServer.h"
#include "ui/Classes.h"

class TTransceiver : public TComponent {
public:
    TTransceiver(TComponent* AOwner, std::unique_ptr<IPollHost> pollHost, std::unique_ptr<IRigServer> rigServer);
    // Its timer goes while the poll host it runs on stands.
    ~TTransceiver() override;

    // Published components: the poll timer (created disabled, 50 ms) and the
    // rig server client.
    TTimer* Tim;
    IRigServer& RigServer() { return *FRigServer; }
    // The operator chose another rig server. It takes over between calls: at
    // once, or when the call or tick now waiting for the old one is over. The
    // old one goes then, and the new one's failures are reported afresh.
    void ReplaceRigServer(std::unique_ptr<IRigServer> rigServer);

    // The state of the last poll; no server call.
    int32_t Get_Freq() const { return Freq; }
    int32_t Get_FreqA() const { return FreqA; }
    int32_t Get_FreqB() const { return FreqB; }
    const std::string& Get_Mode() const { return Mode; }
    const std::string& Get_VFO() const { return VFO; }
    // True while polling is on and the last poll tick read the rig in full.
    bool Get_Connected() const { return FConnected; }
    // The poll ticks that read the rig in full so far, and whether one is
    // reading now: a value written before a tick began may come back from it
    // still unchanged.
    uint32_t TicksRead() const { return FTicksRead; }
    bool InTick() const { return FInTick || FPollPending; }
    // A call to the rig server is waiting for its answer here (a command, or
    // a tick of a server without a thread of its own): an event served
    // inside that wait would add its own wait to it.
    bool CallUnderWay() const { return FCallsOut > 0; }

    std::string Get_RigType();
    // The rig server's own settings dialog, shown or hidden.
    void ShowRigDialog(bool visible);
    // Shows that dialog and answers the rig type then, as one call.
    std::string OpenRigDialog();
    // The commands given inside go to the rig server together, as one call
    // (one wait, one deadline), in their order; a failing one ends the call
    // and raises. An error raised inside still sends what was given before
    // it, then goes on.
    void Batch(const std::function<void()>& commands);
    void Set_Freq(int32_t freq);
    void Set_FreqA(int32_t freq);
    void Set_FreqB(int32_t freq);
    void Set_Mode(const std::string& mode);
    void Set_VFO(const std::string& vfo);
    void StartPolling();
    // Releases a PTT keyed here first.
    void StopPolling();
    // Runs on the poll host's thread after each poll tick that read the rig
    // in full, so that a window shows the reading at once rather than at its
    // next display tick.
    std::function<void()> OnRead;

    // PTT, for the programs that share the radio. Only a rig server that can
    // key the radio does (rigctld); the COM rig server's contract has none.
    bool PttAvailable() const { return FRigServer->CanKey(); }
    // Transmitting as far as known: as the last poll that read PTT after the
    // last PTT command found it, else keyed here and not released since.
    bool Get_Ptt() const { return FPttRead.value_or(FKeyed); }
    // Keys (true) or releases the radio for a client (any address that names
    // it, null for none); raises ENoPtt where there is no PTT and the rig
    // server's error when the command fails. Releasing releases every
    // client's key.
    void Set_Ptt(bool on, const void* client = nullptr);
    // The client went away: a key it holds is released, the radio with it
    // when no other client holds one. Raises nothing; a release that fails
    // is retried (see below).
    void ReleasePtt(const void* client);
    // Releases any key held here (switching OFF, closing, the watchdog).
    void ReleaseAllPtt() noexcept;
    // PTT held longer than this many seconds is released and reported once;
    // 0 turns the watchdog off.
    void SetPttLimit(uint32_t seconds) { FPttLimit = seconds; }
    static constexpr uint32_t kDefaultPttLimit = 600;
    // A release that failed (rigctld down while transmitting): retried every
    // second until it goes through; the operator is told at the failure.
    bool UnkeyOwed() const { return FUnkeyOwed; }
    // The once-a-second timer of the watchdog and of a release owed; runs
    // while a key is held here or a release is owed.
    TTimer* PttTim;
    void PttTimTimer(TObject* Sender);

    // One poll tick. A rig server with a thread of its own reads it there and
    // its reading comes back through the poll host: nothing waits for it
    // here, and a tick that comes while it reads is dropped. Any other is
    // read at once. A failure goes to the poll host's report once per run of
    // failing ticks, after the tick, and never while an earlier one's report
    // is up, nor for a tick in the background that ends after polling stopped.
    void TimTimer(TObject* Sender);

    // Owned by the main window's ON/OFF switch; never read here.
    bool SwitchedOn = false;

    // "SSB" means USB from here up and LSB below.
    static constexpr int32_t kSsbDividingFreq = 10000000;

private:
    // One put of a command: the rig's setter and the value.
    struct TPut {
        void (IRig::*Putter)(int32_t);
        int32_t Value;
    };
    // The puts go out as one call, or join the batch under way.
    void Send(std::vector<TPut> puts);
    // Keeps what a tick has read so far.
    void Store(const TPollReading& reading);
    // A tick is over: read in full, or failed; the failure to report, if any.
    std::exception_ptr TickEnded(std::exception_ptr failure);
    void Report(std::exception_ptr failure);
    void Delivered(uint64_t generation, TPollReading reading);
    // A flag of no mode keeps the mode shown.
    void ShowMode(int32_t flag);
    // Counts the calls to the rig server under way; a replacement waits
    // for the last one to end.
    class TCallScope;
    void TakeReplacement();
    // Sends the release; on failure a retry is owed and the operator told
    // once.
    void Unkey() noexcept;
    void UpdatePttTimer();
    // A PTT report (watchdog, failed release) shown once at a time.
    void ReportPtt(std::exception_ptr report);

    std::unique_ptr<IPollHost> FPollHost;
    std::unique_ptr<IRigServer> FRigServer;
    std::string Mode;
    int32_t Freq = 0;
    int32_t FreqA = 0;
    int32_t FreqB = 0;
    std::string VFO;
    bool FConnected = false;
    bool FFailing = false;   // the last tick failed and was reported
    bool FReporting = false; // a failure's report is up
    bool FInTick = false;
    // A tick reads in the background; its reading counts while FGeneration
    // is the one it began under (a replaced server's, or one given up, does not).
    bool FPollPending = false;
    uint64_t FGeneration = 0;
    uint32_t FTicksRead = 0;
    int FCallsOut = 0;
    std::unique_ptr<IRigServer> FReplacement;
    std::optional<std::vector<TPut>> FBatch;
    bool FKeyed = false;
    std::vector<const void*> FPttClients;
    std::optional<bool> FPttRead;
    // A PTT read counts from a tick that began after the last PTT command.
    uint32_t FPttStandsUntil = 0;
    bool FUnkeyOwed = false;
    uint32_t FPttLimit = kDefaultPttLimit;
    uint32_t FKeyedSeconds = 0;
    bool FPttReporting = false;
    bool FEnding = false;
    // Readings delivered after this object has gone find it gone.
    std::shared_ptr<TTransceiver*> FSelf = std::make_shared<TTransceiver*>(this);
};

// Mode names and the server's mode flags, in both directions; 0 and "" when the
// table does not hold the value.
int32_t ModeFlag(const std::string& mode);
std::string ModeName(int32_t flag);
