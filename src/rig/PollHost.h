#pragma once
// What the transceiver needs of the program it runs in, handed to it when it
// is made: the ticks of its poll timer, and the report a failed poll goes to.
// The program's application answers both (TAppPollHost); a program without
// windows gives one of its own.

#include <cstdint>
#include <exception>
#include <functional>

#include "ui/TimerHost.h"

class IEventLoop;
class TApplication;

class IPollHost : public ITimerHost {
public:
    // A poll failed: shows the failure and returns once it has been seen.
    virtual void ReportPollFailure(std::exception_ptr failure) = 0;
    // From any thread: runs call on the timer's thread soon, in whichever of
    // its loops serves events then (a message box's too).
    virtual void Deliver(std::function<void()> call) = 0;
};

// The poll timer runs on the application's event loop, and a failure goes to
// the general error report (an error that is no std::exception as "Unknown
// error").
class TAppPollHost : public IPollHost {
public:
    explicit TAppPollHost(TApplication& app);

    void StartTimer(TTimer& timer, uint32_t interval) override;
    void StopTimer(TTimer& timer) override;
    void ReportPollFailure(std::exception_ptr failure) override;
    void Deliver(std::function<void()> call) override;

private:
    IEventLoop& FEvents;
    TApplication& FApp; // its general error report

};
