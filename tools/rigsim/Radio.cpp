#include "Radio.h"

using namespace RigParams;

bool TRadio::IsArrangement(int32_t value)
{
    return value == VFOAA || value == VFOAB || value == VFOBA || value == VFOBB;
}

bool TRadio::IsMode(int32_t value)
{
    switch (value) {
    case CW_U:
    case CW_L:
    case SSB_U:
    case SSB_L:
    case DIG_U:
    case DIG_L:
    case AM:
    case FM:
        return true;
    default:
        return false;
    }
}

bool TRadio::BInUse() const
{
    return FVfo == VFOBA || FVfo == VFOBB;
}

bool TRadio::PutVfo(int32_t value)
{
    if (IsArrangement(value)) {
        FVfo = value;
        return true;
    }
    if (value != VFOA && value != VFOB)
        return false;
    // Split stays split; a raw arrangement outside the four counts as not split.
    const bool split = FVfo == VFOAB || FVfo == VFOBA;
    if (value == VFOA)
        FVfo = split ? VFOAB : VFOAA;
    else
        FVfo = split ? VFOBA : VFOBB;
    return true;
}

bool TRadio::PutMode(int32_t value)
{
    if (!IsMode(value))
        return false;
    FMode = value;
    return true;
}
