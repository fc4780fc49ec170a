#pragma once
// One client of the XML-RPC port: the rig programs' XML-RPC protocol, as
// hamlib's model 4 and fldigi's rig-program client speak it, from the bytes
// the client sends to the bytes it is sent. No sockets here: the Win32 port
// moves the bytes.
//
// HTTP/1.1 POSTs of method calls on any path, bodies by Content-Length,
// several on one connection, pipelined ones answered in order; each answer an
// HTTP 200 with a methodResponse, a fault for an unknown method, wrong
// parameters (nothing sent), or reads while the radio is not read. Header
// names in any case.
//
// Only such a client is served. What is not an HTTP request line at its
// first bytes (TLS, SSH, rigctl commands) is refused, nothing answered. A
// browser's request runs nothing and is answered, then closed: a method other
// than POST 405, an Origin header or a body that is not XML 403. A chunked
// body 501, no length 411, a head over kMaxHead 431, a body over kMaxBody 413,
// a malformed head 400: each closes the connection, nothing of it run.
//
// Bytes received wait in the session and run a share at a time: at most
// kCallsPerRun calls, and of those at most one that reaches the radio.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/PortSession.h"
#include "xmlrpc/XmlRpcCall.h"

class TRigctlRig;
class TTransceiver;

namespace XmlRpc {
constexpr uint16_t kDefaultPort = 12345;
constexpr size_t kMaxConnections = 16;
// A request's line and headers, and its body.
constexpr size_t kMaxHead = 8 * 1024;
constexpr size_t kMaxBody = 64 * 1024;
// Replies a client has not taken beyond this stop its calls and drop it.
constexpr size_t kMaxPendingOutput = 256 * 1024;
constexpr int kCallsPerRun = 16;
// The port's: its clients, what they leave unread, one read of a client.
constexpr TPortLimits kPortLimits{kMaxConnections, kMaxPendingOutput, 16384};
// The faults' codes.
constexpr int kFaultUnknownMethod = -32601;
constexpr int kFaultBadParams = -32602;
constexpr int kFaultMalformed = -32700;
constexpr int kFaultRig = 1; // the radio is not read, or the command failed
constexpr int kFaultNotAvailable = 2;
} // namespace XmlRpc

class TXmlRpcSession : public IPortSession {
public:
    explicit TXmlRpcSession(TRigctlRig& rig) : FRig(rig) {}
    ~TXmlRpcSession() override;

    void Received(std::string_view data) override;
    bool Run(bool mayReachRig = true) override;
    // More is to run: a whole request waits, or bytes not yet looked at.
    bool Pending() const override;
    size_t Backlog() const override { return FInput.size() - FInputAt; }

    std::string_view Output() const override { return std::string_view(FOutput).substr(FSent); }
    void Sent(size_t count) override;

    // The connection is to close after the replies: asked by the client, or
    // after an HTTP error.
    bool QuitRequested() const override { return FClosing; }
    bool Finished() const override { return FClosing && Output().empty(); }
    bool Overflowed() const override { return FOverflowed; }
    // It is no HTTP client: nothing of it ran, and it is to be dropped.
    bool Refused() const override { return FRefused; }

private:
    enum class TStage { Head, Body, Ready };
    bool Stopped() const { return FClosing || FOverflowed || FRefused; }
    // Takes bytes into the request coming; true once it is whole.
    void TakeHead();
    void TakeBody();
    // The head is whole: checks it; false when it was answered with an error.
    bool CheckHead();
    // Runs the whole request; false when it must wait for the radio.
    bool RunRequest(int& rigCommands);
    void HttpError(int status, const char* reason);
    void Reply(std::string_view reply);

    TRigctlRig& FRig;
    std::string FInput;
    size_t FInputAt = 0;
    TStage FStage = TStage::Head;
    bool FFirst = true; // no request has come whole yet
    std::string FHead;
    std::string FBody;
    size_t FBodyLength = 0;
    bool FCloseAfter = false; // the request asked to close after its reply
    std::optional<TXmlRpcCall> FCall; // the ready request's call, parsed
    std::string FCallError;
    bool FClosing = false;
    bool FOverflowed = false;
    bool FRefused = false;
    std::string FOutput;
    size_t FSent = 0;
};

// The port's clients, each a session on the one rig they share.
TPortServing XmlRpcServing(TRigctlRig& rig);
TPortServing XmlRpcServing(TTransceiver* transceiver);
