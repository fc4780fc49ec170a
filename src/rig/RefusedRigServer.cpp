#include "rig/RefusedRigServer.h"

#include "base/SysUtils.h"

std::unique_ptr<IRig> TRefusedRigServer::Rig() { throw Exception(FReason); }

void TRefusedRigServer::ShowRigDialog(bool) { throw Exception(FReason); }
