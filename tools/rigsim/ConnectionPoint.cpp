#include "ConnectionPoint.h"

#include <olectl.h>

#include "OmniRigObject.h"

TConnectionPoint::TConnectionPoint(TSimulator& sim, TOmniRigObject* owner) : FSim(sim), FOwner(owner)
{
    FOwner->AddRef();
}

TConnectionPoint::~TConnectionPoint()
{
    FOwner->Release();
}

std::span<const TConnectionPoint::TInterfaceRow> TConnectionPoint::Interfaces()
{
    static const TInterfaceRow rows[] = {Row<IConnectionPoint>(), Row<IExternalConnection>()};
    return rows;
}

STDMETHODIMP TConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = __uuidof(IOmniRigXEvents);
    return S_OK;
}

STDMETHODIMP TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    *container = nullptr;
    return FOwner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container));
}

STDMETHODIMP TConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    return ComGuard([&] { return FSim.Advise(FOwner, sink, cookie); });
}

STDMETHODIMP TConnectionPoint::Unadvise(DWORD cookie)
{
    return ComGuard([&] { return FSim.Unadvise(FOwner, cookie); });
}

STDMETHODIMP TConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    return E_NOTIMPL;
}
