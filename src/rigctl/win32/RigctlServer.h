#pragma once
// The rigctl port on Winsock: a listening socket on 127.0.0.1 only and at
// most Rigctl::kMaxConnections clients (one more is closed at once), served on
// the user-interface thread through the messages of a message-only window
// (WSAAsyncSelect), so that the transceiver is only ever called from that
// thread, as the automation server keeps it.
//
// A command's rig call lets COM serve messages while it waits, this window's
// too: a client whose command is running is not read again or closed until it
// has returned (its messages are noted and served then).

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "rigctl/RigctlSession.h"
#include "rigctl/RigctlSettings.h"

class TRigctlRig;

class TWin32RigctlServer {
public:
    // Winsock's SOCKET, without its header: windows.h would have come first.
    using TSocket = UINT_PTR;

    // Opens the port (0: one the system picks); raises EOleError with the
    // system's text when it cannot.
    TWin32RigctlServer(TRigctlRig& rig, uint16_t port);
    ~TWin32RigctlServer();
    TWin32RigctlServer(const TWin32RigctlServer&) = delete;
    TWin32RigctlServer& operator=(const TWin32RigctlServer&) = delete;

    uint16_t Port() const { return FPort; }
    size_t Connections() const { return FConnections.size(); }

    // Its message-only window's messages (ObjectWindowProc).
    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct TConnection {
        TConnection(TSocket socket, TRigctlRig& rig) : Socket(socket), Session(rig) {}
        TSocket Socket;
        TRigctlSession Session;
        bool Busy = false;     // its commands are running
        bool ReadAgain = false;  // data came while they ran
        bool DrainAgain = false; // and the client closed
        bool PeerDone = false; // the client sends no more
        bool Closing = false;  // to be closed once its commands have returned
    };

    void Shutdown();

    void OnSocket(TSocket socket, WORD event, WORD error);
    void Accept();
    // Reads what the client sent (all of it once it has closed) and answers.
    void Serve(TConnection& connection, bool drain);
    // Sends what it can of the replies; false when the connection failed.
    bool Flush(TConnection& connection);
    // Closes it when it is done, has failed or has stopped reading.
    void CloseIfDone(TConnection& connection, bool failed);
    void Close(TConnection& connection);

    TRigctlRig& FRig;
    bool FStarted = false; // Winsock
    TSocket FListener = ~TSocket(0);
    uint16_t FPort = 0;
    HWND FWindow = nullptr;
    std::map<TSocket, std::unique_ptr<TConnection>> FConnections;
};

// The port the setting asks for, or null: closed, or it cannot be opened
// (then error tells why).
std::unique_ptr<TWin32RigctlServer> OpenRigctlPort(const TRigctlSetting& setting, TRigctlRig& rig,
                                                   std::string& error);
