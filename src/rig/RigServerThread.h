#pragma once
// The rig server on a thread of its own. A rig server that hangs must never
// freeze the window, the loggers or the rigctl port, and a call that has
// gone out to another process cannot be taken back: so every call goes to
// this thread, and the caller waits for it only so long. A call that passes
// its deadline is abandoned and fails; while it still hangs, every further
// call fails at once, and once it returns the server is used again. COM's
// own ways to give up a call (IMessageFilter's PENDINGMSG_CANCELCALL,
// CoCancelCall) end nothing under Wine 8: the call still waits for the
// server, so only a thread of its own keeps the window free.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/SysUtils.h"
#include "rig/RigServer.h"

// A rig server call that did not answer in time, or that was given up
// because the program is ending.
class ERigServerTimeout : public EOleError {
public:
    using EOleError::EOleError;
};

// A call given up because the program is ending: nothing to report.
class ERigCallCancelled : public EOleError {
public:
    using EOleError::EOleError;
};

// How the calling (user-interface) thread waits for the rig server's thread.
// Only the innermost of nested waits is ever blocked, so one wake signal
// serves them all.
class IRigCallWait {
public:
    virtual ~IRigCallWait() = default;
    // On the rig server's thread, whenever a call has ended.
    virtual void Wake() = 0;
    // On the calling thread: returns when woken (a wake that came first
    // counts) or after timeout milliseconds, having served meanwhile what the
    // thread must serve while it waits.
    virtual void Wait(uint32_t timeout) = 0;
    // The program is ending: waits give up at once.
    virtual bool Ending() { return false; }
};

// A plain blocking wait, for a caller that serves nothing while it waits.
class TBlockingRigCallWait : public IRigCallWait {
public:
    void Wake() override;
    void Wait(uint32_t timeout) override;

private:
    std::mutex FMutex;
    std::condition_variable FWoken;
    bool FSignalled = false;
};

struct TRigDeadlines {
    // An ordinary call.
    uint32_t Call = 3000;
    // A call that connects first: starting the server may take a while.
    uint32_t Connect = 10000;
    // How long the end of the object waits for the thread to let the server go.
    uint32_t Shutdown = 1000;
};

class TRigServerThread : public IRigServer {
public:
    // Made on the new thread, which uses and frees it there (COM's apartment
    // of that thread is the factory's business). Connected() of the made
    // server tells which deadline a call gets.
    using TFactory = std::function<std::unique_ptr<IRigServer>()>;

    // wait must outlive this object.
    TRigServerThread(TFactory factory, IRigCallWait& wait, TRigDeadlines deadlines = {});
    // Lets the thread free the server; gives it Deadlines.Shutdown to do so,
    // or as long as the call it is in has left to its deadline, and leaves it
    // behind when it is still caught in a call. No poll tick's done is called
    // once this has begun.
    ~TRigServerThread() override;
    TRigServerThread(const TRigServerThread&) = delete;
    TRigServerThread& operator=(const TRigServerThread&) = delete;

    // The rig object's calls each fetch the rig, make the call and release
    // it, on the thread, as one call with one deadline.
    std::unique_ptr<IRig> Rig() override;
    void ShowRigDialog(bool visible) override;
    bool Connected() const override;
    // The server's own, once the thread has made it (false until then).
    bool CanKey() const override;
    // The caller waits for work within one deadline, counted from now even
    // when the thread is busy, and never beyond the deadline of a call it is
    // made inside (a logger's call served while the window waits): one wait
    // of the window lasts one deadline at most.
    void Run(const std::function<void(IRigServer&)>& work) override;
    // The tick's reads run on the thread one after the other; a call that
    // comes meanwhile goes between two of them. Each read has a call's
    // deadline (a connect's while the server connects); the one that passes
    // it drops the tick at the next look.
    bool PollInBackground(std::function<void(TPollReading)> done) override;

    // A call has passed its deadline and has not returned yet.
    bool Hung() const;

    static const char* const kNotAnsweringText;

    struct TCore;

private:
    std::shared_ptr<TCore> FCore;
    std::thread FThread;
};
