#pragma once
// One client of the rigctl port: the rigctld text protocol as hamlib's network
// rig ("NET rigctl", model 2) speaks it, from the bytes the client sends to
// the bytes it is sent. No sockets here: the Win32 port moves the bytes.
//
// Lines end in LF or CR; a line may hold several commands ("f m v", "fmv").
// A command may carry one of the extended reply prefixes "+", ";", "|" or ",",
// for itself alone. An unknown command answers RPRT -11, a malformed or
// missing argument RPRT -1 with nothing sent; either drops the rest of its
// line. A line longer than kMaxLine is dropped up to its end with one RPRT -1.
//
// Only a rigctl client is served: the first line that is not blank must be
// commands of the table below, every one with its arguments well formed,
// else the connection is refused and nothing of it runs. A browser's request
// (any web page can make one send a POST with a text body to 127.0.0.1), a
// TLS or SSH greeting never gets past its first bytes.
//
// Bytes received wait in the session and run a share at a time: at most
// kCommandsPerRun commands, and of those at most one that reaches the radio
// (it may keep the caller waiting for the rig server up to its deadline).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ports/PortSession.h"

class TRigctlRig;
class TTransceiver;

namespace Rigctl {
constexpr uint16_t kDefaultPort = 4532;
constexpr size_t kMaxConnections = 16;
constexpr size_t kMaxLine = 512;
// Replies a client has not taken beyond this stop its commands and drop it:
// it has stopped reading.
constexpr size_t kMaxPendingOutput = 256 * 1024;
// Commands run by one Run: reads cost nothing but their replies.
constexpr int kCommandsPerRun = 64;
// The port's: its clients, what they leave unread, one read of a client.
constexpr TPortLimits kPortLimits{kMaxConnections, kMaxPendingOutput, 16384};
} // namespace Rigctl

class TRigctlSession : public IPortSession {
public:
    explicit TRigctlSession(TRigctlRig& rig) : FRig(rig) {}
    // A client that goes (closes, is dropped or evicted) releases a PTT it keyed.
    ~TRigctlSession() override;
    TRigctlSession(const TRigctlSession&) = delete;
    TRigctlSession& operator=(const TRigctlSession&) = delete;

    // Bytes as they come, split anywhere; they wait until Run.
    void Received(std::string_view data) override;
    // Runs the next share of what was received (mayReachRig false: none of
    // the commands that go to the radio, it stops before the first); true
    // when a command went to the radio. Replies go to the output, in order.
    bool Run(bool mayReachRig = true) override;
    // More is to run: Run again (a line not yet ended waits for its end).
    bool Pending() const override;
    // Bytes received and not yet run.
    size_t Backlog() const override { return FInput.size() - FInputAt; }

    // The replies not yet sent, and how many of their bytes went out.
    std::string_view Output() const override { return std::string_view(FOutput).substr(FSent); }
    void Sent(size_t count) override;

    // The client asked to go ("q"): nothing more is read.
    bool QuitRequested() const override { return FQuit; }
    // Time to close: the client went away ("q") and has had every reply.
    bool Finished() const override { return FQuit && Output().empty(); }
    // It left more replies unread than a client that reads ever does: its
    // commands stopped there, nothing more is read, and it is to be dropped.
    bool Overflowed() const override { return FOverflowed; }
    // It is no rigctl client: nothing of it ran, and it is to be dropped.
    bool Refused() const override { return FGate == TGate::Refused; }

private:
    enum class TGate { Undecided, Open, Refused };
    bool Stopped() const { return FQuit || FOverflowed || Refused(); }
    // Looks at the first line while it comes: refused once it cannot be
    // commands any more.
    void CheckOpening();
    // Runs the commands of the line in FLine from FAt on, within the budget;
    // false when it stopped before the line's end.
    bool RunLine(int& commands, int& rigCommands);
    // Appends to the output; past the limit the session has overflowed.
    void Reply(std::string_view reply);

    TRigctlRig& FRig;
    std::string FInput; // received, not yet run from FInputAt on
    size_t FInputAt = 0;
    std::string FLine;
    bool FLineEnded = false; // FLine is a whole line, run up to FAt
    size_t FAt = 0;
    bool FDiscarding = false; // inside a line that was too long
    TGate FGate = TGate::Undecided;
    bool FCheckedVfo = false; // the client asked \chk_vfo: it reads dump_state's settings
    char FSplitVfo = 0; // the VFO V chose while split, which f and F address
    bool FQuit = false;
    bool FOverflowed = false;
    std::string FOutput;
    size_t FSent = 0;
};

// The rigctl port's clients, each a session on the one rig they share: one
// that outlives the port, or one the port holds over the transceiver (which
// may be null: never connected).
TPortServing RigctlServing(TRigctlRig& rig);
TPortServing RigctlServing(TTransceiver* transceiver);
