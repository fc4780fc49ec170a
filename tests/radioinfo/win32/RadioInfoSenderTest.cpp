// The broadcast's Winsock side in this process: datagrams to a listener of
// the test's own on 127.0.0.1, beside destinations that cannot be reached
// and names that do not resolve.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win32/Socket.h"
#include "radioinfo/win32/RadioInfoSender.h"
#include "tests/support/win32/Wait.h"

namespace {

// A UDP socket on 127.0.0.1 that the test reads without waiting.
class TListener {
public:
    TListener() : FSocket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        EXPECT_EQ(bind(FSocket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(getsockname(FSocket.Get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
        Port = ntohs(address.sin_port);
        u_long nonBlocking = 1;
        ioctlsocket(FSocket.Get(), FIONBIO, &nonBlocking);
    }
    // The next datagram come in, or "" when none has.
    std::string Next()
    {
        char buffer[4096];
        const int got = recv(FSocket.Get(), buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
    }
    std::string Await()
    {
        std::string packet;
        WaitFor([&] { return !(packet = Next()).empty(); }, 5000);
        return packet;
    }
    uint16_t Port = 0;

private:
    TWinsock FWinsock;
    TSocketHandle FSocket;
};

// A UDP port with nothing behind it.
uint16_t ClosedPort()
{
    TListener gone;
    return gone.Port;
}

TEST(RadioInfoSender, EachPacketGoesToEveryNumericDestinationAtOnce)
{
    TListener first, second;
    TRadioInfoSender sender({{"127.0.0.1", first.Port}, {"127.0.0.1", second.Port}});
    ASSERT_TRUE(sender.HasDestinations());
    sender.Send("one");
    sender.Send("two");
    EXPECT_EQ(first.Await(), "one");
    EXPECT_EQ(first.Await(), "two");
    EXPECT_EQ(second.Await(), "one");
    EXPECT_EQ(second.Await(), "two");
    EXPECT_TRUE(sender.TakeErrors().empty());
}

TEST(RadioInfoSender, AClosedPortBeforeTheListenerHoldsNothingUp)
{
    TListener listener;
    TRadioInfoSender sender({{"127.0.0.1", ClosedPort()}, {"127.0.0.1", listener.Port}});
    // Each send to the closed port draws an ICMP reply, which would fail the
    // next send on a socket that reports it.
    for (int i = 0; i < 20; ++i) {
        sender.Send("packet " + std::to_string(i));
        EXPECT_EQ(listener.Await(), "packet " + std::to_string(i));
    }
    EXPECT_TRUE(sender.TakeErrors().empty());
}

TEST(RadioInfoSender, ANameIsResolvedInTheBackgroundAndOneThatDoesNotIsReportedOnce)
{
    TListener listener;
    TRadioInfoSender sender({{"no-such-host.invalid", 12060}, {"localhost", listener.Port}});
    std::vector<std::string> errors;
    ASSERT_TRUE(WaitFor([&] {
        for (std::string& error : sender.TakeErrors())
            errors.push_back(error);
        return !errors.empty() && sender.HasDestinations();
    }, 15000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "The radio's state is not sent to no-such-host.invalid:12060: the name "
                         "no-such-host.invalid does not resolve to an IPv4 address");
    sender.Send("resolved");
    EXPECT_EQ(listener.Await(), "resolved");
    EXPECT_TRUE(sender.TakeErrors().empty());
}

TEST(RadioInfoSender, WithOnlyNamesThatDoNotResolveNothingIsEverSent)
{
    TRadioInfoSender sender({{"no-such-host.invalid", 12060}, {"other.invalid", 1}});
    size_t errors = 0;
    ASSERT_TRUE(WaitFor([&] { return (errors += sender.TakeErrors().size()) == 2; }, 15000));
    EXPECT_FALSE(sender.HasDestinations());
    sender.Send("nowhere"); // no destination: nothing happens
    EXPECT_TRUE(sender.TakeErrors().empty());
}

TEST(RadioInfoSender, TheStationNameIsTheComputersName)
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    const std::string station = StationName();
    ASSERT_FALSE(station.empty());
    EXPECT_EQ(station.size(), size); // an ASCII name here: one byte a character
}

} // namespace
