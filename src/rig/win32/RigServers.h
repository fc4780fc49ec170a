#pragma once
// The rig server a setting names, as velkor.exe uses it: the COM rig server
// or hamlib's rigctld, each on a thread of its own (TRigServerThread), so
// that a server that hangs costs the window one deadline, never a freeze.

#include <memory>
#include <string>

#include "rig/RigServerSetting.h"
#include "rig/RigServerThread.h"

// wait must outlive the thread.
std::unique_ptr<TRigServerThread> MakeRigServerThread(const TRigServerSetting& setting, IRigCallWait& wait,
                                                      TRigDeadlines deadlines = {});

// Asks the rigctld a setting names for its model and frequency, waiting
// through wait: "Dummy, 145.000.000 Hz", or why it could not.
std::string ProbeRigctld(const TRigServerSetting& setting, IRigCallWait& wait);
