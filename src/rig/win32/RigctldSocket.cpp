// Winsock before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "rig/win32/RigctldSocket.h"

#include <algorithm>

#include "base/win32/ComUtil.h"
#include "base/win32/Socket.h"

namespace {

using std::chrono::milliseconds;

std::string SystemText(int error)
{
    return OleErrorText(HRESULT_FROM_WIN32(static_cast<DWORD>(error)));
}

// The time left to a deadline, as select wants it; zero once it has passed.
timeval Left(TRigctldClock::time_point deadline)
{
    const auto left = std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::microseconds>(deadline - TRigctldClock::now()).count());
    return {static_cast<long>(left / 1000000), static_cast<long>(left % 1000000)};
}

// Waits until socket can be read (or written); false when the deadline came first.
bool WaitFor(SOCKET socket, bool write, TRigctldClock::time_point deadline)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval left = Left(deadline);
    const int count = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &left);
    if (count == SOCKET_ERROR)
        throw ERigctldLinkError("cannot wait for the connection: " + SystemText(WSAGetLastError()));
    return count > 0;
}

class TRigctldSocket final : public IRigctldLink {
public:
    void Connect(const std::string& host, uint16_t port, TRigctldClock::time_point deadline) override
    {
        Close();
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
            throw ERigctldLinkError("cannot find the host: " + SystemText(error));
        std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
        std::string failure = "cannot connect";
        for (const addrinfo* address = found; address; address = address->ai_next) {
            TSocketHandle socket(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
            if (!socket) {
                failure = "cannot make a socket: " + SystemText(WSAGetLastError());
                continue;
            }
            // Non-blocking, so that no wait outlasts the deadline.
            u_long nonBlocking = 1;
            ioctlsocket(socket.Get(), FIONBIO, &nonBlocking);
            if (connect(socket.Get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK) {
                    failure = "cannot connect: " + SystemText(error);
                    continue;
                }
                if (!WaitFor(socket.Get(), true, deadline)) {
                    failure = "no answer to the connection";
                    continue;
                }
                int result = 0;
                int size = sizeof(result);
                getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size);
                if (result != 0) {
                    failure = "cannot connect: " + SystemText(result);
                    continue;
                }
            }
            // A poll is a few short lines: they go at once.
            BOOL noDelay = TRUE;
            setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                       sizeof(noDelay));
            FSocket = std::move(socket);
            return;
        }
        throw ERigctldLinkError(failure);
    }

    void Close() override
    {
        FSocket.Reset();
        FLines.Clear();
    }

    void Send(std::string_view text, TRigctldClock::time_point deadline) override
    {
        Open();
        while (!text.empty()) {
            const int sent = send(FSocket.Get(), text.data(), static_cast<int>(text.size()), 0);
            if (sent > 0) {
                text.remove_prefix(static_cast<size_t>(sent));
                continue;
            }
            const int error = WSAGetLastError();
            if (error == WSAECONNRESET || error == WSAECONNABORTED)
                throw ERigctldConnectionLost("it ended the connection: " + SystemText(error));
            if (error != WSAEWOULDBLOCK)
                throw ERigctldLinkError("cannot send: " + SystemText(error));
            if (!WaitFor(FSocket.Get(), true, deadline))
                throw ERigctldLinkError("it takes no more commands");
        }
    }

    std::string ReadLine(TRigctldClock::time_point deadline) override
    {
        Open();
        std::string line;
        char buffer[4096];
        while (!FLines.TakeLine(line)) {
            const int got = recv(FSocket.Get(), buffer, sizeof(buffer), 0);
            if (got > 0) {
                FLines.Append(std::string_view(buffer, static_cast<size_t>(got)));
                continue;
            }
            if (got == 0)
                throw ERigctldConnectionLost("it closed the connection");
            const int error = WSAGetLastError();
            if (error == WSAECONNRESET || error == WSAECONNABORTED)
                throw ERigctldConnectionLost("it ended the connection: " + SystemText(error));
            if (error != WSAEWOULDBLOCK)
                throw ERigctldLinkError("the connection failed: " + SystemText(error));
            if (!WaitFor(FSocket.Get(), false, deadline))
                throw ERigctldLinkError("it does not answer");
        }
        return line;
    }

private:
    void Open() const
    {
        if (!FSocket)
            throw ERigctldLinkError("not connected");
    }

    TWinsock FWinsock;
    TSocketHandle FSocket;
    TLineBuffer FLines;
};

} // namespace

std::unique_ptr<IRigctldLink> MakeRigctldSocket() { return std::make_unique<TRigctldSocket>(); }
