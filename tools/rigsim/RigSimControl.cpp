#include "RigSimControl.h"

#include "base/win32/ComObject.h"
#include "base/win32/ComUtil.h"

namespace {

// A question about the stand-in: *answer is what read gives.
template <class T, class TRead>
HRESULT Answer(T* answer, TRead read)
{
    if (!answer)
        return E_POINTER;
    *answer = T{};
    return ComGuard([&] {
        *answer = read();
        return S_OK;
    });
}

} // namespace

HRESULT TRigSimControl::OperatorSets(void (TRadio::*set)(int32_t), LONG value, long changed)
{
    return ComGuard([&] {
        (FSim.Radio().*set)(value);
        FSim.OperatorChanged(changed);
        return S_OK;
    });
}

STDMETHODIMP TRigSimControl::SetRigType(BSTR name)
{
    return ComGuard([&] {
        FSim.Radio().SetRigType(TBStr::BStrText(name));
        FSim.OperatorChangedRigType();
        return S_OK;
    });
}

STDMETHODIMP TRigSimControl::SetFreq(LONG value)
{
    return OperatorSets(&TRadio::SetFreq, value, ParamsChanged::Freq);
}

STDMETHODIMP TRigSimControl::SetFreqA(LONG value)
{
    return OperatorSets(&TRadio::SetFreqA, value, ParamsChanged::Freq);
}

STDMETHODIMP TRigSimControl::SetFreqB(LONG value)
{
    return OperatorSets(&TRadio::SetFreqB, value, ParamsChanged::Freq);
}

STDMETHODIMP TRigSimControl::SetMode(LONG value)
{
    return OperatorSets(&TRadio::SetRawMode, value, ParamsChanged::Mode);
}

STDMETHODIMP TRigSimControl::SetVfo(LONG value)
{
    // The VFO in use may change, and with it the frequency.
    return OperatorSets(&TRadio::SetRawVfo, value, ParamsChanged::Vfo | ParamsChanged::Freq);
}

STDMETHODIMP TRigSimControl::FailCalls(LONG count, LONG code, BSTR text)
{
    return ComGuard([&] { return FSim.FailCalls(count, static_cast<HRESULT>(code), TBStr::BStrText(text)); });
}

STDMETHODIMP TRigSimControl::GetCallCount(LONG iface, LONG slot, LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    if (iface != static_cast<LONG>(TIface::OmniRig) && iface != static_cast<LONG>(TIface::Rig))
        return E_INVALIDARG;
    return ComGuard([&] {
        *count = FSim.CallCount(static_cast<TIface>(iface), slot);
        return S_OK;
    });
}

STDMETHODIMP TRigSimControl::GetCallLog(BSTR* log)
{
    return Answer(log, [&] { return TBStr(FSim.CallLog()).Detach(); });
}

STDMETHODIMP TRigSimControl::Reset()
{
    return ComGuard([&] {
        FSim.Reset();
        return S_OK;
    });
}

STDMETHODIMP TRigSimControl::GetSinkCount(LONG* count)
{
    return Answer(count, [&] { return FSim.SinkCount(); });
}

STDMETHODIMP TRigSimControl::GetDialogVisible(VARIANT_BOOL* visible)
{
    return Answer(visible, [&] { return FSim.DialogVisible() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP TRigSimControl::GetServerProcessId(LONG* id)
{
    return Answer(id, [] { return static_cast<LONG>(GetCurrentProcessId()); });
}

STDMETHODIMP TRigSimControl::SetCallDelay(LONG delay)
{
    return ComGuard([&] { return FSim.SetCallDelay(delay); });
}

STDMETHODIMP TRigSimControl::HangCalls(VARIANT_BOOL hang)
{
    return ComGuard([&] {
        FSim.HangCalls(hang != VARIANT_FALSE);
        return S_OK;
    });
}

STDMETHODIMP TRigSimControl::GetWaitingCalls(LONG* count)
{
    return Answer(count, [&] { return FSim.WaitingCalls(); });
}
