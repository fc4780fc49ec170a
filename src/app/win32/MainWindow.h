#pragma once
// The main window and the transceiver it drives, as velkor.exe makes them:
// the form (its creation reads the bands file from the current folder) and
// the transceiver, whose rig server client (the one setting names) runs on a
// thread of its own and is waited for through rigWait. The benchmark makes
// the same in its own process.

#include "app/ComMainForm.h"
#include "rig/RigServerSetting.h"
#include "rig/RigServerThread.h"

// Both are owned by app; the form's Transceiver is set. The form keeps its
// settings in registry. No call reaches the rig server before the first poll
// or command.
TTxControlForm* MakeMainWindow(TApplication& app, IRegistry& registry, IRigCallWait& rigWait,
                               const TRigServerSetting& rigServer = {});
