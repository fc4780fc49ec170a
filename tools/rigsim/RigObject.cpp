#include "RigObject.h"

#include <string>

#include "ClientCall.h"
#include "RigSimSlots.h"
#include "base/win32/ComUtil.h"

namespace {

// A value the radio does not take: what it is not and what it expects.
HRESULT Refuse(const wchar_t* what, LONG value, const wchar_t* expected)
{
    return TSimulator::Fail(TIface::Rig, E_INVALIDARG,
                            std::wstring(L"Not a ") + what + L" value: " + std::to_wstring(value) + L"; expected " +
                                expected);
}

} // namespace

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
    return ComGuard([&] { return FSim.EnterPlaceholder(TIface::Rig, slot); });
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
    return ClientGet(FSim, TIface::Rig, RigSlot::GetRigType, value, [&](BSTR& type) {
        type = TBStr(FSim.Radio().RigType()).Detach();
        return S_OK;
    });
}

HRESULT TRigObject::GetLong(int slot, LONG* value, LONG (*read)(const TRadio&))
{
    return ClientGet(FSim, TIface::Rig, slot, value, [&](LONG& answer) {
        answer = read(FSim.Radio());
        return S_OK;
    });
}

template <class TApply>
HRESULT TRigObject::Put(int slot, LONG value, TApply apply)
{
    return ComGuard([&] {
        HRESULT hr = FSim.Enter(TIface::Rig, slot, value);
        if (SUCCEEDED(hr))
            hr = apply(FSim.Radio());
        if (SUCCEEDED(hr))
            FSim.ClientChanged();
        return hr;
    });
}

STDMETHODIMP TRigObject::get_Freq(LONG* value)
{
    return GetLong(RigSlot::GetFreq, value, [](const TRadio& radio) -> LONG { return radio.Freq(); });
}

HRESULT TRigObject::Put(int slot, LONG value, void (TRadio::*set)(int32_t))
{
    return Put(slot, value, [&](TRadio& radio) {
        (radio.*set)(value);
        return S_OK;
    });
}

STDMETHODIMP TRigObject::put_Freq(LONG value)
{
    return Put(RigSlot::PutFreq, value, &TRadio::SetFreq);
}

STDMETHODIMP TRigObject::get_FreqA(LONG* value)
{
    return GetLong(RigSlot::GetFreqA, value, [](const TRadio& radio) -> LONG { return radio.FreqA(); });
}

STDMETHODIMP TRigObject::put_FreqA(LONG value)
{
    return Put(RigSlot::PutFreqA, value, &TRadio::SetFreqA);
}

STDMETHODIMP TRigObject::get_FreqB(LONG* value)
{
    return GetLong(RigSlot::GetFreqB, value, [](const TRadio& radio) -> LONG { return radio.FreqB(); });
}

STDMETHODIMP TRigObject::put_FreqB(LONG value)
{
    return Put(RigSlot::PutFreqB, value, &TRadio::SetFreqB);
}

STDMETHODIMP TRigObject::get_Vfo(LONG* value)
{
    return GetLong(RigSlot::GetVfo, value, [](const TRadio& radio) -> LONG { return radio.Vfo(); });
}

STDMETHODIMP TRigObject::put_Vfo(LONG value)
{
    return Put(RigSlot::PutVfo, value, [&](TRadio& radio) {
        return radio.PutVfo(value) ? S_OK : Refuse(L"VFO", value, L"VFOA, VFOB, VFOAA, VFOAB, VFOBA or VFOBB");
    });
}

STDMETHODIMP TRigObject::get_Mode(LONG* value)
{
    return GetLong(RigSlot::GetMode, value, [](const TRadio& radio) -> LONG { return radio.Mode(); });
}

STDMETHODIMP TRigObject::put_Mode(LONG value)
{
    return Put(RigSlot::PutMode, value, [&](TRadio& radio) {
        return radio.PutMode(value) ? S_OK : Refuse(L"mode", value, L"one mode flag");
    });
}

STDMETHODIMP TRigObject::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == __uuidof(IRigX) ? S_OK : S_FALSE;
}
