#include "radioinfo/RadioInfoBroadcast.h"

#include <utility>

bool TRadioInfoSchedule::Due(const TRadioState& state, uint64_t now)
{
    // A clock that went back counts as no time passed.
    const uint64_t since = FSent && now > FSentAt ? now - FSentAt : 0;
    const bool due = !FSent || (since >= RadioInfo::kHoldMs && state != *FSent) || since >= RadioInfo::kRepeatMs;
    if (due) {
        FSent = state;
        FSentAt = now;
    } else if (now < FSentAt) {
        FSentAt = now;
    }
    return due;
}

TRadioInfoBroadcast::TRadioInfoBroadcast(std::function<TRadioState()> state, std::unique_ptr<IRadioInfoSender> sender,
                                         std::string stationName, std::function<uint64_t()> clock,
                                         std::function<void(const std::string&)> report)
    : FState(std::move(state)), FSender(std::move(sender)), FStationName(std::move(stationName)),
      FClock(std::move(clock)), FReport(std::move(report))
{
}

void TRadioInfoBroadcast::Tick()
{
    for (const std::string& error : FSender->TakeErrors())
        FReport(error);
    if (!FSender->HasDestinations())
        return;
    const TRadioState state = FState();
    if (FSchedule.Due(state, FClock()))
        FSender->Send(RadioInfoPacket(state, FStationName));
}
