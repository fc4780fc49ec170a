#pragma once
// What a sharing port serves, without sockets: one client of a protocol of
// requests or lines (TRigctlSession is one), the limits the port keeps for
// it, and how the port makes one for each client it takes. The Winsock side
// (ports/win32/PortServer.h) moves the bytes and serves any of them alike.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class IPortSession {
public:
    virtual ~IPortSession() = default;

    // Bytes as they come, split anywhere; they wait until Run.
    virtual void Received(std::string_view data) = 0;
    // Runs the next share of what was received (mayReachRig false: nothing
    // that goes to the radio, it stops before the first); true when a
    // command went to the radio. Replies go to the output, in order.
    virtual bool Run(bool mayReachRig) = 0;
    // More is to run: Run again.
    virtual bool Pending() const = 0;
    // Bytes received and not yet run.
    virtual size_t Backlog() const = 0;

    // The replies not yet sent, and how many of their bytes went out.
    virtual std::string_view Output() const = 0;
    virtual void Sent(size_t count) = 0;

    // The client asked to go: nothing more is read.
    virtual bool QuitRequested() const = 0;
    // Time to close: the client went away and has had every reply.
    virtual bool Finished() const = 0;
    // It left more replies unread than a client that reads ever does.
    virtual bool Overflowed() const = 0;
    // It is no client of this protocol: nothing of it ran.
    virtual bool Refused() const = 0;

    // Its socket is read: it has not asked to go and is not to be dropped.
    bool Reading() const { return !QuitRequested() && !Overflowed() && !Refused(); }
};

// What one port allows each of its clients and all of them.
struct TPortLimits {
    size_t MaxConnections = 0; // one more takes the place of the one silent longest
    // Replies a client has not taken beyond this drop it: it has stopped
    // reading (a session may stop its commands sooner, as Overflowed).
    size_t MaxPendingOutput = 0;
    // One read's worth; a client with this much received and not yet run is
    // not read until it has less, so it never holds more than two.
    size_t MaxBacklog = 0;
};

// To be dropped now: refused, overflowed, or more unread than the limits allow.
bool Dropped(const IPortSession& session, const TPortLimits& limits);

// A new client's session; one that raises or gives none turns the client away.
using TPortSessionFactory = std::function<std::unique_ptr<IPortSession>()>;

// The radio behind a port, as its server needs it.
struct TPortServing {
    TPortSessionFactory MakeSession;
    // A call to the rig server is waiting for its answer and this is a
    // message served meanwhile: nothing may go to the radio now. None: never.
    std::function<bool()> RigWaiting;
};
