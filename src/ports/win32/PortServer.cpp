// Winsock before windows.h, which the server's header brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "ports/win32/PortServer.h"

#include <algorithm>
#include <vector>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT_PTR kSweepTimer = 1;
constexpr UINT kSweepMs = 1000;
// Clients with more to run come back after the window's own messages; the
// shortest timer there is.
constexpr UINT_PTR kResumeTimer = 2;
} // namespace

TWin32PortServer::TWin32PortServer(const TPortKind& kind, TPortServing serving, uint16_t port)
    : FKind(kind), FServing(std::move(serving)), FReadBuffer(kind.Limits.MaxBacklog)
{
    FWindow.Create({kind.WindowClass}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);

    const std::string where =
        Format("Cannot open the %s port 127.0.0.1:%u", kind.Name, static_cast<unsigned>(port));
    FListener.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!FListener)
        RaiseSocketError(where.c_str(), WSAGetLastError());
    const SOCKET listener = FListener.Get();
    // Nobody else may take the port over while it is open.
    BOOL exclusive = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof(exclusive));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never another address
    address.sin_port = htons(port);
    int length = sizeof(address);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        WSAAsyncSelect(listener, FWindow.Handle(), kSocketMessage, FD_ACCEPT) != 0)
        RaiseSocketError(where.c_str(), WSAGetLastError());
    if (!SetTimer(FWindow.Handle(), kSweepTimer, kSweepMs, nullptr))
        RaiseLastError();
    FPort = ntohs(address.sin_port);
}

LRESULT TWin32PortServer::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool socketMessage = message == kSocketMessage;
    if (!socketMessage && (message != WM_TIMER || (wParam != kSweepTimer && wParam != kResumeTimer)))
        return DefWindowProcW(window, message, wParam, lParam);
    // The event that is not served within another may send one command.
    if (++FDepth == 1)
        FRigLeft = true;
    if (socketMessage)
        OnSocket(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
    else if (wParam == kSweepTimer)
        OnSweep();
    else
        OnResume();
    --FDepth;
    return 0;
}

void TWin32PortServer::OnSocket(TSocket socket, WORD event, WORD error)
{
    if (socket == FListener.Get()) {
        if (event == FD_ACCEPT)
            Accept();
        return;
    }
    // A message of a socket closed since finds nothing, or (its handle used
    // again) a connection whose read finds nothing to read.
    auto found = FConnections.find(socket);
    if (found == FConnections.end())
        return;
    TConnection& connection = *found->second;
    // Nothing raises out of a window message; a connection that cannot be
    // served (out of memory) is let go.
    try {
        if (event == FD_WRITE && !error) {
            CloseIfDone(connection, !connection.Busy && !Flush(connection));
        } else {
            // An error may be the message of a closed socket whose handle
            // came back: the read tells.
            connection.PeerClosed = connection.PeerClosed || (event == FD_CLOSE && !error);
            Serve(connection);
        }
    } catch (...) {
        // Served connections are never left busy; this one goes if it is still there.
        if (auto left = FConnections.find(socket); left != FConnections.end() && !left->second->Busy)
            Close(*left->second);
    }
}

void TWin32PortServer::OnSweep()
{
    try {
        Accept();
        std::vector<TSocket> sockets;
        for (const auto& [socket, connection] : FConnections)
            sockets.push_back(socket);
        // Serving one may close others; each is looked up again.
        for (TSocket socket : sockets)
            if (auto found = FConnections.find(socket); found != FConnections.end() && !found->second->Busy)
                Serve(*found->second);
    } catch (...) {
        // Nothing raises out of a window message; the next sweep tries again.
    }
}

void TWin32PortServer::OnResume()
{
    try {
        // In turn: the clients after the one whose command went last first.
        std::vector<TSocket> sockets;
        for (auto it = FConnections.upper_bound(FResumedLast); it != FConnections.end(); ++it)
            sockets.push_back(it->first);
        for (auto it = FConnections.begin(); it != FConnections.end() && it->first <= FResumedLast; ++it)
            sockets.push_back(it->first);
        for (TSocket socket : sockets) {
            auto found = FConnections.find(socket);
            if (found == FConnections.end() || !found->second->Due || found->second->Busy)
                continue;
            const bool rigLeft = FRigLeft;
            Serve(*found->second);
            if (rigLeft && !FRigLeft)
                FResumedLast = socket;
        }
    } catch (...) {
        // Nothing raises out of a window message; what is due stays due.
    }
    for (const auto& [socket, connection] : FConnections)
        if (connection->Due)
            return;
    KillTimer(FWindow.Handle(), kResumeTimer);
    FResuming = false;
}

void TWin32PortServer::ArmResume()
{
    // Should the timer fail, the sweep serves them.
    if (!FResuming)
        FResuming = SetTimer(FWindow.Handle(), kResumeTimer, USER_TIMER_MINIMUM, nullptr) != 0;
}

bool TWin32PortServer::MayReachRig() const
{
    return FDepth == 1 && FRigLeft && !(FServing.RigWaiting && FServing.RigWaiting());
}

void TWin32PortServer::Accept()
{
    for (;;) {
        // A client not taken on is closed by its owner.
        TSocketHandle socket(accept(FListener.Get(), nullptr, nullptr));
        if (!socket) {
            // One reset while it waited is skipped; anything else (none
            // waits, no handles left) the sweep tries again.
            if (WSAGetLastError() == WSAECONNRESET)
                continue;
            return;
        }
        if ((FConnections.size() >= FKind.Limits.MaxConnections && !MakeRoom()) ||
            WSAAsyncSelect(socket.Get(), FWindow.Handle(), kSocketMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0)
            continue;
        TConnection* connection = nullptr;
        try {
            // A session that cannot be made turns the client away.
            auto session = FServing.MakeSession ? FServing.MakeSession() : nullptr;
            if (!session)
                continue;
            const SOCKET key = socket.Get();
            auto made = std::make_unique<TConnection>(std::move(socket), std::move(session), GetTickCount64());
            connection = made.get();
            FConnections.emplace(key, std::move(made));
        } catch (...) {
            continue;
        }
        // A client gone before it was taken is never reported.
        Serve(*connection);
    }
}

bool TWin32PortServer::MakeRoom()
{
    TConnection* silent = nullptr;
    for (const auto& [socket, connection] : FConnections)
        if (!connection->Busy && (!silent || connection->HeardAt < silent->HeardAt))
            silent = connection.get();
    if (!silent)
        return false;
    Close(*silent);
    return true;
}

void TWin32PortServer::Serve(TConnection& connection)
{
    if (connection.Busy) {
        connection.Due = true;
        ArmResume();
        return;
    }
    connection.Busy = true;
    connection.Due = false;
    IPortSession& session = *connection.Session;
    bool failed = false;
    bool held = false; // not read: it has enough waiting
    try {
        if (session.Reading() && !connection.PeerDone) {
            if (session.Backlog() >= FReadBuffer.size()) {
                held = true;
            } else {
                const int got = recv(connection.Socket.Get(), FReadBuffer.data(), static_cast<int>(FReadBuffer.size()), 0);
                if (got > 0) {
                    connection.HeardAt = GetTickCount64();
                    session.Received(std::string_view(FReadBuffer.data(), static_cast<size_t>(got)));
                } else if (got == 0) {
                    connection.PeerDone = true;
                } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
                    failed = true;
                } else {
                    // A closed client's socket never blocks: that FD_CLOSE was
                    // of a socket gone before whose handle this one got.
                    connection.PeerClosed = false;
                }
            }
        }
        // One whose commands wait is not silent, read or not.
        if (session.Pending())
            connection.HeardAt = GetTickCount64();
        if (!failed && session.Run(MayReachRig()))
            FRigLeft = false;
    } catch (...) {
        failed = true;
    }
    connection.Busy = false;
    // Winsock posts another read message only after a read, and none once
    // the client has closed: the timer comes back for what is left.
    const bool due = connection.Due || held || session.Pending() ||
                     (connection.PeerClosed && !connection.PeerDone && session.Reading());
    connection.Due = due;
    CloseIfDone(connection, failed || !Flush(connection));
    if (due)
        ArmResume();
}

bool TWin32PortServer::Flush(TConnection& connection)
{
    IPortSession& session = *connection.Session;
    for (std::string_view output = session.Output(); !output.empty(); output = session.Output()) {
        const int sent = send(connection.Socket.Get(), output.data(), static_cast<int>(std::min<size_t>(output.size(), 65536)), 0);
        if (sent > 0)
            session.Sent(static_cast<size_t>(sent));
        else
            return WSAGetLastError() == WSAEWOULDBLOCK; // FD_WRITE comes when there is room
    }
    return true;
}

void TWin32PortServer::CloseIfDone(TConnection& connection, bool failed)
{
    const IPortSession& session = *connection.Session;
    const bool done =
        session.Finished() || (connection.PeerDone && !session.Pending() && session.Output().empty());
    if (failed || done || Dropped(session, FKind.Limits) || connection.Closing)
        Close(connection);
}

void TWin32PortServer::Close(TConnection& connection)
{
    if (connection.Busy) {
        connection.Closing = true;
        return;
    }
    // Its owner closes the socket.
    FConnections.erase(connection.Socket.Get());
}
