#pragma once
// The stand-in's rig object (IRigX): the one radio as the clients read and
// change it, every call counted and logged.

#include <windows.h>

#include "CountedConnections.h"
#include "RigSim.h"
#include "SimDispatch.h"
#include "Simulator.h"
#include "base/win32/ComObject.h"

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
    // A client's put: counted and logged with its value, then, unless a
    // failure is scripted, applied (apply answers S_OK, or the refusal of a
    // value the radio does not take) and shown in the dialog.
    template <class TApply>
    HRESULT Put(int slot, LONG value, TApply apply);
    // A put the radio always takes.
    HRESULT Put(int slot, LONG value, void (TRadio::*set)(int32_t));

    TSimulator& FSim;
    bool FLocked = false;
};
