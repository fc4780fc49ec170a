#pragma once
// The one connection point of a server object, for IOmniRigXEvents. The sinks
// themselves are kept by the simulator under the owning server object.

#include <windows.h>
#include <ocidl.h>

#include "CountedConnections.h"
#include "Simulator.h"
#include "base/win32/ComObject.h"

class TOmniRigObject;

class TConnectionPoint final
    : public TComObject<TConnectionPoint, IConnectionPoint, TCountedConnections<TConnectionPoint>> {
public:
    TConnectionPoint(TSimulator& sim, TOmniRigObject* owner);
    static std::span<const TInterfaceRow> Interfaces();
    TSimulator& Simulator() { return FSim; }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

private:
    ~TConnectionPoint() override;

    TSimulator& FSim;
    TOmniRigObject* FOwner; // one reference held
};
