#include "base/win32/ComScope.h"

#include <oleauto.h>

TComApartment::TComApartment(COINIT kind) noexcept : FResult(CoInitializeEx(nullptr, kind)) {}

TComApartment::~TComApartment()
{
    // S_FALSE (the thread had COM already) is balanced too.
    if (SUCCEEDED(FResult))
        CoUninitialize();
}

HRESULT TClassObjectTraits::Register(REFCLSID clsid, IUnknown* classObject, DWORD flags, DWORD* cookie)
{
    return CoRegisterClassObject(clsid, classObject, CLSCTX_LOCAL_SERVER, flags, cookie);
}

void TClassObjectTraits::Revoke(DWORD cookie) { CoRevokeClassObject(cookie); }

HRESULT TActiveObjectTraits::Register(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie)
{
    return RegisterActiveObject(object, clsid, flags, cookie);
}

void TActiveObjectTraits::Revoke(DWORD cookie) { RevokeActiveObject(cookie, nullptr); }
