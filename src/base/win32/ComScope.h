#pragma once
// Owners of what COM grants for a while: the thread's apartment, a class
// object offered to other processes, an object in the running object table.
// Each asks in its constructor and gives back in its destructor only what was
// granted; a refusal leaves an owner that holds nothing, and Result() says
// why (OleCheck(owner.Result()) raises it).

#include <windows.h>
#include <objbase.h>

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

// A class object offered to other processes (a local server's), with the
// REGCLS_ flags given; revoked when the owner goes, or by Revoke where the end
// has an order of its own.
class TClassObjectRegistration {
public:
    TClassObjectRegistration(REFCLSID clsid, IUnknown* classObject, DWORD flags) noexcept;
    ~TClassObjectRegistration() { Revoke(); }
    TClassObjectRegistration(const TClassObjectRegistration&) = delete;
    TClassObjectRegistration& operator=(const TClassObjectRegistration&) = delete;

    HRESULT Result() const { return FResult; }
    void Revoke();

private:
    DWORD FCookie = 0; // before FResult, which fills it in
    HRESULT FResult;
    bool FHeld;
};

// An object registered as the running object of its class (ACTIVEOBJECT_
// flags), for clients that attach with GetActiveObject.
class TActiveObjectRegistration {
public:
    TActiveObjectRegistration(IUnknown* object, REFCLSID clsid, DWORD flags) noexcept;
    ~TActiveObjectRegistration() { Revoke(); }
    TActiveObjectRegistration(const TActiveObjectRegistration&) = delete;
    TActiveObjectRegistration& operator=(const TActiveObjectRegistration&) = delete;

    HRESULT Result() const { return FResult; }
    void Revoke();

private:
    DWORD FCookie = 0; // before FResult, which fills it in
    HRESULT FResult;
    bool FHeld;
};
