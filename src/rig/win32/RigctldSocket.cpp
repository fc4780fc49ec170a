// Winsock before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "rig/win32/RigctldSocket.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

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

// The addresses of host, looked up on a thread of its own: a resolver that
// takes its time (a name server that does not answer) costs the call its
// deadline at most, and is left to end by itself.
std::vector<TRigctldAddress> LookUp(const TRigctldResolver& resolver, const std::string& host, uint16_t port,
                                    TRigctldClock::time_point deadline)
{
    struct TLookup {
        std::mutex Mutex;
        std::condition_variable Done;
        bool Ended = false;
        std::vector<TRigctldAddress> Addresses;
        std::exception_ptr Failure;
    };
    auto lookup = std::make_shared<TLookup>();
    std::thread([lookup, resolver, host, port] {
        std::vector<TRigctldAddress> addresses;
        std::exception_ptr failure;
        try {
            addresses = resolver(host, port);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(lookup->Mutex);
        lookup->Addresses = std::move(addresses);
        lookup->Failure = failure;
        lookup->Ended = true;
        lookup->Done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->Mutex);
    if (!lookup->Done.wait_until(lock, deadline, [&] { return lookup->Ended; }))
        throw ERigctldLinkError("the name " + host + " was not found in time");
    if (lookup->Failure)
        std::rethrow_exception(lookup->Failure);
    if (lookup->Addresses.empty())
        throw ERigctldLinkError("cannot find the host: it has no address");
    return std::move(lookup->Addresses);
}

class TRigctldSocket final : public IRigctldLink {
public:
    explicit TRigctldSocket(TRigctldResolver resolver) : FResolver(std::move(resolver)) {}

    void Connect(const std::string& host, uint16_t port, TRigctldClock::time_point deadline) override
    {
        Close();
        const std::vector<TRigctldAddress> addresses = LookUp(FResolver, host, port, deadline);
        std::string failure = "cannot connect";
        for (size_t i = 0; i < addresses.size(); ++i) {
            const TRigctldAddress& address = addresses[i];
            // Each address has its share of what is left, so that one that
            // never answers leaves time for the next.
            const auto now = TRigctldClock::now();
            const auto share = now + (deadline > now ? (deadline - now) / static_cast<long>(addresses.size() - i)
                                                     : TRigctldClock::duration::zero());
            TSocketHandle socket(::socket(address.Family, SOCK_STREAM, IPPROTO_TCP));
            if (!socket) {
                failure = "cannot make a socket: " + SystemText(WSAGetLastError());
                continue;
            }
            // Non-blocking, so that no wait outlasts the deadline.
            u_long nonBlocking = 1;
            ioctlsocket(socket.Get(), FIONBIO, &nonBlocking);
            const auto* sockaddrOf = reinterpret_cast<const sockaddr*>(address.Bytes.data());
            if (connect(socket.Get(), sockaddrOf, static_cast<int>(address.Bytes.size())) == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                if (error != WSAEWOULDBLOCK) {
                    failure = "cannot connect: " + SystemText(error);
                    continue;
                }
                if (!WaitFor(socket.Get(), true, share)) {
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
    TRigctldResolver FResolver;
    TSocketHandle FSocket;
    TLineBuffer FLines;
};

} // namespace

std::vector<TRigctldAddress> ResolveRigctldHost(const std::string& host, uint16_t port)
{
    const TWinsock winsock; // the lookup's thread may outlive the socket
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found))
        throw ERigctldLinkError("cannot find the host: " + SystemText(error));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owned(found, freeaddrinfo);
    std::vector<TRigctldAddress> addresses;
    for (const addrinfo* address = found; address; address = address->ai_next) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(address->ai_addr);
        addresses.push_back({address->ai_family, {bytes, bytes + address->ai_addrlen}});
    }
    return addresses;
}

std::unique_ptr<IRigctldLink> MakeRigctldSocket(TRigctldResolver resolver)
{
    return std::make_unique<TRigctldSocket>(std::move(resolver));
}
