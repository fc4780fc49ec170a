#pragma once
// A client's call of the rig server's interfaces, as every object of the
// stand-in answers it.

#include <windows.h>

#include "Simulator.h"
#include "base/win32/ComObject.h"

// A get: *value emptied, the call counted and logged, then, unless a failure
// is scripted, answered by read(*value).
template <class T, class TRead>
HRESULT ClientGet(TSimulator& sim, TIface iface, int slot, T* value, TRead read)
{
    if (!value)
        return E_POINTER;
    *value = T{};
    return ComGuard([&] {
        const HRESULT hr = sim.Enter(iface, slot);
        return FAILED(hr) ? hr : read(*value);
    });
}
