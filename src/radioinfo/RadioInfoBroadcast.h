#pragma once
// When the radio's state goes out, and sending it. A change goes out at
// once, but at most 10 times a second: a change within 100 ms of the last
// send goes when the 100 ms have passed, with the state then. Without change
// the state goes again every 10 s. The clock is handed in (milliseconds, never
// going back), so that the rule runs without one.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "radioinfo/RadioInfoPacket.h"

namespace RadioInfo {
inline constexpr uint64_t kHoldMs = 100;
inline constexpr uint64_t kRepeatMs = 10000;
// How often the program's timer asks: a change waits at most this beyond its hold.
inline constexpr uint32_t kTickMs = 25;
} // namespace RadioInfo

class TRadioInfoSchedule {
public:
    // Whether state goes out now. Nothing was sent yet: it does. A call that
    // answers true counts as a send at now.
    bool Due(const TRadioState& state, uint64_t now);

private:
    std::optional<TRadioState> FSent;
    uint64_t FSentAt = 0;
};

// The datagrams' way out: each packet to every destination known now.
class IRadioInfoSender {
public:
    virtual ~IRadioInfoSender() = default;
    // False while no destination is known (none asked for, or names not yet
    // resolved): the schedule waits then, and the first known gets the state at once.
    virtual bool HasDestinations() = 0;
    virtual void Send(const std::string& packet) = 0;
    // What went wrong since the last call (a name that does not resolve),
    // each once.
    virtual std::vector<std::string> TakeErrors() = 0;
};

class TRadioInfoBroadcast {
public:
    TRadioInfoBroadcast(std::function<TRadioState()> state, std::unique_ptr<IRadioInfoSender> sender,
                        std::string stationName, std::function<uint64_t()> clock,
                        std::function<void(const std::string&)> report);

    // Asked on the program's timer: sends when the schedule says so, and
    // reports the sender's errors.
    void Tick();
    IRadioInfoSender& Sender() { return *FSender; }

private:
    std::function<TRadioState()> FState;
    std::unique_ptr<IRadioInfoSender> FSender;
    std::string FStationName;
    std::function<uint64_t()> FClock;
    std::function<void(const std::string&)> FReport;
    TRadioInfoSchedule FSchedule;
};
