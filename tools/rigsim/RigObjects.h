#pragma once
// The COM objects that rigsim.exe hands out: the server object (IOmniRigX and
// the control interface), the rig object (IRigX), the connection point for the
// server's events and the class factory. Each one counts the strong external
// connections of clients to it, which keep the process alive when COM started
// it.

#include <windows.h>
#include <ocidl.h>

#include "RigSim.h"
#include "Simulator.h"
#include "base/win32/ComObject.h"

// Counts the strong external connections of one object into the server
// process: those of clients keep the process alive when COM started it. A
// lasting lock that the object holds on itself is no client. Self provides
// Simulator().
//
// Wine tells an object only when its first external reference comes and its
// last one goes, whoever holds them: while the object's own lock stands it
// hears of no client at all. Dropping the lock when no other client is left
// settles it: a client that still holds the object is then its last reference.
template <class Self>
class TCountedConnections : public IExternalConnection {
public:
    DWORD STDMETHODCALLTYPE AddConnection(DWORD type, DWORD) override
    {
        if (type & EXTCONN_STRONG) {
            ++FStrong;
            Settle();
        }
        return FStrong;
    }

    DWORD STDMETHODCALLTYPE ReleaseConnection(DWORD type, DWORD, BOOL) override
    {
        if ((type & EXTCONN_STRONG) && FStrong > 0) {
            --FStrong;
            Settle();
        }
        return FStrong;
    }

protected:
    // Set before the object locks itself and after it unlocks itself.
    void SetOwnLock(bool held)
    {
        FOwn = held ? 1 : 0;
        Settle();
    }

private:
    // Holds one server reference for every client connection. The server's
    // answer may come back here (a last release drops a lasting lock), so the
    // count is settled one step at a time.
    void Settle()
    {
        for (;;) {
            const DWORD clients = FStrong > FOwn ? FStrong - FOwn : 0;
            TSimulator& sim = static_cast<Self*>(this)->Simulator();
            if (FCounted < clients) {
                ++FCounted;
                sim.AddServerRef();
            } else if (FCounted > clients) {
                --FCounted;
                sim.ReleaseServerRef();
            } else {
                return;
            }
        }
    }

    DWORD FStrong = 0;
    DWORD FOwn = 0;
    DWORD FCounted = 0;
};

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

class TOmniRigObject final : public TComObject<TOmniRigObject, TSimDispatch<TOmniRigObject, IOmniRigX, TIface::OmniRig>,
                                               IConnectionPointContainer, IRigSimControl, ISupportErrorInfo,
                                               TCountedConnections<TOmniRigObject>> {
public:
    explicit TOmniRigObject(TSimulator& sim) : FSim(sim) {}
    static std::span<const TInterfaceRow> Interfaces();
    TSimulator& Simulator() { return FSim; }

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
    STDMETHODIMP SetCallDelay(LONG delay) override;
    STDMETHODIMP HangCalls(VARIANT_BOOL hang) override;
    STDMETHODIMP GetWaitingCalls(LONG* count) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    ~TOmniRigObject() override;
    HRESULT Reserved(int slot);

    TSimulator& FSim;
};

// The radio's one rig object: every fetch of the rig hands out this same
// object, for the life of the server.
class TRigObject final : public TComObject<TRigObject, TSimDispatch<TRigObject, IRigX, TIface::Rig>, ISupportErrorInfo,
                                           TCountedConnections<TRigObject>> {
public:
    explicit TRigObject(TSimulator& sim) : FSim(sim) {}
    static std::span<const TInterfaceRow> Interfaces();
    TSimulator& Simulator() { return FSim; }

    // A lasting external lock keeps the object's stub, and so its interface
    // registration, from one client's release to the next fetch; without it
    // every fetch builds the stub anew and every release tears it down.
    // Locking a locked object does nothing.
    HRESULT Lock();
    // Drops the lock: at shutdown, and when no other client is left, so that
    // the clients still holding the rig are what keeps the server.
    void Unlock();

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
    ~TRigObject() override = default;
    HRESULT Reserved(int slot);
    HRESULT GetLong(int slot, LONG* value, LONG (*read)(const TRadio&));

    TSimulator& FSim;
    bool FLocked = false;
};

// The one connection point of a server object, for IOmniRigXEvents. The sinks
// themselves are kept by the simulator under the owning server object.
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

class TClassFactory final : public TComObject<TClassFactory, IClassFactory> {
public:
    explicit TClassFactory(TSimulator& sim) : FSim(sim) {}
    static std::span<const TInterfaceRow> Interfaces();

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~TClassFactory() override = default;

    LONG FLocks = 0;
    TSimulator& FSim;
};
