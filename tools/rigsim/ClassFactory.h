#pragma once
// The class object of the stand-in's server class: a new server object for
// every client that creates one, and the clients' server locks.

#include <windows.h>
#include <unknwn.h>

#include "Simulator.h"
#include "base/win32/ComObject.h"

class TClassFactory final : public TComObject<TClassFactory, IClassFactory> {
public:
    explicit TClassFactory(TSimulator& sim) : FSim(sim) {}
    static std::span<const TInterfaceRow> Interfaces();

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~TClassFactory() override = default;

    LONG FLocks = 0;
    TSimulator& FSim;
};
