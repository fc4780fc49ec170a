#pragma once
// The stand-in's server object (IOmniRigX): the rig, the settings dialog, the
// connection point for the server's events, and the back door (IRigSimControl)
// as a part of it. COM makes one for every client that creates the class;
// rigsim.exe keeps one as the running object.

#include <windows.h>
#include <ocidl.h>

#include "CountedConnections.h"
#include "RigSim.h"
#include "RigSimControl.h"
#include "SimDispatch.h"
#include "Simulator.h"
#include "base/win32/ComObject.h"

class TOmniRigObject final
    : public TComObject<TOmniRigObject, TSimDispatch<TOmniRigObject, IOmniRigX, TIface::OmniRig>,
                        IConnectionPointContainer, ISupportErrorInfo, TCountedConnections<TOmniRigObject>> {
public:
    explicit TOmniRigObject(TSimulator& sim);
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

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    ~TOmniRigObject() override;
    HRESULT Reserved(int slot);

    TSimulator& FSim;
    TRigSimControl FControl;
};
