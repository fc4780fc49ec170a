// The port server with a protocol of its own, in this process: a session
// factory that fails, and limits other than the rigctl port's.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "ports/win32/PortServer.h"
#include "tests/support/win32/LoopbackSocket.h"

namespace {

constexpr DWORD kPatience = 10000; // ms; what a slow machine gets, never what a test expects

// Echoes what it is sent; "!" is answered with a flood, "q" ends it.
class TEchoSession : public IPortSession {
public:
    explicit TEchoSession(size_t& largestRead) : FLargestRead(largestRead) {}
    void Received(std::string_view data) override
    {
        FLargestRead = std::max(FLargestRead, data.size());
        FInput += data;
    }
    bool Run(bool) override
    {
        for (char c : FInput) {
            FQuit = FQuit || c == 'q';
            FOutput += c == '!' ? std::string(32 << 20, '!') : std::string(1, c);
        }
        FInput.clear();
        return false;
    }
    bool Pending() const override { return !FInput.empty(); }
    size_t Backlog() const override { return FInput.size(); }
    std::string_view Output() const override { return std::string_view(FOutput).substr(FSent); }
    void Sent(size_t count) override { FSent += count; }
    bool QuitRequested() const override { return FQuit; }
    bool Finished() const override { return FQuit && Output().empty(); }
    bool Overflowed() const override { return false; }
    bool Refused() const override { return false; }

private:
    size_t& FLargestRead;
    std::string FInput;
    std::string FOutput;
    size_t FSent = 0;
    bool FQuit = false;
};

constexpr TPortKind kEcho{"echo", L"VelkorEchoPortTest", {2, 1 << 20, 7}};

class PortServerTest : public ::testing::Test {
protected:
    PortServerTest() { WSAStartup(MAKEWORD(2, 2), &FData); }
    ~PortServerTest() override { WSACleanup(); }

    // A client of the port, its bytes sent; INVALID_SOCKET when it cannot connect.
    static SOCKET Client(uint16_t port, const std::string& bytes)
    {
        uint16_t unused = 0;
        const SOCKET client = BoundLoopbackSocket(unused);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        u_long nonBlocking = 1;
        if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            send(client, bytes.data(), static_cast<int>(bytes.size()), 0) != static_cast<int>(bytes.size()) ||
            ioctlsocket(client, FIONBIO, &nonBlocking) != 0) {
            closesocket(client);
            return INVALID_SOCKET;
        }
        return client;
    }

    // Serves the port until done, or for the patience.
    template <class TDone>
    static void ServeUntil(TDone done)
    {
        for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < kPatience;) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
    }
    // What it reads now; closed tells the port closed it.
    static std::string Read(SOCKET client, bool& closed)
    {
        std::string received;
        char buffer[65536];
        for (int got; (got = recv(client, buffer, sizeof(buffer), 0)) != 0;) {
            if (got < 0) {
                closed = WSAGetLastError() != WSAEWOULDBLOCK;
                return received;
            }
            received.append(buffer, static_cast<size_t>(got));
        }
        closed = true;
        return received;
    }

    size_t LargestRead = 0;

private:
    WSADATA FData{};
};

TEST_F(PortServerTest, AClientWhoseSessionCannotBeMadeIsTurnedAwayAndTheNextServed)
{
    int made = 0;
    TWin32PortServer server(kEcho,
                            {[&]() -> std::unique_ptr<IPortSession> {
                                 if (++made == 1)
                                     throw std::runtime_error("out of sessions");
                                 if (made == 2)
                                     return nullptr;
                                 return std::make_unique<TEchoSession>(LargestRead);
                             },
                             nullptr},
                            0);
    for (const char* what : {"a factory that raises", "a factory that gives none"}) {
        const SOCKET client = Client(server.Port(), "hello");
        ASSERT_NE(client, INVALID_SOCKET) << what;
        bool closed = false;
        std::string received;
        ServeUntil([&] { return received += Read(client, closed), closed; });
        EXPECT_TRUE(closed) << what << ": closed at once";
        EXPECT_EQ(received, "") << what;
        EXPECT_EQ(server.Connections(), 0u) << what;
        closesocket(client);
    }
    const SOCKET client = Client(server.Port(), "hello, a long line past one read of the limits\nq");
    ASSERT_NE(client, INVALID_SOCKET);
    bool closed = false;
    std::string received;
    ServeUntil([&] { return received += Read(client, closed), closed; });
    EXPECT_EQ(received, "hello, a long line past one read of the limits\nq");
    EXPECT_TRUE(closed) << "it quit";
    EXPECT_LE(LargestRead, kEcho.Limits.MaxBacklog) << "one read is the limits' backlog";
    closesocket(client);
}

TEST_F(PortServerTest, ItsOwnLimitsHoldForClientsAndUnreadReplies)
{
    int made = 0;
    TWin32PortServer server(kEcho, {[&] { return ++made, std::make_unique<TEchoSession>(LargestRead); }, nullptr}, 0);
    // A client that never reads its flood goes.
    const SOCKET flooded = Client(server.Port(), "!");
    ASSERT_NE(flooded, INVALID_SOCKET);
    ServeUntil([&] { return made == 1 && server.Connections() == 0; });
    EXPECT_EQ(made, 1);
    EXPECT_EQ(server.Connections(), 0u) << "dropped past the limits' unread replies";
    closesocket(flooded);

    // Two clients at most: a third takes the place of the one silent longest.
    SOCKET clients[3];
    for (SOCKET& client : clients) {
        client = Client(server.Port(), "x");
        ASSERT_NE(client, INVALID_SOCKET);
        ServeUntil([&] { return server.Connections() == std::min<size_t>(&client - clients + 1, 2); });
        Sleep(50); // each heard later than the one before, past the tick's steps
    }
    EXPECT_EQ(server.Connections(), 2u);
    bool closed[3] = {};
    ServeUntil([&] {
        for (int i = 0; i < 3; ++i)
            Read(clients[i], closed[i]);
        return closed[0];
    });
    EXPECT_TRUE(closed[0]) << "the first, silent longest, made room";
    EXPECT_FALSE(closed[1]);
    EXPECT_FALSE(closed[2]);
    for (SOCKET client : clients)
        closesocket(client);
}

} // namespace
