#pragma once
// One base for hand-written COM objects: reference counting, QueryInterface
// from a table of the interfaces an object answers for, making an object for
// the interface a client asks, and the edge that keeps C++ exceptions inside
// a COM method.

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <span>
#include <utility>

#include "base/SysUtils.h"

// TComObject<Self, Bases...> is the base of Self; Bases are the interfaces Self
// implements, or partial implementations of them. Self lists every IID it
// answers for in a static Interfaces() table of Row<Interface>(iid) entries;
// the first row is also its IUnknown identity. An object is made with one
// reference, owned by its maker (ComPtr::Attach), and deletes itself when the
// last one goes.
//
// Self may declare `static void ObjectMade() noexcept` and `static void
// ObjectFreed() noexcept`: they run as each object is made and freed, for a
// server that lives as long as any of its objects do.
template <class Self, class... Bases>
class TComObject : public Bases... {
public:
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        Self* self = static_cast<Self*>(this);
        const std::span<const TInterfaceRow> rows = Self::Interfaces();
        IUnknown* found = nullptr;
        if (iid == IID_IUnknown && !rows.empty()) {
            found = rows.front().Get(self);
        } else {
            for (const TInterfaceRow& row : rows) {
                if (*row.Iid == iid) {
                    found = row.Get(self);
                    break;
                }
            }
        }
        if (!found)
            return E_NOINTERFACE;
        found->AddRef();
        *object = found;
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const LONG refs = InterlockedDecrement(&FRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

protected:
    struct TInterfaceRow {
        const IID* Iid;
        IUnknown* (*Get)(Self* self);
    };

    // Self answers for iid with its Interface.
    template <class Interface>
    static TInterfaceRow Row(const IID& iid = __uuidof(Interface))
    {
        return {&iid, [](Self* self) -> IUnknown* { return static_cast<Interface*>(self); }};
    }

    TComObject() noexcept { Self::ObjectMade(); }
    virtual ~TComObject() { Self::ObjectFreed(); }

    static void ObjectMade() noexcept {}
    static void ObjectFreed() noexcept {}

private:
    LONG FRefs = 1;
};

// Runs the body of a COM method and turns what it raises into an HRESULT, so
// that no exception crosses the COM boundary.
template <class TBody>
HRESULT ComGuard(TBody&& body) noexcept
{
    try {
        return body();
    } catch (const EOleError& error) {
        return FAILED(error.ErrorCode()) ? static_cast<HRESULT>(error.ErrorCode()) : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The same edge for a method that answers a value instead of an HRESULT: what
// the body raises answers failed.
template <class TResult, class TBody>
TResult ComGuard(TResult failed, TBody&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failed;
    }
}

// Makes an Object from args and answers iid from it (a class object's
// CreateInstance): the maker's reference goes, so the caller's is the only
// one and a refused interface frees the object again. E_OUTOFMEMORY when it
// cannot be made.
template <class Object, class... Args>
HRESULT MakeAndQuery(REFIID iid, void** answer, Args&&... args) noexcept
{
    Object* made = new (std::nothrow) Object(std::forward<Args>(args)...);
    if (!made)
        return E_OUTOFMEMORY;
    const HRESULT result = made->QueryInterface(iid, answer);
    made->Release();
    return result;
}
