#pragma once
// A host without an operating system, for tests: a manual clock that fires the
// timers when the test advances it, and message boxes that are recorded and
// answered from a script.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ui/Host.h"

class THeadlessHost : public THost {
public:
    struct TMessageBoxCall {
        std::string Text;
        std::string Caption;
        unsigned Style;
    };

    void StartTimer(TTimer& timer, uint32_t interval) override;
    void StopTimer(TTimer& timer) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    uint32_t TickCount() override { return FNow; }
    // Lets ProcessMessagesStep milliseconds pass, firing the timers due in them:
    // a loop that waits by processing messages sees time go by.
    void ProcessMessages() override { Advance(ProcessMessagesStep); }
    void Run() override {}
    void Terminate() override { FTerminated = true; }

    // Moves the clock forward, firing every timer that falls due on the way, in
    // the order of their due times (start order for equal times).
    void Advance(uint32_t milliseconds);
    void SetTickCount(uint32_t now) { FNow = now; }
    bool IsTimerRunning(const TTimer& timer) const;
    bool Terminated() const { return FTerminated; }

    // Answers for the next message boxes, in order; when none is left a box is
    // answered with its default button.
    void AnswerMessageBox(int answer) { FAnswers.push_back(answer); }
    const std::vector<TMessageBoxCall>& MessageBoxes() const { return FMessageBoxes; }

    uint32_t ProcessMessagesStep = 10;

private:
    struct TScheduled {
        TTimer* Timer;
        uint32_t Interval;
        uint64_t Due;
        uint64_t Sequence;
    };
    TScheduled* NextDue(uint64_t until);

    uint32_t FNow = 0;
    uint64_t FClock = 0; // FNow without the wrap-around, for ordering
    uint64_t FSequence = 0;
    std::vector<TScheduled> FTimers;
    std::deque<int> FAnswers;
    std::vector<TMessageBoxCall> FMessageBoxes;
    bool FTerminated = false;
};
