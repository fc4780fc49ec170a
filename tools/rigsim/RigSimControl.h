#pragma once
// The stand-in's back door for tests and demos (IRigSimControl): the radio as
// an operator changes it, scripted failures, delays and hangs, and what the
// clients called. A part of every server object: it answers for that object
// (its queries, references and identity are the server object's), so a client
// reaches it by asking the server object for IRigSimControl.

#include <windows.h>

#include "RigSim.h"
#include "Simulator.h"

class TRigSimControl final : public IRigSimControl {
public:
    TRigSimControl(IUnknown& owner, TSimulator& sim) : FOwner(owner), FSim(sim) {}
    TRigSimControl(const TRigSimControl&) = delete;
    TRigSimControl& operator=(const TRigSimControl&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return FOwner.QueryInterface(iid, object); }
    STDMETHODIMP_(ULONG) AddRef() override { return FOwner.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return FOwner.Release(); }

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

private:
    // The operator turns a knob: the radio takes value as it is, and the
    // dialog and every sink hear what changed.
    HRESULT OperatorSets(void (TRadio::*set)(int32_t), LONG value, long changed);

    IUnknown& FOwner;
    TSimulator& FSim;
};
