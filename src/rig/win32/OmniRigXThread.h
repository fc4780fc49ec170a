#pragma once
// The rig server's COM client on a thread of its own, so that a server that
// hangs costs the window one deadline and one report, never a freeze.

#include <windows.h>

#include <functional>
#include <memory>

#include "base/win32/Handle.h"
#include "rig/RigServerThread.h"

// The user-interface thread's wait: COM's own modal wait, so that while a
// rig call is out the thread serves what it serves during any COM call
// (incoming calls of loggers, posted and sent messages, painting). Wine 8
// serves no posted messages, timers or input there: they wait for the
// call's end, one deadline at most.
class TComRigCallWait : public IRigCallWait {
public:
    // ending: true once the program is ending.
    explicit TComRigCallWait(std::function<bool()> ending);
    TComRigCallWait(const TComRigCallWait&) = delete;
    TComRigCallWait& operator=(const TComRigCallWait&) = delete;

    void Wake() override;
    void Wait(uint32_t timeout) override;
    bool Ending() override;

private:
    TKernelHandle FEvent;
    std::function<bool()> FEnding;
};

// TOmniRigX in a multithreaded apartment of the thread's own.
std::unique_ptr<TRigServerThread> MakeOmniRigXThread(IRigCallWait& wait, TRigDeadlines deadlines = {});
