#pragma once
// hamlib's rigctld as the rig server. One connection stays open; every
// exchange is hamlib's extended protocol ("+\get_freq"), whose replies end in
// "RPRT n", so that a reply is known to be whole and an error to be an error.
// A poll reads frequency, mode, VFO and split (four round trips on the open
// connection), and the TX frequency too while split is on. Commands go out at
// once; the next poll reads their effect.
//
// A connection that fails (refused, silent, cut, or answering garbage) is
// closed, and the next attempt waits a back-off that grows from FirstRetry to
// LongestRetry: calls meanwhile fail at once with the failure's text, so a
// missing rigctld costs nothing. A call whose connection ends is made once
// more at once on a new one (rigctld now and then ends a client's connection
// as another client leaves; every command is an absolute set, so a second go
// does no harm). An "RPRT -n" answer is the radio's error and
// keeps the connection.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/SysUtils.h"
#include "rig/RigServer.h"

using TRigctldClock = std::chrono::steady_clock;

// Any failure of rigctld or of the way to it; the text is the report's.
class ERigctldError : public Exception {
    using Exception::Exception;
};

// rigctld answered "RPRT -n" to a command: the radio did not carry it out.
class ERigctldRefused : public ERigctldError, public IRigRefusal {
    using ERigctldError::ERigctldError;
};

// The way to rigctld failed, or what came is no rigctld's answer: the
// connection is dropped. The text is the cause ("connection refused").
class ERigctldLinkError : public ERigctldError {
    using ERigctldError::ERigctldError;
};

// The connection ended: rigctld closed or reset it.
class ERigctldConnectionLost : public ERigctldLinkError {
    using ERigctldLinkError::ERigctldLinkError;
};

// The connection as the client needs it: the system's socket, or a test's
// stand-in. Every call raises ERigctldLinkError with the cause ("connection
// refused", "no answer") when it fails or passes its deadline.
class IRigctldLink {
public:
    virtual ~IRigctldLink() = default;
    // Connects afresh.
    virtual void Connect(const std::string& host, uint16_t port, TRigctldClock::time_point deadline) = 0;
    virtual void Close() = 0;
    // Sends all of text.
    virtual void Send(std::string_view text, TRigctldClock::time_point deadline) = 0;
    // The next line, without its end.
    virtual std::string ReadLine(TRigctldClock::time_point deadline) = 0;
};

// Cuts what a link receives into lines; a line longer than kMaxLine is no
// rigctld's.
class TLineBuffer {
public:
    static constexpr size_t kMaxLine = 4096;
    void Append(std::string_view bytes) { FBytes.append(bytes); }
    // True with the next line taken out ("\n" or "\r\n" ended); raises
    // ERigctldLinkError once the pending text outgrows a line.
    bool TakeLine(std::string& line);
    void Clear() { FBytes.clear(); }

private:
    std::string FBytes;
};

struct TRigctldTimes {
    std::chrono::milliseconds Connect{2500};
    // One call's exchanges together: within the rig server thread's deadline.
    std::chrono::milliseconds Exchange{2500};
    std::chrono::milliseconds FirstRetry{500};
    std::chrono::milliseconds LongestRetry{5000};
    // A poll reads PTT every this many polls (0: only while transmitting),
    // and at every poll while the radio was last known to transmit.
    int PttPolls = 4;
};

class TRigctldServer : public IRigServer {
public:
    using TNow = std::function<TRigctldClock::time_point()>;

    TRigctldServer(std::unique_ptr<IRigctldLink> link, std::string host, uint16_t port, TRigctldTimes times = {},
                   TNow now = TRigctldClock::now);
    ~TRigctldServer() override;
    TRigctldServer(const TRigctldServer&) = delete;
    TRigctldServer& operator=(const TRigctldServer&) = delete;

    // The rig object refers to this server and must not outlive it. GetFreq
    // reads the radio afresh; the other reads answer from that reading until
    // a command goes out, and read afresh themselves when there is none.
    std::unique_ptr<IRig> Rig() override;
    // A poll's reading afresh.
    bool ReadAll(TRigReading& reading) override;
    // rigctld has no dialog of its own: the program's serves it.
    void ShowRigDialog(bool) override {}
    bool Connected() const override { return FConnected; }
    // rigctld keys the radio with set_ptt.
    bool CanKey() const override { return true; }

    struct TState {
        int32_t Freq = 0;
        int32_t FreqA = 0;
        int32_t FreqB = 0;
        char Rx = 'A';
        char Tx = 'A';
        std::string Mode; // hamlib's name
        // Read by the last poll, when it read PTT.
        std::optional<bool> Ptt;
    };

private:
    friend class TRigctldRig;
    struct TReply {
        int Code = 0;
        // "Key: value" lines in order.
        std::vector<std::pair<std::string, std::string>> Values;
        const std::string* Find(std::string_view key) const;
    };

    void EnsureConnected();
    // Sends the commands (without "+" and line end) in turn and reads their replies.
    std::vector<TReply> Exchange(const std::vector<std::string>& commands, TRigctldClock::time_point deadline);
    TReply ReadReply(const std::string& command, TRigctldClock::time_point deadline);
    // Runs one call: connects first when needed; a failed connection is
    // dropped and the back-off begins.
    template <class TCall>
    decltype(auto) Guarded(TCall call);
    void Drop(const std::string& cause);

    const TState& Read();
    void Poll();
    // Raises the reading fault for a frequency the display cannot show.
    void CheckShown(const std::string& text, int64_t hertz) const;
    // Raises, before anything goes out, for a frequency no radio is sent.
    void CheckTunable(int32_t value) const;
    // Within the deadline of the call under way.
    void Command(const std::string& name, const std::string& args, const char* what);
    void PutFreqOf(char vfo, int32_t value);
    // Switches back to the VFO a call left, once it has gone out.
    void RestoreVfo();
    void PutVfo(int32_t flag);
    void PutMode(int32_t flag);
    void PutPtt(bool on);
    // Reads PTT in the poll under way when it is due; a radio that cannot
    // tell leaves it unknown.
    std::optional<bool> PollPtt(const std::string& target, TRigctldClock::time_point deadline);
    std::optional<bool> ReadPtt(const std::string& target, TRigctldClock::time_point deadline);
    // "currVFO " when rigctld wants a VFO before the arguments.
    std::string Target() const { return FVfoMode ? "currVFO " : ""; }
    std::string Where() const;

    std::unique_ptr<IRigctldLink> FLink;
    const std::string FHost;
    const uint16_t FPort;
    const TRigctldTimes FTimes;
    TNow FNow;

    bool FConnected = false;
    bool FVfoMode = false;
    std::string FModel;
    TState FState;
    // FState is the last poll's and no command has gone out since.
    bool FFresh = false;
    bool FPolled = false;
    // Transmitting, as last read or set; polls since PTT was last read.
    bool FKeyed = false;
    int FPollsWithoutPtt = 0;
    TRigctldClock::time_point FRetryAt{};
    // The deadline of the call under way (Guarded sets it).
    TRigctldClock::time_point FDeadline{};
    // A VFO switched away from for a call, still to be switched back to.
    std::optional<char> FVfoToRestore;
    std::chrono::milliseconds FRetryAfter;
    std::string FLastFailure;
};

// hamlib's text for an "RPRT -n" code ("Command rejected by the rig").
std::string RigctldErrorText(int code);
