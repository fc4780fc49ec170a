#pragma once
// The rigctl port on Winsock: the port server (ports/win32/PortServer.h)
// serving TRigctlSession, with the rigctl port's name, window and limits.

#include <cstdint>

#include "ports/win32/PortServer.h"
#include "rigctl/RigctlSession.h"

inline constexpr TPortKind kRigctlPort{"rigctl", L"VelkorRigctlPort", Rigctl::kPortLimits};

class TWin32RigctlServer : public TWin32PortServer {
public:
    // Its clients share the rig, which outlives the port.
    TWin32RigctlServer(TRigctlRig& rig, uint16_t port);
};
