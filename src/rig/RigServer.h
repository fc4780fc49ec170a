#pragma once
// The rig server as the transceiver sees it, whatever its kind: the COM rig
// server (TOmniRigX) or hamlib's rigctld (TRigctldServer), each on a thread
// of its own in velkor.exe (TRigServerThread); tests use a fake that records
// every call.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/SysUtils.h"

// The server's parameter flags for VFO arrangement and mode.
namespace RigParams {
constexpr int32_t VFOAA = 0x80;
constexpr int32_t VFOAB = 0x100;
constexpr int32_t VFOBA = 0x200;
constexpr int32_t VFOBB = 0x400;
constexpr int32_t VFOA = 0x800;
constexpr int32_t VFOB = 0x1000;
constexpr int32_t CW_U = 0x800000;
constexpr int32_t CW_L = 0x1000000;
constexpr int32_t SSB_U = 0x2000000;
constexpr int32_t SSB_L = 0x4000000;
constexpr int32_t DIG_U = 0x8000000;
constexpr int32_t DIG_L = 0x10000000;
constexpr int32_t AM = 0x20000000;
constexpr int32_t FM = 0x40000000;
} // namespace RigParams

// One rig object, fetched from the server for a single call and released when
// destroyed. Every call raises on failure.
class IRig {
public:
    virtual ~IRig() = default;
    virtual std::string GetRigType() = 0;
    virtual int32_t GetFreq() = 0;
    virtual void PutFreq(int32_t value) = 0;
    virtual int32_t GetFreqA() = 0;
    virtual void PutFreqA(int32_t value) = 0;
    virtual int32_t GetFreqB() = 0;
    virtual void PutFreqB(int32_t value) = 0;
    virtual int32_t GetVfo() = 0;
    virtual void PutVfo(int32_t value) = 0;
    virtual int32_t GetMode() = 0;
    virtual void PutMode(int32_t value) = 0;
    // PTT, where the server can key the radio (IRigServer::CanKey): 1 keys
    // it, 0 releases it. Elsewhere both raise ENoPtt.
    virtual int32_t GetPtt();
    virtual void PutPtt(int32_t value);
};

// Carried by a failure in which the rig server answered and refused the
// command: nothing of it was carried out.
class IRigRefusal {
public:
    virtual ~IRigRefusal() = default;
};

// The rig server has no way to key the radio (the COM rig server's contract
// has none).
class ENoPtt : public Exception, public IRigRefusal {
public:
    ENoPtt();
};

// What one poll reads, the flags as the rig's getters answer them.
struct TRigReading {
    int32_t Freq = 0;
    int32_t FreqA = 0;
    int32_t FreqB = 0;
    int32_t Mode = 0;
    int32_t Vfo = 0;
    // Read where the server keys the radio, as often as it costs nothing.
    std::optional<bool> Ptt;
};

// What one poll tick read, as far as it went: a value read is kept even when
// a later read of the same tick failed.
struct TPollReading {
    std::optional<int32_t> Freq;
    std::optional<int32_t> FreqA;
    std::optional<int32_t> FreqB;
    std::optional<int32_t> Mode;
    // The tick's four reads of the arrangement, in order, as far as they went.
    std::vector<int32_t> Vfos;
    // Transmitting, where the reading tells (TRigReading::Ptt).
    std::optional<bool> Ptt;
    // What ended the tick early; null for a tick that read in full.
    std::exception_ptr Failure;
};

// The server's object. The first call connects; every call raises on failure.
class IRigServer {
public:
    virtual ~IRigServer() = default;
    // The whole reading in one call, for a server that reads it at once
    // anyway; false, with nothing read, for one read value by value.
    virtual bool ReadAll(TRigReading&) { return false; }
    // Fetches the rig object afresh.
    virtual std::unique_ptr<IRig> Rig() = 0;
    // Asks the server to show (true) or hide its own settings dialog.
    virtual void ShowRigDialog(bool visible) = 0;
    // False while the next call has to connect first (and may take longer).
    virtual bool Connected() const { return true; }
    // It can key the radio (IRig::PutPtt); the same for the server's life.
    virtual bool CanKey() const { return false; }

    // Runs work against the server as one call: on the server's own thread,
    // within one deadline, where it has one. Raises what work raised. work
    // may run after an abandoned call has returned: it holds its own data.
    virtual void Run(const std::function<void(IRigServer&)>& work) { work(*this); }
    // A server that reads in the background starts a poll tick there and
    // answers true; done gets the tick's reading once, on the server's
    // thread. While a tick runs, true again, and that tick keeps its done.
    // Raises, dropping the tick that runs, when the server has hung in a call.
    // False for a server that reads only when called: the caller reads it.
    virtual bool PollInBackground(std::function<void(TPollReading)> /*done*/) { return false; }
};

// One read of a poll tick: step 0 to kPollSteps - 1, each through a rig
// object of its own, in the tick's order (frequency, VFO A, VFO B, mode, the
// arrangement four times). Step 0 first asks for the whole reading at once.
// True once the tick has read everything; raises the server's errors.
inline constexpr int kPollSteps = 8;
bool ReadPollStep(IRigServer& server, int step, TPollReading& reading);
