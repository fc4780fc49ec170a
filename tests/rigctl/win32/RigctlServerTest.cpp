// The rigctl port on Winsock, in this process: what it leaves behind when it
// cannot open and when it goes with a client connected.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>

#include "base/SysUtils.h"
#include "rigctl/RigctlRig.h"
#include "rigctl/win32/RigctlServer.h"
#include "tests/support/win32/LoopbackSocket.h"

namespace {

constexpr DWORD kPatience = 10000; // ms; what a slow machine gets, never what a test expects

class RigctlServerTest : public ::testing::Test {
protected:
    RigctlServerTest() { WSAStartup(MAKEWORD(2, 2), &FData); }
    ~RigctlServerTest() override { WSACleanup(); }

    static bool Connect(SOCKET s, uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    // The port's message-only window in this process (velkor.exe may run beside the test).
    static HWND PortWindow()
    {
        for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"VelkorRigctlPort", nullptr); window;
             window = FindWindowExW(HWND_MESSAGE, window, L"VelkorRigctlPort", nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId())
                return window;
        }
        return nullptr;
    }

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

    // What a client sending bytes (then closing its side, if asked) is sent
    // until the port closes the connection, the port served meanwhile; and
    // whether it did close it within the patience.
    static std::string Converse(TWin32RigctlServer& server, const std::string& bytes, bool halfClose, bool& closed)
    {
        uint16_t unused = 0;
        const SOCKET client = BoundLoopbackSocket(unused);
        std::string received;
        closed = false;
        if (Connect(client, server.Port()) &&
            send(client, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size())) {
            if (halfClose)
                shutdown(client, SD_SEND);
            u_long nonBlocking = 1;
            ioctlsocket(client, FIONBIO, &nonBlocking);
            ServeUntil([&] {
                char buffer[4096];
                for (int got; (got = recv(client, buffer, sizeof(buffer), 0)) != 0;) {
                    if (got < 0)
                        return closed = WSAGetLastError() != WSAEWOULDBLOCK;
                    received.append(buffer, static_cast<size_t>(got));
                }
                return closed = true;
            });
        }
        closesocket(client);
        return received;
    }

    TRigctlRig Rig{nullptr};

private:
    WSADATA FData{};
};

TEST_F(RigctlServerTest, APortThatCannotBeOpenedLeavesNothingBehind)
{
    uint16_t port = 0;
    const SOCKET taken = BoundLoopbackSocket(port);
    ASSERT_EQ(listen(taken, 1), 0);
    try {
        TWin32RigctlServer server(Rig, port);
        ADD_FAILURE() << "opened a port that was taken";
    } catch (const EOleError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(Format("Cannot open the rigctl port 127.0.0.1:%u: ", port), 0), 0u)
            << error.what();
    }
    EXPECT_EQ(PortWindow(), nullptr) << "its window went";
    closesocket(taken);

    // What the failed port set up it undid alone: another opens and serves.
    TWin32RigctlServer server(Rig, 0);
    EXPECT_NE(server.Port(), 0);
    EXPECT_NE(PortWindow(), nullptr);
}

TEST_F(RigctlServerTest, APortThatGoesClosesItsClientsAndStopsListening)
{
    uint16_t port = 0;
    uint16_t unused = 0;
    const SOCKET client = BoundLoopbackSocket(unused);
    DWORD timeout = kPatience;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    {
        TWin32RigctlServer server(Rig, 0);
        port = server.Port();
        ASSERT_TRUE(Connect(client, port));
        ServeUntil([&] { return server.Connections() == 1; });
        ASSERT_EQ(server.Connections(), 1u) << "taken within " << kPatience << " ms";
    }
    char byte = 0;
    const int got = recv(client, &byte, 1, 0);
    EXPECT_TRUE(got == 0 || (got < 0 && WSAGetLastError() != WSAETIMEDOUT)) << "the client learns its end at once";
    closesocket(client);
    EXPECT_EQ(PortWindow(), nullptr);

    const SOCKET late = BoundLoopbackSocket(unused);
    EXPECT_FALSE(Connect(late, port)) << "nobody listens any more";
    closesocket(late);
}

TEST_F(RigctlServerTest, EveryClientIsAnsweredToItsEndOrRefusedAtOnce)
{
    std::string lines = "\\chk_vfo\n";
    std::string replies = "0\n";
    // Reads, and now and then a command for the radio: one of those an event.
    for (int i = 0; i < 3000; ++i) {
        lines += i % 100 == 99 ? "F 7074000\n" : "f\n";
        replies += "RPRT -6\n"; // no transceiver: the radio is not there
    }
    const struct {
        const char* What;
        std::string Bytes;
        bool HalfClose;
        std::string Replies;
    } cases[] = {
        {"many more than a share, the client's side closed", lines, true, replies},
        {"a quit half way", lines.substr(0, 9 + 1000 * 2 + 10 * 8) + "q\n" + lines.substr(9 + 1000 * 2 + 10 * 8), false,
         replies.substr(0, 2 + 1000 * 8) + "RPRT 0\n"},
        {"a browser's request", "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" + lines, false, ""},
        {"TLS", std::string("\x16\x03\x01\x00\xa5\x01", 6), false, ""},
    };
    TWin32RigctlServer server(Rig, 0);
    for (const auto& c : cases) {
        bool closed = false;
        const std::string replies = Converse(server, c.Bytes, c.HalfClose, closed);
        EXPECT_TRUE(replies == c.Replies) << c.What << ": " << replies.size() << " bytes, not " << c.Replies.size();
        EXPECT_TRUE(closed) << c.What << ": the port closed it";
        ServeUntil([&] { return server.Connections() == 0; });
        EXPECT_EQ(server.Connections(), 0u) << c.What;
    }
}

} // namespace
