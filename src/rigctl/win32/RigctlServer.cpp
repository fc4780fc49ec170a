// Winsock before windows.h, which the server's header brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "rigctl/win32/RigctlServer.h"

#include <algorithm>
#include <vector>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VelkorRigctlPort";
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT_PTR kSweepTimer = 1;
constexpr UINT kSweepMs = 1000;
constexpr int kReadSize = 16384;
// A closed connection is read to its end this many reads a message, so that a
// client that sent megabytes does not hold the others up.
constexpr int kDrainReads = 8;

bool Reading(const TRigctlSession& session) { return !session.QuitRequested() && !session.Overflowed(); }

} // namespace

TWin32RigctlServer::TWin32RigctlServer(TRigctlRig& rig, uint16_t port) : FRig(rig)
{
    FWindow.Create({kWindowClass}, 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);

    const std::string where = Format("Cannot open the rigctl port 127.0.0.1:%u", static_cast<unsigned>(port));
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

LRESULT TWin32RigctlServer::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSocketMessage) {
        OnSocket(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
        return 0;
    }
    if (message == WM_TIMER && wParam == kSweepTimer) {
        OnSweep();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TWin32RigctlServer::OnSocket(TSocket socket, WORD event, WORD error)
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
        if (error && event != FD_CLOSE) {
            // It may be the message of a closed socket whose handle came back.
            Check(connection);
        } else if (event == FD_WRITE) {
            CloseIfDone(connection, !connection.Busy && !Flush(connection));
        } else if (event == FD_READ || event == FD_CLOSE) {
            Serve(connection, event == FD_CLOSE);
        }
    } catch (...) {
        // Served connections are never left busy; this one goes if it is still there.
        if (auto left = FConnections.find(socket); left != FConnections.end() && !left->second->Busy)
            Close(*left->second);
    }
}

void TWin32RigctlServer::OnSweep()
{
    try {
        Accept();
        std::vector<TSocket> sockets;
        for (const auto& [socket, connection] : FConnections)
            sockets.push_back(socket);
        // Checking one may close others; each is looked up again.
        for (TSocket socket : sockets)
            if (auto found = FConnections.find(socket); found != FConnections.end())
                Check(*found->second);
    } catch (...) {
        // Nothing raises out of a window message; the next sweep tries again.
    }
}

void TWin32RigctlServer::Accept()
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
        if ((FConnections.size() >= Rigctl::kMaxConnections && !MakeRoom()) ||
            WSAAsyncSelect(socket.Get(), FWindow.Handle(), kSocketMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0)
            continue;
        TConnection* connection = nullptr;
        try {
            const SOCKET key = socket.Get();
            auto made = std::make_unique<TConnection>(std::move(socket), FRig, GetTickCount64());
            connection = made.get();
            FConnections.emplace(key, std::move(made));
        } catch (...) {
            continue;
        }
        // A client gone before it was taken is never reported.
        Check(*connection);
    }
}

bool TWin32RigctlServer::MakeRoom()
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

void TWin32RigctlServer::Check(TConnection& connection)
{
    if (connection.Busy)
        return;
    char byte = 0;
    const int got = recv(connection.Socket.Get(), &byte, 1, MSG_PEEK);
    if (got >= 0)
        Serve(connection, got == 0); // 0: the client has closed
    else if (WSAGetLastError() != WSAEWOULDBLOCK)
        CloseIfDone(connection, true);
    else
        CloseIfDone(connection, !Flush(connection));
}

void TWin32RigctlServer::Serve(TConnection& connection, bool drain)
{
    if (connection.Busy) {
        connection.ReadAgain = true;
        connection.DrainAgain = connection.DrainAgain || drain;
        return;
    }
    connection.Busy = true;
    bool failed = false;
    bool more = false; // read to its end, it has more than a message's share
    // One read a message: Winsock posts another while data is left, and the
    // window's other messages take their turns between them. A closed
    // connection is read to its end, since no message comes for it any more;
    // a continuation it posts itself takes the next share.
    try {
        char buffer[kReadSize];
        do {
            drain = drain || connection.DrainAgain;
            connection.ReadAgain = false;
            connection.DrainAgain = false;
            more = false;
            const int reads = drain ? kDrainReads : 1;
            for (int read = 0; read < reads && Reading(connection.Session); ++read) {
                const int got = recv(connection.Socket.Get(), buffer, kReadSize, 0);
                if (got <= 0) {
                    if (got == 0)
                        connection.PeerDone = true;
                    else if (WSAGetLastError() != WSAEWOULDBLOCK)
                        failed = true;
                    break;
                }
                connection.HeardAt = GetTickCount64();
                connection.Session.Received(std::string_view(buffer, static_cast<size_t>(got)));
                more = drain && read + 1 == reads;
            }
        } while (connection.ReadAgain && !failed);
    } catch (...) {
        failed = true;
    }
    connection.Busy = false;
    // Should the post fail, the sweep finds the data.
    if (more && !failed && Reading(connection.Session))
        PostMessageW(FWindow.Handle(), kSocketMessage, connection.Socket.Get(), WSAMAKESELECTREPLY(FD_CLOSE, 0));
    CloseIfDone(connection, failed || !Flush(connection));
}

bool TWin32RigctlServer::Flush(TConnection& connection)
{
    for (std::string_view output = connection.Session.Output(); !output.empty();
         output = connection.Session.Output()) {
        const int sent = send(connection.Socket.Get(), output.data(), static_cast<int>(std::min<size_t>(output.size(), 65536)), 0);
        if (sent > 0)
            connection.Session.Sent(static_cast<size_t>(sent));
        else
            return WSAGetLastError() == WSAEWOULDBLOCK; // FD_WRITE comes when there is room
    }
    return true;
}

void TWin32RigctlServer::CloseIfDone(TConnection& connection, bool failed)
{
    const bool done = connection.Session.Finished() || (connection.PeerDone && connection.Session.Output().empty());
    if (failed || done || connection.Session.Overflowed() || connection.Closing)
        Close(connection);
}

void TWin32RigctlServer::Close(TConnection& connection)
{
    if (connection.Busy) {
        connection.Closing = true;
        return;
    }
    // Its owner closes the socket.
    FConnections.erase(connection.Socket.Get());
}

std::unique_ptr<TWin32RigctlServer> OpenRigctlPort(const TRigctlSetting& setting, TRigctlRig& rig, std::string& error)
{
    error = setting.Error;
    if (setting.Port == 0)
        return nullptr;
    try {
        return std::make_unique<TWin32RigctlServer>(rig, setting.Port);
    } catch (const std::exception& failure) {
        error = failure.what();
        return nullptr;
    }
}
