#pragma once
// IDispatch for the stand-in's dual interfaces, from the type library
// embedded in rigsim.exe.

#include <windows.h>
#include <oaidl.h>

#include "Simulator.h"

// The IDispatch side of a dual interface, answered from the embedded type
// library; calls through Invoke reach the vtable methods, which count them.
HRESULT DispatchTypeInfoCount(UINT* count);
HRESULT DispatchTypeInfo(ITypeInfo* source, UINT index, ITypeInfo** info);
HRESULT DispatchIdsOfNames(ITypeInfo* info, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
HRESULT DispatchInvoke(void* object, ITypeInfo* info, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr);

template <class Self, class Interface, TIface Kind>
class TSimDispatch : public Interface {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return DispatchTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        return DispatchTypeInfo(Sim().DispatchInfo(Kind), index, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return DispatchIdsOfNames(Sim().VtableInfo(Kind), riid, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override
    {
        return DispatchInvoke(static_cast<Interface*>(this), Sim().VtableInfo(Kind), id, riid, flags, params, result,
                              excep, argErr);
    }

private:
    TSimulator& Sim() { return static_cast<Self*>(this)->Simulator(); }
};
