#pragma once
// The rig server a setting names, as velkor.exe uses it, each kind on a
// thread of its own (TRigServerThread), so that a server that hangs costs
// the window one deadline, never a freeze.

#include <memory>
#include <span>
#include <string>

#include "rig/RigServerSetting.h"
#include "rig/RigServerThread.h"

// How one kind of rig server is made; one row for each of RigServerKinds().
struct TRigServerMaker {
    TRigServerKind Kind;
    std::unique_ptr<TRigServerThread> (*Make)(const TRigServerSetting& setting, IRigCallWait& wait,
                                              TRigDeadlines deadlines);
};

std::span<const TRigServerMaker> RigServerMakers();
// The row of kind in makers; raises std::logic_error when there is none.
const TRigServerMaker& RigServerMakerOf(std::span<const TRigServerMaker> makers, TRigServerKind kind);

// wait must outlive the thread.
std::unique_ptr<TRigServerThread> MakeRigServerThread(const TRigServerSetting& setting, IRigCallWait& wait,
                                                      TRigDeadlines deadlines = {});

// Asks the rig server a setting names for its model and frequency, waiting
// through wait: "Dummy, 145.000.000 Hz", or why it could not.
std::string ProbeRigServer(const TRigServerSetting& setting, IRigCallWait& wait);
