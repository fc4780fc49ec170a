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

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TRigctlRig;

namespace Rigctl {
constexpr uint16_t kDefaultPort = 4532;
constexpr size_t kMaxConnections = 16;
constexpr size_t kMaxLine = 512;
// Replies a client has not taken beyond this stop its commands and drop it:
// it has stopped reading.
constexpr size_t kMaxPendingOutput = 256 * 1024;
} // namespace Rigctl

class TRigctlSession {
public:
    explicit TRigctlSession(TRigctlRig& rig) : FRig(rig) {}

    // Bytes as they come, split anywhere; the replies go to the output.
    void Received(std::string_view data);
    // The replies not yet sent, and how many of their bytes went out.
    std::string_view Output() const { return std::string_view(FOutput).substr(FSent); }
    void Sent(size_t count);

    // The client asked to go ("q"): nothing more is read.
    bool QuitRequested() const { return FQuit; }
    // Time to close: the client went away ("q") and has had every reply.
    bool Finished() const { return FQuit && Output().empty(); }
    // It left more replies unread than a client that reads ever does: its
    // commands stopped there, nothing more is read, and it is to be dropped.
    bool Overflowed() const { return FOverflowed; }

    // One line, without its end: the reply. Empty for a blank line.
    std::string Execute(std::string_view line);

private:
    TRigctlRig& FRig;
    std::string FLine;
    bool FDiscarding = false; // inside a line that was too long
    bool FCheckedVfo = false; // the client asked \chk_vfo: it reads dump_state's settings
    bool FQuit = false;
    bool FOverflowed = false;
    std::string FOutput;
    size_t FSent = 0;
};
