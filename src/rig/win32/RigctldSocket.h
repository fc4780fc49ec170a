#pragma once
// The socket under the rigctld client: Winsock, every wait bounded by the
// call's deadline.

#include "rig/RigctldClient.h"

std::unique_ptr<IRigctldLink> MakeRigctldSocket();
