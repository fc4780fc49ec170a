#pragma once
// The XML-RPC port on Winsock: the port server (ports/win32/PortServer.h)
// serving TXmlRpcSession, with the XML-RPC port's name, window and limits.

#include <cstdint>

#include "ports/win32/PortServer.h"
#include "xmlrpc/XmlRpcSession.h"

inline constexpr TPortKind kXmlRpcPort{"XML-RPC", L"VelkorXmlRpcPort", XmlRpc::kPortLimits};

class TWin32XmlRpcServer : public TWin32PortServer {
public:
    // Its clients share the rig, which outlives the port.
    TWin32XmlRpcServer(TRigctlRig& rig, uint16_t port);
};
