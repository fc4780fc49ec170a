#include "OmniRigObject.h"

#include <olectl.h>

#include "ClientCall.h"
#include "ConnectionPoint.h"
#include "RigObject.h"
#include "RigSimSlots.h"

TOmniRigObject::TOmniRigObject(TSimulator& sim) : FSim(sim), FControl(*static_cast<IOmniRigX*>(this), sim) {}

TOmniRigObject::~TOmniRigObject()
{
    FSim.DropSinks(this);
}

std::span<const TOmniRigObject::TInterfaceRow> TOmniRigObject::Interfaces()
{
    static const TInterfaceRow rows[] = {
        Row<IOmniRigX>(),
        Row<IOmniRigX>(IID_IDispatch),
        Row<IConnectionPointContainer>(),
        {&__uuidof(IRigSimControl), [](TOmniRigObject* self) -> IUnknown* { return &self->FControl; }},
        Row<ISupportErrorInfo>(),
        Row<IExternalConnection>(),
    };
    return rows;
}

HRESULT TOmniRigObject::Reserved(int slot)
{
    return ComGuard([&] { return FSim.EnterPlaceholder(TIface::OmniRig, slot); });
}

STDMETHODIMP TOmniRigObject::Reserved7() { return Reserved(7); }
STDMETHODIMP TOmniRigObject::Reserved8() { return Reserved(8); }
STDMETHODIMP TOmniRigObject::Reserved10() { return Reserved(10); }

STDMETHODIMP TOmniRigObject::get_Rig(IRigX** value)
{
    return ClientGet(FSim, TIface::OmniRig, OmniRigSlot::GetRig, value, [&](IRigX*& answer) {
        TRigObject* rig = FSim.Rig();
        if (!rig)
            return E_UNEXPECTED;
        // Locked again when the last client before had dropped the lock.
        rig->Lock();
        return rig->QueryInterface(__uuidof(IRigX), reinterpret_cast<void**>(&answer));
    });
}

STDMETHODIMP TOmniRigObject::get_DialogVisible(VARIANT_BOOL* value)
{
    return ClientGet(FSim, TIface::OmniRig, OmniRigSlot::GetDialogVisible, value, [&](VARIANT_BOOL& visible) {
        visible = FSim.DialogVisible() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP TOmniRigObject::put_DialogVisible(VARIANT_BOOL value)
{
    return ComGuard([&] {
        const HRESULT hr = FSim.Enter(TIface::OmniRig, OmniRigSlot::PutDialogVisible, value);
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
    return MakeAndQuery<TConnectionPoint>(IID_IConnectionPoint, reinterpret_cast<void**>(point), FSim, this);
}

STDMETHODIMP TOmniRigObject::InterfaceSupportsErrorInfo(REFIID riid)
{
    return riid == __uuidof(IOmniRigX) ? S_OK : S_FALSE;
}
