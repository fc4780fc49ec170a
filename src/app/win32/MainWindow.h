#pragma once
// The main window and the transceiver it drives, as velkor.exe makes them:
// the form (its creation reads the bands file from the current folder) and
// the transceiver, whose rig server client runs on a thread of its own and is
// waited for through rigWait. The benchmark makes the same in its own process.

#include "app/ComMainForm.h"
#include "rig/RigServerThread.h"

// Both are owned by app; the form's Transceiver is set. The form keeps its
// settings in registry.
TTxControlForm* MakeMainWindow(TApplication& app, IRegistry& registry, IRigCallWait& rigWait);
