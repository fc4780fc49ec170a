#pragma once
// The radio's state broadcast on Winsock: one non-blocking UDP socket, each
// packet to every destination known. A numeric address is known at once; a
// name is resolved on a thread of its own (resolving can take seconds) and
// comes in at a later send. A destination that cannot be reached never holds
// anything up: its errors are dropped.

#include <memory>
#include <string>
#include <vector>

#include "base/win32/Socket.h"
#include "radioinfo/RadioInfoBroadcast.h"
#include "radioinfo/RadioInfoSetting.h"
#include "ui/Classes.h"

class TTransceiver;

class TRadioInfoSender : public IRadioInfoSender {
public:
    // Raises EOleError when the socket cannot be made.
    explicit TRadioInfoSender(const std::vector<TRadioInfoDestination>& destinations);
    ~TRadioInfoSender() override;

    bool HasDestinations() override;
    void Send(const std::string& packet) override;
    std::vector<std::string> TakeErrors() override;

    // The sockets' errors so far that were dropped (tests).
    unsigned DroppedErrors() const { return FDropped; }

    // What the resolving thread hands back.
    struct TResolved;

private:
    void TakeResolved();

    TWinsock FWinsock;
    TSocketHandle FSocket;
    // IPv4 addresses with ports, as sockaddr_in's bytes.
    std::vector<std::string> FAddresses;
    std::vector<std::string> FErrors;
    std::shared_ptr<TResolved> FResolved;
    unsigned FDropped = 0;
};

// The computer's name in UTF-8, as the packet's StationName.
std::string StationName();

// The broadcast on the program's timer, for the life of its owner, reading
// the transceiver's last poll. report gets each error once, on the
// user-interface thread.
class TRadioInfoService : public TComponent {
public:
    // Raises EOleError when the socket cannot be made.
    TRadioInfoService(TComponent* AOwner, TTransceiver& transceiver,
                      const std::vector<TRadioInfoDestination>& destinations,
                      std::function<void(const std::string&)> report);

    TTimer* Tim;

private:
    TRadioInfoBroadcast FBroadcast;
};
