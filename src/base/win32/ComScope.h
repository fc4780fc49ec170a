#pragma once
// Owners of what COM grants for a while: the thread's apartment, a class
// object offered to other processes, an object in the running object table.
// Each asks in its constructor and gives back in its destructor only what was
// granted; a refusal leaves an owner that holds nothing, and Result() says
// why (OleCheck(owner.Result()) raises it).

#include <windows.h>
#include <objbase.h>

#include <utility>

// COM on the calling thread for the owner's life: kind is
// COINIT_APARTMENTTHREADED (a thread that serves messages) or
// COINIT_MULTITHREADED.
class TComApartment {
public:
    explicit TComApartment(COINIT kind) noexcept;
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

    HRESULT Result() const { return FResult; }

private:
    HRESULT FResult;
};

// A registration that COM keeps under a cookie until it is revoked: revoked
// when the owner goes, or by Revoke where the end has an order of its own.
// Traits name the call that registers (its arguments, then the cookie) and
// the one that revokes.
template <class Traits>
class TComRegistration {
public:
    template <class... Args>
    explicit TComRegistration(Args&&... args) noexcept
        : FResult(Traits::Register(std::forward<Args>(args)..., &FCookie)), FHeld(SUCCEEDED(FResult))
    {
    }
    ~TComRegistration() { Revoke(); }
    TComRegistration(const TComRegistration&) = delete;
    TComRegistration& operator=(const TComRegistration&) = delete;

    HRESULT Result() const { return FResult; }
    void Revoke()
    {
        if (FHeld)
            Traits::Revoke(FCookie);
        FHeld = false;
    }

private:
    DWORD FCookie = 0; // before FResult, which fills it in
    HRESULT FResult;
    bool FHeld;
};

// A class object offered to other processes (a local server's), with the
// REGCLS_ flags given: (clsid, classObject, flags).
struct TClassObjectTraits {
    static HRESULT Register(REFCLSID clsid, IUnknown* classObject, DWORD flags, DWORD* cookie);
    static void Revoke(DWORD cookie);
};
using TClassObjectRegistration = TComRegistration<TClassObjectTraits>;

// An object registered as the running object of its class, with the
// ACTIVEOBJECT_ flags given, for clients that attach with GetActiveObject:
// (object, clsid, flags).
struct TActiveObjectTraits {
    static HRESULT Register(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie);
    static void Revoke(DWORD cookie);
};
using TActiveObjectRegistration = TComRegistration<TActiveObjectTraits>;
