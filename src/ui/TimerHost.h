#pragma once
// ITimerHost: what a timer needs of the program it runs in. The host's event
// loop is one (IEventLoop); a component that runs without a window host gets
// one of its own.

#include <cstdint>

class TTimer;

class ITimerHost {
public:
    virtual ~ITimerHost() = default;

    // (Re)starts the timer's countdown; the host then calls TTimer::Timer every
    // interval until StopTimer.
    virtual void StartTimer(TTimer& timer, uint32_t interval) = 0;
    virtual void StopTimer(TTimer& timer) = 0;
};
