#include "rigctl/win32/RigctlServer.h"

#include "rigctl/RigctlRig.h"

TWin32RigctlServer::TWin32RigctlServer(TRigctlRig& rig, uint16_t port)
    : TWin32PortServer(kRigctlPort, RigctlServing(rig), port)
{
}
