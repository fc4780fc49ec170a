#include "ui/HeadlessHost.h"

#include <algorithm>

#include "ui/Classes.h"
#include "ui/Forms.h"

void THeadlessHost::StartTimer(TTimer& timer, uint32_t interval)
{
    StopTimer(timer);
    FTimers.push_back({&timer, interval, FClock + interval, FSequence++});
}

void THeadlessHost::StopTimer(TTimer& timer)
{
    std::erase_if(FTimers, [&](const TScheduled& s) { return s.Timer == &timer; });
}

bool THeadlessHost::IsTimerRunning(const TTimer& timer) const
{
    return std::any_of(FTimers.begin(), FTimers.end(), [&](const TScheduled& s) { return s.Timer == &timer; });
}

THeadlessHost::TScheduled* THeadlessHost::NextDue(uint64_t until)
{
    TScheduled* next = nullptr;
    for (TScheduled& s : FTimers)
        if (s.Due <= until && (!next || s.Due < next->Due || (s.Due == next->Due && s.Sequence < next->Sequence)))
            next = &s;
    return next;
}

void THeadlessHost::Advance(uint32_t milliseconds)
{
    const uint64_t until = FClock + milliseconds;
    while (TScheduled* next = NextDue(until)) {
        FNow += static_cast<uint32_t>(next->Due - FClock);
        FClock = next->Due;
        TTimer* timer = next->Timer;
        // The next tick is due one interval on; the handler may restart or stop it.
        next->Due += next->Interval;
        next->Sequence = FSequence++;
        DispatchEvent([timer] { timer->Timer(); });
    }
    // A handler that processed messages may already have moved the clock on.
    if (until > FClock) {
        FNow += static_cast<uint32_t>(until - FClock);
        FClock = until;
    }
}

int THeadlessHost::ShowMessageBox(const std::string& text, const std::string& caption, unsigned style)
{
    FMessageBoxes.push_back({text, caption, style});
    if (!FAnswers.empty()) {
        int answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
    const bool second = (style & 0xF00) == MsgBox::kDefButton2;
    switch (style & 0xF) {
    case MsgBox::kOkCancel:
        return second ? MsgBox::kIdCancel : MsgBox::kIdOk;
    case MsgBox::kYesNo:
    case MsgBox::kYesNoCancel:
        return second ? MsgBox::kIdNo : MsgBox::kIdYes;
    default:
        return MsgBox::kIdOk;
    }
}
