#pragma once
// The socket under the rigctld client: Winsock, every wait bounded by the
// call's deadline, the looking up of the host's name included.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rig/RigctldClient.h"

// One address a host name stands for: a sockaddr's bytes and its family.
struct TRigctldAddress {
    int Family = 0;
    std::vector<unsigned char> Bytes;
};

// Looks a host up; raises ERigctldLinkError with the cause. It runs on a
// thread of its own, and the connection waits for it only until its
// deadline.
using TRigctldResolver = std::function<std::vector<TRigctldAddress>(const std::string& host, uint16_t port)>;

// The system's resolver.
std::vector<TRigctldAddress> ResolveRigctldHost(const std::string& host, uint16_t port);

std::unique_ptr<IRigctldLink> MakeRigctldSocket(TRigctldResolver resolver = ResolveRigctldHost);
