// Winsock before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include "radioinfo/win32/RadioInfoSender.h"

#include <mutex>
#include <thread>
#include <utility>

#include "base/SysUtils.h"
#include "rig/TransceiverUnit.h"

// What the resolving thread hands back; it outlives the sender when a name
// takes longer than the program runs.
struct TRadioInfoSender::TResolved {
    std::mutex Lock;
    std::vector<std::string> Addresses;
    std::vector<std::string> Errors;
};

namespace {

std::string AddressBytes(const sockaddr_in& address)
{
    return std::string(reinterpret_cast<const char*>(&address), sizeof address);
}

sockaddr_in Ipv4(in_addr host, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = host;
    address.sin_port = htons(port);
    return address;
}

// The thread's work: each name to its first IPv4 address, or why not.
void Resolve(std::vector<TRadioInfoDestination> names, std::shared_ptr<TRadioInfoSender::TResolved> resolved)
{
    try {
        const TWinsock winsock;
        for (const TRadioInfoDestination& name : names) {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_DGRAM;
            addrinfo* found = nullptr;
            const int error = getaddrinfo(name.Host.c_str(), nullptr, &hints, &found);
            std::string address;
            if (error == 0 && found && found->ai_addr && found->ai_addrlen >= static_cast<int>(sizeof(sockaddr_in)))
                address = AddressBytes(Ipv4(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, name.Port));
            if (found)
                freeaddrinfo(found);
            const std::lock_guard lock(resolved->Lock);
            if (!address.empty())
                resolved->Addresses.push_back(address);
            else
                resolved->Errors.push_back(Format(
                    "The radio's state is not sent to %s:%u: the name %s does not resolve to an IPv4 address",
                    name.Host.c_str(), static_cast<unsigned>(name.Port), name.Host.c_str()));
        }
    } catch (const std::exception& failure) {
        const std::lock_guard lock(resolved->Lock);
        resolved->Errors.push_back(failure.what());
    }
}
} // namespace

TRadioInfoSender::TRadioInfoSender(const std::vector<TRadioInfoDestination>& destinations)
    : FSocket(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)), FResolved(std::make_shared<TResolved>())
{
    if (!FSocket)
        RaiseSocketError("Cannot open a UDP socket for the radio's state", WSAGetLastError());
    u_long nonBlocking = 1;
    ioctlsocket(FSocket.Get(), FIONBIO, &nonBlocking);
    // A subnet's broadcast address is a destination as any other.
    const BOOL broadcast = TRUE;
    setsockopt(FSocket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast);
    // An unreachable destination's ICMP reply would fail a later send.
    BOOL reportReset = FALSE;
    DWORD returned = 0;
    WSAIoctl(FSocket.Get(), SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
             nullptr);
    std::vector<TRadioInfoDestination> names;
    for (const TRadioInfoDestination& destination : destinations) {
        in_addr host{};
        if (inet_pton(AF_INET, destination.Host.c_str(), &host) == 1)
            FAddresses.push_back(AddressBytes(Ipv4(host, destination.Port)));
        else
            names.push_back(destination);
    }
    if (!names.empty())
        std::thread(Resolve, std::move(names), FResolved).detach();
}

TRadioInfoSender::~TRadioInfoSender() = default;

void TRadioInfoSender::TakeResolved()
{
    const std::lock_guard lock(FResolved->Lock);
    for (std::string& address : FResolved->Addresses)
        FAddresses.push_back(std::move(address));
    FResolved->Addresses.clear();
    for (std::string& error : FResolved->Errors)
        FErrors.push_back(std::move(error));
    FResolved->Errors.clear();
}

bool TRadioInfoSender::HasDestinations()
{
    TakeResolved();
    return !FAddresses.empty();
}

void TRadioInfoSender::Send(const std::string& packet)
{
    for (const std::string& address : FAddresses)
        if (sendto(FSocket.Get(), packet.data(), static_cast<int>(packet.size()), 0,
                   reinterpret_cast<const sockaddr*>(address.data()), static_cast<int>(address.size())) ==
            SOCKET_ERROR)
            ++FDropped; // unreachable, or the buffer full: the next send tries again
}

std::vector<std::string> TRadioInfoSender::TakeErrors()
{
    TakeResolved();
    return std::exchange(FErrors, {});
}

std::string StationName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(size), text.data(), bytes, nullptr, nullptr);
    return text;
}

TRadioInfoService::TRadioInfoService(TComponent* AOwner, TTransceiver& transceiver,
                                     const std::vector<TRadioInfoDestination>& destinations,
                                     std::function<void(const std::string&)> report)
    : TComponent(AOwner),
      FBroadcast([&transceiver] { return RadioStateOf(transceiver); },
                 std::make_unique<TRadioInfoSender>(destinations), StationName(),
                 [] { return static_cast<uint64_t>(GetTickCount64()); }, std::move(report))
{
    Tim = new TTimer(this);
    Tim->SetName("Tim");
    Tim->SetInterval(RadioInfo::kTickMs);
    Tim->OnTimer = [this](TObject*) { FBroadcast.Tick(); };
}
