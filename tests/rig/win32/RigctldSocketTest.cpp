// The rigctld client's socket: the looking up of the host's name and each of
// its addresses keep to the call's deadline.
#include "tests/support/win32/LoopbackSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/win32/Socket.h"
#include "rig/win32/RigctldSocket.h"

namespace {

using namespace std::chrono_literals;

TRigctldAddress LoopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    return {AF_INET, {bytes, bytes + sizeof(address)}};
}

// A listener that takes connections (the system's queue answers them).
struct TListener {
    TListener()
    {
        Socket.Reset(BoundLoopbackSocket(Port));
        listen(Socket.Get(), SOMAXCONN);
    }
    uint16_t Port = 0;
    TSocketHandle Socket;
};

// A listener that accepts nothing with its queue full: a connection to it
// waits for an answer that never comes.
struct TFullListener {
    TFullListener()
    {
        Socket.Reset(BoundLoopbackSocket(Port));
        listen(Socket.Get(), 0);
        for (TSocketHandle& filler : Fillers) {
            filler.Reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            u_long nonBlocking = 1;
            ioctlsocket(filler.Get(), FIONBIO, &nonBlocking);
            const TRigctldAddress address = LoopbackAddress(Port);
            connect(filler.Get(), reinterpret_cast<const sockaddr*>(address.Bytes.data()),
                    static_cast<int>(address.Bytes.size()));
        }
        std::this_thread::sleep_for(100ms); // the queue fills
    }
    uint16_t Port = 0;
    TSocketHandle Socket;
    TSocketHandle Fillers[8];
};

class RigctldSocketTest : public ::testing::Test {
protected:
    TWinsock Winsock;
};

TEST_F(RigctldSocketTest, ANameThatResolvesSlowlyFailsWithItsCauseWithinTheDeadline)
{
    TListener rigctld;
    const auto link = MakeRigctldSocket([&rigctld](const std::string&, uint16_t) {
        std::this_thread::sleep_for(3s); // a name server that takes its time
        return std::vector<TRigctldAddress>{LoopbackAddress(rigctld.Port)};
    });
    try {
        link->Connect("shack.example", rigctld.Port, TRigctldClock::now() + 300ms);
        FAIL() << "it waited for the name";
    } catch (const ERigctldLinkError& error) {
        EXPECT_STREQ(error.what(), "the name shack.example was not found in time");
    }
}

TEST_F(RigctldSocketTest, AnAddressThatNeverAnswersLeavesTheNextOneItsShare)
{
    TFullListener silent;
    TListener rigctld;
    const auto link = MakeRigctldSocket([&](const std::string&, uint16_t) {
        return std::vector<TRigctldAddress>{LoopbackAddress(silent.Port), LoopbackAddress(rigctld.Port)};
    });
    EXPECT_NO_THROW(link->Connect("rig.example", rigctld.Port, TRigctldClock::now() + 4s));
}

} // namespace
