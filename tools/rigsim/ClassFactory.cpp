#include "ClassFactory.h"

#include "OmniRigObject.h"

std::span<const TClassFactory::TInterfaceRow> TClassFactory::Interfaces()
{
    static const TInterfaceRow rows[] = {Row<IClassFactory>()};
    return rows;
}

STDMETHODIMP TClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    FSim.NoteClaimed();
    return MakeAndQuery<TOmniRigObject>(riid, ppv, FSim);
}

STDMETHODIMP TClassFactory::LockServer(BOOL lock)
{
    return ComGuard([&] {
        if (lock) {
            FSim.NoteClaimed();
            ++FLocks;
            FSim.AddServerRef();
        } else if (FLocks > 0) {
            // An unlock without a lock must not end a server that others use.
            --FLocks;
            FSim.ReleaseServerRef();
        }
        return S_OK;
    });
}
