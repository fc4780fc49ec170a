#include "xmlrpc/win32/XmlRpcServer.h"

#include "rigctl/RigctlRig.h"

TWin32XmlRpcServer::TWin32XmlRpcServer(TRigctlRig& rig, uint16_t port)
    : TWin32PortServer(kXmlRpcPort, XmlRpcServing(rig), port)
{
}
