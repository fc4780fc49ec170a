#include "automation/VelkorCOMUnit.h"

#include "rig/RigCommand.h"
#include "rig/TransceiverUnit.h"

namespace VelkorComCalls {

int32_t GetFreq(const TTransceiver* trx) { return trx ? trx->Get_Freq() : 0; }

std::string GetMode(const TTransceiver* trx)
{
    if (!trx)
        return {};
    const std::string& mode = trx->Get_Mode();
    return mode == "LSB" || mode == "USB" ? "SSB" : mode;
}

int32_t SetMode(TTransceiver* trx, const std::string& mode)
{
    if (!trx || (mode != "SSB" && ModeFlag(mode) == 0))
        return 0;
    return SentToRig([&] { trx->Set_Mode(mode); }) ? 1 : 0;
}

int32_t SetFreq(TTransceiver* trx, int32_t freq)
{
    if (!trx)
        return 0;
    return SentToRig([&] { trx->Set_Freq(freq); }) ? 1 : 0;
}

int32_t ChangeFreq(TTransceiver* trx, int32_t herz)
{
    const uint32_t sum = static_cast<uint32_t>(GetFreq(trx)) + static_cast<uint32_t>(herz);
    return SetFreq(trx, static_cast<int32_t>(sum));
}

int32_t IsConnected(const TTransceiver* trx) { return trx && trx->Get_Connected() ? 1 : 0; }

} // namespace VelkorComCalls
