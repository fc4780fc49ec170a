#include "RigObjects.h"

#include <olectl.h>

#include "base/win32/ComUtil.h"

namespace {

template <class T>
HRESULT HandOut(T* object, REFIID riid, void** ppv)
{
    // object comes with one reference, which this drops.
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

HRESULT SupportsErrorInfo(REFIID riid, REFIID own)
{
    return riid == own ? S_OK : S_FALSE;
}

} // namespace

// ---- shared parts ----------------------------------------------------------

HRESULT DispatchTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT DispatchTypeInfo(ITypeInfo* source, UINT index, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    if (!source)
        return E_UNEXPECTED;
    source->AddRef();
    *info = source;
    return S_OK;
}

HRESULT DispatchIdsOfNames(ITypeInfo* info, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!info)
        return E_UNEXPECTED;
    return DispGetIDsOfNames(info, names, count, ids);
}

HRESULT DispatchInvoke(void* object, ITypeInfo* info, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!info)
        return E_UNEXPECTED;
    return DispInvoke(object, info, id, flags, params, result, excep, argErr);
}


// ---- TOmniRigObject --------------------------------------------------------

std::span<const TOmniRigObject::TInterfaceRow> TOmniRigObject::Interfaces()
{
    static const TInterfaceRow rows[] = {
        Row<IOmniRigX>(),
        Row<IOmniRigX>(IID_IDispatch),
        Row<IConnectionPointContainer>(),
        Row<IRigSimControl>(),
        Row<ISupportErrorInfo>(),
        Row<IExternalConnection>(),
    };
    return rows;
}

TOmniRigObject::~TOmniRigObject()
{
    FSim.DropSinks(this);
}

HRESULT TOmniRigObject::Reserved(int slot)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::OmniRig, slot);
        return FAILED(hr) ? hr : TSimulator::Fail(TIface::OmniRig, E_NOTIMPL, L"Not implemented by the stand-in");
    });
}

STDMETHODIMP TOmniRigObject::Reserved7() { return Reserved(7); }
STDMETHODIMP TOmniRigObject::Reserved8() { return Reserved(8); }
STDMETHODIMP TOmniRigObject::Reserved10() { return Reserved(10); }

STDMETHODIMP TOmniRigObject::get_Rig(IRigX** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::OmniRig, 9);
        if (FAILED(hr))
            return hr;
        TRigObject* rig = FSim.Rig();
        if (!rig)
            return E_UNEXPECTED;
        // Locked again when the last client before had dropped the lock.
        rig->Lock();
        return rig->QueryInterface(__uuidof(IRigX), reinterpret_cast<void**>(value));
    });
}

STDMETHODIMP TOmniRigObject::get_DialogVisible(VARIANT_BOOL* value)
{
    if (!value)
        return E_POINTER;
    *value = VARIANT_FALSE;
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::OmniRig, 11);
        if (SUCCEEDED(hr))
            *value = FSim.DialogVisible() ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    });
}

STDMETHODIMP TOmniRigObject::put_DialogVisible(VARIANT_BOOL value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::OmniRig, 12, value);
        return FAILED(hr) ? hr : FSim.ShowDialog(value != VARIANT_FALSE);
    });
}

STDMETHODIMP TOmniRigObject::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (!points)
        return E_POINTER;
    *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TOmniRigObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (riid != __uuidof(IOmniRigXEvents))
        return CONNECT_E_NOCONNECTION;
    auto* cp = new (std::nothrow) TConnectionPoint(FSim, this);
    if (!cp)
        return E_OUTOFMEMORY;
    return HandOut(cp, IID_IConnectionPoint, reinterpret_cast<void**>(point));
}

STDMETHODIMP TOmniRigObject::SetRigType(BSTR name)
{
    return ComGuard([&] {
        FSim.Radio().SetRigType(TBStr::BStrText(name));
        FSim.OperatorChangedRigType();
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::SetFreq(LONG value)
{
    return ComGuard([&] {
        FSim.Radio().SetFreq(value);
        FSim.OperatorChanged(ParamsChanged::Freq);
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::SetFreqA(LONG value)
{
    return ComGuard([&] {
        FSim.Radio().SetFreqA(value);
        FSim.OperatorChanged(ParamsChanged::Freq);
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::SetFreqB(LONG value)
{
    return ComGuard([&] {
        FSim.Radio().SetFreqB(value);
        FSim.OperatorChanged(ParamsChanged::Freq);
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::SetMode(LONG value)
{
    return ComGuard([&] {
        FSim.Radio().SetRawMode(value);
        FSim.OperatorChanged(ParamsChanged::Mode);
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::SetVfo(LONG value)
{
    return ComGuard([&] {
        FSim.Radio().SetRawVfo(value);
        // The VFO in use may change, and with it the frequency.
        FSim.OperatorChanged(ParamsChanged::Vfo | ParamsChanged::Freq);
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::FailCalls(LONG count, LONG code, BSTR text)
{
    return ComGuard([&] { return FSim.FailCalls(count, static_cast<HRESULT>(code), TBStr::BStrText(text)); });
}

STDMETHODIMP TOmniRigObject::GetCallCount(LONG iface, LONG slot, LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    if (iface != 0 && iface != 1)
        return E_INVALIDARG;
    *count = FSim.CallCount(static_cast<TIface>(iface), slot);
    return S_OK;
}

STDMETHODIMP TOmniRigObject::GetCallLog(BSTR* log)
{
    if (!log)
        return E_POINTER;
    *log = nullptr;
    return ComGuard([&] {
        *log = TBStr(FSim.CallLog()).Detach();
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::Reset()
{
    FSim.Reset();
    return S_OK;
}

STDMETHODIMP TOmniRigObject::GetSinkCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = FSim.SinkCount();
    return S_OK;
}

STDMETHODIMP TOmniRigObject::GetDialogVisible(VARIANT_BOOL* visible)
{
    if (!visible)
        return E_POINTER;
    *visible = FSim.DialogVisible() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP TOmniRigObject::GetServerProcessId(LONG* id)
{
    if (!id)
        return E_POINTER;
    *id = static_cast<LONG>(GetCurrentProcessId());
    return S_OK;
}

STDMETHODIMP TOmniRigObject::SetCallDelay(LONG delay) { return FSim.SetCallDelay(delay); }

STDMETHODIMP TOmniRigObject::HangCalls(VARIANT_BOOL hang)
{
    FSim.HangCalls(hang != VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP TOmniRigObject::GetWaitingCalls(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = FSim.WaitingCalls();
    return S_OK;
}

STDMETHODIMP TOmniRigObject::InterfaceSupportsErrorInfo(REFIID riid)
{
    return SupportsErrorInfo(riid, __uuidof(IOmniRigX));
}


// ---- TRigObject ------------------------------------------------------------

std::span<const TRigObject::TInterfaceRow> TRigObject::Interfaces()
{
    static const TInterfaceRow rows[] = {
        Row<IRigX>(),
        Row<IRigX>(IID_IDispatch),
        Row<ISupportErrorInfo>(),
        Row<IExternalConnection>(),
    };
    return rows;
}

HRESULT TRigObject::Lock()
{
    if (FLocked)
        return S_OK;
    // Marked first: the lock's own connection arrives during the call.
    SetOwnLock(true);
    const HRESULT hr = CoLockObjectExternal(static_cast<IRigX*>(this), TRUE, FALSE);
    if (FAILED(hr)) {
        SetOwnLock(false);
        return hr;
    }
    FLocked = true;
    return S_OK;
}

void TRigObject::Unlock()
{
    if (!FLocked)
        return;
    FLocked = false;
    SetOwnLock(false);
    CoLockObjectExternal(static_cast<IRigX*>(this), FALSE, TRUE);
}

HRESULT TRigObject::Reserved(int slot)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, slot);
        return FAILED(hr) ? hr : TSimulator::Fail(TIface::Rig, E_NOTIMPL, L"Not implemented by the stand-in");
    });
}

STDMETHODIMP TRigObject::Reserved8() { return Reserved(8); }
STDMETHODIMP TRigObject::Reserved9() { return Reserved(9); }
STDMETHODIMP TRigObject::Reserved10() { return Reserved(10); }
STDMETHODIMP TRigObject::Reserved11() { return Reserved(11); }
STDMETHODIMP TRigObject::Reserved12() { return Reserved(12); }
STDMETHODIMP TRigObject::Reserved13() { return Reserved(13); }
STDMETHODIMP TRigObject::Reserved20() { return Reserved(20); }
STDMETHODIMP TRigObject::Reserved21() { return Reserved(21); }
STDMETHODIMP TRigObject::Reserved22() { return Reserved(22); }
STDMETHODIMP TRigObject::Reserved23() { return Reserved(23); }
STDMETHODIMP TRigObject::Reserved26() { return Reserved(26); }
STDMETHODIMP TRigObject::Reserved27() { return Reserved(27); }
STDMETHODIMP TRigObject::Reserved28() { return Reserved(28); }
STDMETHODIMP TRigObject::Reserved29() { return Reserved(29); }
STDMETHODIMP TRigObject::Reserved30() { return Reserved(30); }
STDMETHODIMP TRigObject::Reserved31() { return Reserved(31); }
STDMETHODIMP TRigObject::Reserved32() { return Reserved(32); }
STDMETHODIMP TRigObject::Reserved33() { return Reserved(33); }

STDMETHODIMP TRigObject::get_RigType(BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 7);
        if (FAILED(hr))
            return hr;
        *value = TBStr(FSim.Radio().RigType()).Detach();
        return S_OK;
    });
}

HRESULT TRigObject::GetLong(int slot, LONG* value, LONG (*read)(const TRadio&))
{
    if (!value)
        return E_POINTER;
    *value = 0;
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, slot);
        if (SUCCEEDED(hr))
            *value = read(FSim.Radio());
        return hr;
    });
}

STDMETHODIMP TRigObject::get_Freq(LONG* value)
{
    return GetLong(14, value, [](const TRadio& radio) -> LONG { return radio.Freq(); });
}

STDMETHODIMP TRigObject::put_Freq(LONG value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 15, value);
        if (SUCCEEDED(hr)) {
            FSim.Radio().SetFreq(value);
            FSim.ClientChanged();
        }
        return hr;
    });
}

STDMETHODIMP TRigObject::get_FreqA(LONG* value)
{
    return GetLong(16, value, [](const TRadio& radio) -> LONG { return radio.FreqA(); });
}

STDMETHODIMP TRigObject::put_FreqA(LONG value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 17, value);
        if (SUCCEEDED(hr)) {
            FSim.Radio().SetFreqA(value);
            FSim.ClientChanged();
        }
        return hr;
    });
}

STDMETHODIMP TRigObject::get_FreqB(LONG* value)
{
    return GetLong(18, value, [](const TRadio& radio) -> LONG { return radio.FreqB(); });
}

STDMETHODIMP TRigObject::put_FreqB(LONG value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 19, value);
        if (SUCCEEDED(hr)) {
            FSim.Radio().SetFreqB(value);
            FSim.ClientChanged();
        }
        return hr;
    });
}

STDMETHODIMP TRigObject::get_Vfo(LONG* value)
{
    return GetLong(24, value, [](const TRadio& radio) -> LONG { return radio.Vfo(); });
}

STDMETHODIMP TRigObject::put_Vfo(LONG value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 25, value);
        if (FAILED(hr))
            return hr;
        if (!FSim.Radio().PutVfo(value))
            return TSimulator::Fail(TIface::Rig, E_INVALIDARG,
                                    L"Not a VFO value: " + std::to_wstring(value) +
                                        L"; expected VFOA, VFOB, VFOAA, VFOAB, VFOBA or VFOBB");
        FSim.ClientChanged();
        return S_OK;
    });
}

STDMETHODIMP TRigObject::get_Mode(LONG* value)
{
    return GetLong(34, value, [](const TRadio& radio) -> LONG { return radio.Mode(); });
}

STDMETHODIMP TRigObject::put_Mode(LONG value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::Rig, 35, value);
        if (FAILED(hr))
            return hr;
        if (!FSim.Radio().PutMode(value))
            return TSimulator::Fail(TIface::Rig, E_INVALIDARG,
                                    L"Not a mode value: " + std::to_wstring(value) + L"; expected one mode flag");
        FSim.ClientChanged();
        return S_OK;
    });
}

STDMETHODIMP TRigObject::InterfaceSupportsErrorInfo(REFIID riid)
{
    return SupportsErrorInfo(riid, __uuidof(IRigX));
}


// ---- TConnectionPoint ------------------------------------------------------

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


// ---- TClassFactory ---------------------------------------------------------

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
    auto* object = new (std::nothrow) TOmniRigObject(FSim);
    if (!object)
        return E_OUTOFMEMORY;
    return HandOut(object, riid, ppv);
}

STDMETHODIMP TClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        ++FLocks;
        FSim.AddServerRef();
    } else if (FLocks > 0) {
        // An unlock without a lock must not end a server that others use.
        --FLocks;
        FSim.ReleaseServerRef();
    }
    return S_OK;
}
