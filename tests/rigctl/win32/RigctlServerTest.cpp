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

} // namespace
