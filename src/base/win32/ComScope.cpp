#include "base/win32/ComScope.h"

#include <oleauto.h>

TComApartment::TComApartment(COINIT kind) noexcept : FResult(CoInitializeEx(nullptr, kind)) {}

TComApartment::~TComApartment()
{
    // S_FALSE (the thread had COM already) is balanced too.
    if (SUCCEEDED(FResult))
        CoUninitialize();
}

TClassObjectRegistration::TClassObjectRegistration(REFCLSID clsid, IUnknown* classObject, DWORD flags) noexcept
    : FResult(CoRegisterClassObject(clsid, classObject, CLSCTX_LOCAL_SERVER, flags, &FCookie)),
      FHeld(SUCCEEDED(FResult))
{
}

void TClassObjectRegistration::Revoke()
{
    if (FHeld)
        CoRevokeClassObject(FCookie);
    FHeld = false;
}

TActiveObjectRegistration::TActiveObjectRegistration(IUnknown* object, REFCLSID clsid, DWORD flags) noexcept
    : FResult(RegisterActiveObject(object, clsid, flags, &FCookie)), FHeld(SUCCEEDED(FResult))
{
}

void TActiveObjectRegistration::Revoke()
{
    if (FHeld)
        RevokeActiveObject(FCookie, nullptr);
    FHeld = false;
}
