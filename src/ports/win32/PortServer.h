#pragma once
// A sharing port on Winsock, for the sessions of any protocol (ports/
// PortSession.h): a listening socket on 127.0.0.1 only and at most its
// limits' MaxConnections clients (one more takes the place of the one
// silent longest), served on the user-interface thread through the messages of
// a message-only window (WSAAsyncSelect), so that the transceiver is only ever
// called from that thread, as the automation server keeps it.
//
// One event of the window (a socket's message, a timer's) waits for the rig
// server at most once: a client's bytes wait in its session and run a share
// an event (IPortSession::Run), and of all the shares of one event only one
// may send a command to the radio. The rest is served from a timer, whose
// messages come after the window's input and painting, so that a client
// sending thousands of commands never holds the operator up. While a client
// has more waiting than one read brings, its socket is not read: its sending
// stalls, and its bytes stay in the system's buffers.
//
// A command's rig call may serve messages while it waits, this window's too:
// a client whose command is running is not read again or closed until it has
// returned (its messages are noted and served from the timer), and no nested
// event sends a command (the rig server's thread would run it after the one
// waited for, as it would after the transceiver's poll).
//
// Socket messages can fail to come: Wine never reports a connection reset
// before its WSAAsyncSelect, and under load it stops posting FD_ACCEPT while
// connections wait. So a new client is looked at as soon as it is taken, and
// every second a sweep accepts what waits and looks at every idle client: one
// whose peer has gone is closed, what it sent or what waits to be sent is
// served.

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/win32/Socket.h"
#include "base/win32/WindowClass.h"
#include "ports/PortSession.h"

// What a port is: how messages name it ("rigctl": "the rigctl port"), its
// message-only window's class (one a port, so each can be found), and its
// limits.
struct TPortKind {
    const char* Name;
    const wchar_t* WindowClass;
    TPortLimits Limits;
};

class TWin32PortServer {
public:
    // Opens the port (0: one the system picks); raises EOleError with the
    // system's text when it cannot. Each client taken gets a session of
    // serving's factory.
    TWin32PortServer(const TPortKind& kind, TPortServing serving, uint16_t port);
    TWin32PortServer(const TWin32PortServer&) = delete;
    TWin32PortServer& operator=(const TWin32PortServer&) = delete;
    virtual ~TWin32PortServer() = default;

    const TPortKind& Kind() const { return FKind; }
    uint16_t Port() const { return FPort; }
    size_t Connections() const { return FConnections.size(); }

private:
    struct TConnection {
        TConnection(TSocketHandle socket, std::unique_ptr<IPortSession> session, uint64_t now)
            : Socket(std::move(socket)), Session(std::move(session)), HeardAt(now)
        {
        }
        TSocketHandle Socket;
        std::unique_ptr<IPortSession> Session; // never null
        uint64_t HeardAt;      // when it last sent something or had commands run, or came
        bool Busy = false;     // its commands are running
        bool Due = false;      // to be served again from the timer
        bool PeerClosed = false; // FD_CLOSE came: no message comes for what it left unread
        bool PeerDone = false; // the client sends no more, and all it sent was read
        bool Closing = false;  // to be closed once its commands have returned
    };

    // The message-only window's messages: the sockets' and the sweep's.
    friend class TObjectWindow<TWin32PortServer>;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnSocket(TSocket socket, WORD event, WORD error);
    void OnSweep();
    // Serves the clients that have more to run or to read, in turn.
    void OnResume();
    void Accept();
    // Makes room for one more client: closes the one silent longest that is
    // not running commands; false when there is none.
    bool MakeRoom();
    // Reads once what the client sent (unless it has enough waiting), runs a
    // share of it, sends what waits and closes it when it is done, has
    // failed, has stopped reading or is no client of its protocol. A
    // connection with more to do is due for the timer.
    void Serve(TConnection& connection);
    // Whether a share run now may send a command to the radio.
    bool MayReachRig() const;
    void ArmResume();
    // Sends what it can of the replies; false when the connection failed.
    bool Flush(TConnection& connection);
    void CloseIfDone(TConnection& connection, bool failed);
    void Close(TConnection& connection);

    const TPortKind FKind;
    // The sessions' factory and what they share go after the sessions.
    const TPortServing FServing;
    std::vector<char> FReadBuffer; // one read's worth, for whichever client is read
    // In the order they are made; they go the other way round, so a port that
    // failed to open on the way undoes what it did: the clients' sockets, the
    // listener, the window, Winsock.
    TWinsock FWinsock;
    TObjectWindow<TWin32PortServer> FWindow{*this};
    TSocketHandle FListener;
    uint16_t FPort = 0;
    std::map<TSocket, std::unique_ptr<TConnection>> FConnections;
    int FDepth = 0;              // the window's messages being served, nested
    bool FRigLeft = false;       // this event may still send a command to the radio
    bool FResuming = false;      // the timer for the clients due runs
    TSocket FResumedLast = 0;    // the client whose command the timer sent last
};
