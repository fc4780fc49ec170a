// Winsock before windows.h, which the server's header brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "rigctl/win32/RigctlServer.h"

#include <algorithm>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "ui/win32/WindowClass.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VelkorRigctlPort";
constexpr UINT kSocketMessage = WM_APP + 1;
constexpr int kReadSize = 16384;

[[noreturn]] void RaiseSocketError(const char* what, int error)
{
    const HRESULT code = HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    throw EOleError(Format("%s: %s", what, OleErrorText(code).c_str()), code);
}

} // namespace

TWin32RigctlServer::TWin32RigctlServer(TRigctlRig& rig, uint16_t port) : FRig(rig)
{
    // What was done is undone when a later step fails.
    struct TUndo {
        TWin32RigctlServer* Server;
        ~TUndo()
        {
            if (Server)
                Server->Shutdown();
        }
    } undo{this};

    WSADATA data{};
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data))
        RaiseSocketError("Cannot start Windows Sockets", error);
    FStarted = true;

    RegisterWindowClass(kWindowClass, &ObjectWindowProc<TWin32RigctlServer>, 0);
    if (!CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), this))
        RaiseLastError();

    const std::string where = Format("Cannot open the rigctl port 127.0.0.1:%u", static_cast<unsigned>(port));
    FListener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (FListener == INVALID_SOCKET)
        RaiseSocketError(where.c_str(), WSAGetLastError());
    // Nobody else may take the port over while it is open.
    BOOL exclusive = TRUE;
    setsockopt(FListener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof(exclusive));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // never another address
    address.sin_port = htons(port);
    int length = sizeof(address);
    if (bind(FListener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(FListener, SOMAXCONN) != 0 || WSAAsyncSelect(FListener, FWindow, kSocketMessage, FD_ACCEPT) != 0)
        RaiseSocketError(where.c_str(), WSAGetLastError());
    FPort = ntohs(address.sin_port);
    undo.Server = nullptr;
}

TWin32RigctlServer::~TWin32RigctlServer() { Shutdown(); }

void TWin32RigctlServer::Shutdown()
{
    for (auto& [socket, connection] : FConnections)
        closesocket(socket);
    FConnections.clear();
    if (FListener != INVALID_SOCKET)
        closesocket(FListener);
    FListener = INVALID_SOCKET;
    if (FWindow)
        DestroyWindow(FWindow);
    FWindow = nullptr;
    if (FStarted)
        WSACleanup();
    FStarted = false;
}

LRESULT TWin32RigctlServer::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        FWindow = window;
    switch (message) {
    case kSocketMessage:
        OnSocket(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        FWindow = nullptr;
        return 0;
    default:
        return DefWindowProcW(FWindow, message, wParam, lParam);
    }
}

void TWin32RigctlServer::OnSocket(TSocket socket, WORD event, WORD error)
{
    if (socket == FListener) {
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
            CloseIfDone(connection, true);
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

void TWin32RigctlServer::Accept()
{
    for (;;) {
        const SOCKET socket = accept(FListener, nullptr, nullptr);
        if (socket == INVALID_SOCKET)
            return;
        if (FConnections.size() >= Rigctl::kMaxConnections ||
            WSAAsyncSelect(socket, FWindow, kSocketMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            closesocket(socket);
            continue;
        }
        try {
            FConnections[socket] = std::make_unique<TConnection>(socket, FRig);
        } catch (...) {
            FConnections.erase(socket);
            closesocket(socket);
        }
    }
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
    // One read a message: Winsock posts another while data is left, and the
    // window's other messages take their turns between them. A closed
    // connection is read to its end.
    try {
        char buffer[kReadSize];
        do {
            drain = drain || connection.DrainAgain;
            connection.ReadAgain = false;
            connection.DrainAgain = false;
            for (bool more = true; more && !connection.Session.QuitRequested();) {
                const int got = recv(connection.Socket, buffer, kReadSize, 0);
                if (got > 0)
                    connection.Session.Received(std::string_view(buffer, static_cast<size_t>(got)));
                else if (got == 0)
                    connection.PeerDone = true;
                else if (WSAGetLastError() != WSAEWOULDBLOCK)
                    failed = true;
                more = got > 0 && drain;
            }
        } while (connection.ReadAgain && !failed);
    } catch (...) {
        failed = true;
    }
    connection.Busy = false;
    CloseIfDone(connection, failed || !Flush(connection));
}

bool TWin32RigctlServer::Flush(TConnection& connection)
{
    for (std::string_view output = connection.Session.Output(); !output.empty();
         output = connection.Session.Output()) {
        const int sent = send(connection.Socket, output.data(), static_cast<int>(std::min<size_t>(output.size(), 65536)), 0);
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
    const SOCKET socket = connection.Socket;
    closesocket(socket);
    FConnections.erase(socket);
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
