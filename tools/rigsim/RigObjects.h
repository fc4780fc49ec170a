#pragma once
// The COM objects that rigsim.exe hands out: the server object (IOmniRigX and
// the control interface), rig objects (IRigX), the connection point for the
// server's events and the class factory. Each one counts the strong external
// connections to it, which keep the process alive when COM started it.

#include <windows.h>
#include <ocidl.h>

#include "RigSim.h"
#include "Simulator.h"

// Counts the strong external connections of one object into the server
// process; they keep the process alive when COM started it.
class TCountedConnections : public IExternalConnection {
public:
    explicit TCountedConnections(TSimulator& sim) : FSimulator(sim) {}
    STDMETHODIMP_(DWORD) AddConnection(DWORD type, DWORD reserved) override;
    STDMETHODIMP_(DWORD) ReleaseConnection(DWORD type, DWORD reserved, BOOL lastReleaseCloses) override;

private:
    TSimulator& FSimulator;
    DWORD FStrong = 0;
};

// The IDispatch side of a dual interface, answered from the embedded type
// library; calls through Invoke reach the vtable methods, which count them.
HRESULT DispatchTypeInfoCount(UINT* count);
HRESULT DispatchTypeInfo(ITypeInfo* source, UINT index, ITypeInfo** info);
HRESULT DispatchIdsOfNames(ITypeInfo* info, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
HRESULT DispatchInvoke(void* object, ITypeInfo* info, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr);

template <class Interface, TIface Kind>
class TSimDispatch : public Interface {
public:
    explicit TSimDispatch(TSimulator& sim) : FDispatchSim(sim) {}
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return DispatchTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        return DispatchTypeInfo(FDispatchSim.DispatchInfo(Kind), index, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return DispatchIdsOfNames(FDispatchSim.VtableInfo(Kind), riid, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override
    {
        return DispatchInvoke(static_cast<Interface*>(this), FDispatchSim.VtableInfo(Kind), id, riid, flags, params,
                              result, excep, argErr);
    }

private:
    TSimulator& FDispatchSim;
};

class TOmniRigObject final : public TSimDispatch<IOmniRigX, TIface::OmniRig>,
                             public IConnectionPointContainer,
                             public IRigSimControl,
                             public ISupportErrorInfo,
                             public TCountedConnections {
public:
    explicit TOmniRigObject(TSimulator& sim);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOmniRigX
    STDMETHODIMP Reserved7() override;
    STDMETHODIMP Reserved8() override;
    STDMETHODIMP get_Rig(IRigX** value) override;
    STDMETHODIMP Reserved10() override;
    STDMETHODIMP get_DialogVisible(VARIANT_BOOL* value) override;
    STDMETHODIMP put_DialogVisible(VARIANT_BOOL value) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IRigSimControl
    STDMETHODIMP SetRigType(BSTR name) override;
    STDMETHODIMP SetFreq(LONG value) override;
    STDMETHODIMP SetFreqA(LONG value) override;
    STDMETHODIMP SetFreqB(LONG value) override;
    STDMETHODIMP SetMode(LONG value) override;
    STDMETHODIMP SetVfo(LONG value) override;
    STDMETHODIMP FailCalls(LONG count, LONG code, BSTR text) override;
    STDMETHODIMP GetCallCount(LONG iface, LONG slot, LONG* count) override;
    STDMETHODIMP GetCallLog(BSTR* log) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP GetSinkCount(LONG* count) override;
    STDMETHODIMP GetDialogVisible(VARIANT_BOOL* visible) override;
    STDMETHODIMP GetServerProcessId(LONG* id) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    ~TOmniRigObject();
    HRESULT Reserved(int slot);

    LONG FRefs = 1;
    TSimulator& FSim;
};

class TRigObject final : public TSimDispatch<IRigX, TIface::Rig>, public ISupportErrorInfo, public TCountedConnections {
public:
    explicit TRigObject(TSimulator& sim);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IRigX
    STDMETHODIMP get_RigType(BSTR* value) override;
    STDMETHODIMP Reserved8() override;
    STDMETHODIMP Reserved9() override;
    STDMETHODIMP Reserved10() override;
    STDMETHODIMP Reserved11() override;
    STDMETHODIMP Reserved12() override;
    STDMETHODIMP Reserved13() override;
    STDMETHODIMP get_Freq(LONG* value) override;
    STDMETHODIMP put_Freq(LONG value) override;
    STDMETHODIMP get_FreqA(LONG* value) override;
    STDMETHODIMP put_FreqA(LONG value) override;
    STDMETHODIMP get_FreqB(LONG* value) override;
    STDMETHODIMP put_FreqB(LONG value) override;
    STDMETHODIMP Reserved20() override;
    STDMETHODIMP Reserved21() override;
    STDMETHODIMP Reserved22() override;
    STDMETHODIMP Reserved23() override;
    STDMETHODIMP get_Vfo(LONG* value) override;
    STDMETHODIMP put_Vfo(LONG value) override;
    STDMETHODIMP Reserved26() override;
    STDMETHODIMP Reserved27() override;
    STDMETHODIMP Reserved28() override;
    STDMETHODIMP Reserved29() override;
    STDMETHODIMP Reserved30() override;
    STDMETHODIMP Reserved31() override;
    STDMETHODIMP Reserved32() override;
    STDMETHODIMP Reserved33() override;
    STDMETHODIMP get_Mode(LONG* value) override;
    STDMETHODIMP put_Mode(LONG value) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    ~TRigObject() = default;
    HRESULT Reserved(int slot);
    HRESULT GetLong(int slot, LONG* value, LONG (*read)(const TRadio&));

    LONG FRefs = 1;
    TSimulator& FSim;
};

// The one connection point of a server object, for IOmniRigXEvents. The sinks
// themselves are kept by the simulator under the owning server object.
class TConnectionPoint final : public IConnectionPoint, public TCountedConnections {
public:
    TConnectionPoint(TSimulator& sim, TOmniRigObject* owner);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

private:
    ~TConnectionPoint();

    LONG FRefs = 1;
    TSimulator& FSim;
    TOmniRigObject* FOwner; // one reference held
};

class TClassFactory final : public IClassFactory {
public:
    explicit TClassFactory(TSimulator& sim) : FSim(sim) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~TClassFactory() = default;

    LONG FRefs = 1;
    LONG FLocks = 0;
    TSimulator& FSim;
};
