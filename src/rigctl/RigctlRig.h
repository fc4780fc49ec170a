#pragma once
// The radio as the programs on the rigctl port see it: the transceiver's
// state of the last poll, with what they wrote since laid over it until a
// poll that began after the write has read the rig, so that a client reads
// back what it wrote (hamlib programs learn the radio's resolution that way).
// Reads never reach the rig server; commands go through the transceiver, and
// a failure answers an error code, never an exception. While the transceiver
// is not connected the view says so, and the protocol answers reads with an
// error instead of values of a poll long past.

#include <cstdint>
#include <optional>
#include <string>

class TTransceiver;

namespace Rigctl {
// hamlib's return codes, as the protocol sends them.
constexpr int kOk = 0;
constexpr int kInvalidArgument = -1; // RIG_EINVAL
constexpr int kIoError = -6;         // RIG_EIO: the rig server failed or is not there
constexpr int kNotAvailable = -11;   // RIG_ENAVAIL: no such command here
} // namespace Rigctl

struct TRigctlView {
    // The transceiver's last poll read the rig: without it the values are
    // stale (a rig server that failed or hangs, polling off) and reads fail.
    bool Connected = false;
    int32_t Freq = 0; // of the VFO in use
    int32_t FreqA = 0;
    int32_t FreqB = 0;
    std::string Mode; // the transceiver's name ("DIGI"); empty before the first poll
    char RxVfo = 'A'; // the VFO in use, 'A' or 'B'
    bool Split = false;
    // Transmitting as far as known, and whether the rig server can key the
    // radio at all.
    bool Ptt = false;
    bool PttAvailable = false;

    // The VFO a split would transmit on, where the split frequency goes.
    char OtherVfo() const { return RxVfo == 'A' ? 'B' : 'A'; }
    // The VFO the radio transmits on: the receiving one unless split.
    char TxVfo() const { return Split ? OtherVfo() : RxVfo; }
    int32_t FreqOf(char vfo) const { return vfo == RxVfo ? Freq : vfo == 'A' ? FreqA : FreqB; }
};

class TRigctlRig {
public:
    // The transceiver may be null: never connected, commands answer kIoError.
    explicit TRigctlRig(TTransceiver* transceiver) : FTrx(transceiver) {}

    TRigctlView View() const;
    // A call to the rig server is waiting for its answer, and this is a
    // message served meanwhile: a command now would keep that call's event
    // waiting for a second call.
    bool RigWaiting() const;

    // Each answers kOk or kIoError. Mode names are the transceiver's.
    int SetFreq(int32_t freq);
    int SetFreqOf(char vfo, int32_t freq);
    int SetMode(const std::string& mode);
    // One of the four arrangements: the VFO in use, split or not.
    int SetVfo(char rxVfo, bool split);
    // Keys or releases the radio for client (its session); kNotAvailable
    // where the rig server cannot key it.
    int SetPtt(const void* client, bool on);
    // The client went away: a key it held is released.
    void ClientGone(const void* client);

private:
    struct TWritten {
        std::optional<int32_t> FreqA;
        std::optional<int32_t> FreqB;
        std::optional<std::string> Mode;
        std::optional<char> RxVfo;
        std::optional<bool> Split;
    };

    // What was written since the last poll, or null once a later poll has read
    // the rig.
    const TWritten* Written() const;
    // The values written, for a command that went through.
    TWritten& Writing();
    template <class TCommand>
    int Send(TCommand&& command);

    TTransceiver* FTrx;
    std::optional<TWritten> FWritten;
    uint32_t FStandsUntil = 0; // the written values stand while no more ticks than this have read
};
