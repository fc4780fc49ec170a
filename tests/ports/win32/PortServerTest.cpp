// The port server with a protocol and limits of the test's own: factories
// that fail, a client cap, unread replies and one read other than rigctl's.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "ports/win32/PortServer.h"
#include "tests/support/win32/LoopbackSocket.h"

namespace {

// Echoes what it is sent, but "!" with a flood; "q" ends it.
class TEchoSession : public IPortSession {
public:
    TEchoSession(size_t& largestRead, int& live) : FLargestRead(largestRead), FLive(live) { ++FLive; }
    // A session goes with its client: what it holds (a PTT key) is let go then.
    ~TEchoSession() override { --FLive; }
    void Received(std::string_view data) override { FLargestRead = std::max(FLargestRead, data.size()), FIn += data; }
    bool Run(bool) override
    {
        for (char c : FIn)
            FQuit = FQuit || c == 'q', FOut += c == '!' ? std::string(32 << 20, c) : std::string(1, c);
        return FIn.clear(), false;
    }
    bool Pending() const override { return !FIn.empty(); }
    size_t Backlog() const override { return FIn.size(); }
    std::string_view Output() const override { return std::string_view(FOut).substr(FSent); }
    void Sent(size_t count) override { FSent += count; }
    bool QuitRequested() const override { return FQuit; }
    bool Finished() const override { return FQuit && Output().empty(); }
    bool Overflowed() const override { return false; } // the server's limits alone drop it
    bool Refused() const override { return false; }

private:
    size_t& FLargestRead;
    int& FLive;
    std::string FIn, FOut;
    size_t FSent = 0;
    bool FQuit = false;
};

constexpr TPortKind kEcho{"echo", L"VelkorEchoPortTest", {2, 1 << 20, 7}};

// The server's own Winsock serves the clients too.
struct PortServerTest : ::testing::Test {
    // A non-blocking client of the port that sent bytes.
    SOCKET Client(const std::string& bytes)
    {
        uint16_t unused = 0;
        const SOCKET client = BoundLoopbackSocket(unused);
        sockaddr_in address{AF_INET, htons(Server.Port()), {}, {}};
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        u_long nonBlocking = 1;
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(send(client, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
        ioctlsocket(client, FIONBIO, &nonBlocking);
        return Clients.push_back(client), client;
    }
    // Serves the port until done, 10 s at most (a slow machine's patience).
    template <class TDone>
    static void ServeUntil(TDone done)
    {
        for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < 10000;) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageW(&msg);
        }
    }
    // Reads what came; true once the port closed it.
    static bool Read(SOCKET client, std::string& received)
    {
        char buffer[65536];
        for (int got; (got = recv(client, buffer, sizeof(buffer), 0)) != 0; received.append(buffer, got))
            if (got < 0)
                return WSAGetLastError() != WSAEWOULDBLOCK;
        return true;
    }

    size_t LargestRead = 0;
    int Live = 0; // sessions not yet destroyed
    int Made = 0; // sessions asked for: the first raises, the second is none
    TWin32PortServer Server{kEcho,
                            {[this]() -> std::unique_ptr<IPortSession> {
                                 if (++Made == 1)
                                     throw std::runtime_error("out of sessions");
                                 return Made == 2 ? nullptr : std::make_unique<TEchoSession>(LargestRead, Live);
                             },
                             nullptr},
                            0};
    std::vector<SOCKET> Clients;
};

TEST_F(PortServerTest, ItsOwnFactoryAndLimitsHold)
{
    const struct {
        const char* What;
        std::string Sent, Received;
        bool Closed;
    } cases[] = {
        {"a factory that raises", "hello", "", true},
        {"a factory that gives none", "hello", "", true},
        {"a line past one read, and quit", "hello, a line past one read\nq", "hello, a line past one read\nq", true},
        {"a flood it never reads, past the unread replies", "!", "", true},
        {"one of two", "x", "x", false},
        {"the other", "x", "x", false},
        {"a third, in the place of the one silent longest", "x", "x", false},
    };
    for (const auto& c : cases) {
        const SOCKET client = Client(c.Sent);
        std::string received;
        // One it closes is not read before: the flood's client never reads.
        ServeUntil([&] {
            if (c.Closed)
                return Made == &c - cases + 1 && Server.Connections() == 0;
            return Read(client, received) || received == c.Received;
        });
        EXPECT_EQ(Read(client, received), c.Closed) << c.What;
        EXPECT_TRUE(c.Sent == "!" ? received.size() < (32u << 20) : received == c.Received) << c.What;
        Sleep(50); // each heard later than the one before, past the tick's steps
    }
    EXPECT_LE(LargestRead, kEcho.Limits.MaxBacklog) << "one read is the limits' backlog";
    EXPECT_EQ(Server.Connections(), 2u);
    std::string ignored;
    ServeUntil([&] { return Read(Clients[4], ignored); });
    EXPECT_TRUE(Read(Clients[4], ignored)) << "the first of the three made room";
    EXPECT_FALSE(Read(Clients[5], ignored));
    EXPECT_EQ(Live, 2) << "the sessions of the clients dropped, closed and evicted are gone";
    for (SOCKET client : Clients)
        closesocket(client);
    ServeUntil([&] { return Live == 0; });
    EXPECT_EQ(Live, 0) << "and those of the clients that closed";
}

} // namespace
