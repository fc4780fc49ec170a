#include "rig/win32/OmniRigX.h"

#include <olectl.h>

#include "base/win32/ComUtil.h"

using Microsoft::WRL::ComPtr;

namespace {

// Takes the rig server's events and drops them.
class TOmniRigXEvents final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != __uuidof(IOmniRigXEvents))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&FRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (result)
            VariantInit(result);
        return S_OK;
    }

private:
    LONG FRefs = 1;
};

// One rig object for one call.
class TRigX final : public IRig {
public:
    TRigX(TOmniRigX& server, ComPtr<IRigX> rig) : FServer(server), FRig(std::move(rig)) {}

    std::string GetRigType() override
    {
        TBStr name;
        Check(FRig->get_RigType(name.Out()));
        return name.Ansi();
    }
    int32_t GetFreq() override { return Get(&IRigX::get_Freq); }
    void PutFreq(int32_t value) override { Check(FRig->put_Freq(value)); }
    int32_t GetFreqA() override { return Get(&IRigX::get_FreqA); }
    void PutFreqA(int32_t value) override { Check(FRig->put_FreqA(value)); }
    int32_t GetFreqB() override { return Get(&IRigX::get_FreqB); }
    void PutFreqB(int32_t value) override { Check(FRig->put_FreqB(value)); }
    int32_t GetVfo() override { return Get(&IRigX::get_Vfo); }
    void PutVfo(int32_t value) override { Check(FRig->put_Vfo(value)); }
    int32_t GetMode() override { return Get(&IRigX::get_Mode); }
    void PutMode(int32_t value) override { Check(FRig->put_Mode(value)); }

private:
    int32_t Get(HRESULT (STDMETHODCALLTYPE IRigX::*getter)(LONG*))
    {
        LONG value = 0;
        Check((FRig.Get()->*getter)(&value));
        return value;
    }
    void Check(HRESULT code) { FServer.Check(code, FRig.Get(), __uuidof(IRigX)); }

    TOmniRigX& FServer;
    ComPtr<IRigX> FRig;
};

// The description of the error object the failed call left, when the object
// says it supports error objects on that interface.
std::string ServerErrorText(IUnknown* object, REFIID iid)
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info || !object)
        return {};
    ComPtr<ISupportErrorInfo> support;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support))) || support->InterfaceSupportsErrorInfo(iid) != S_OK)
        return {};
    TBStr description;
    if (FAILED(info->GetDescription(description.Out())))
        return {};
    std::string text = description.Ansi();
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text;
}

} // namespace

bool IsServerGone(HRESULT code)
{
    static const HRESULT kGone[] = {
        RPC_E_DISCONNECTED,
        RPC_E_SERVER_DIED,
        RPC_E_SERVER_DIED_DNE,
        RPC_E_CONNECTION_TERMINATED,
        CO_E_OBJNOTCONNECTED,
        HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE),
    };
    for (HRESULT gone : kGone)
        if (code == gone)
            return true;
    return false;
}

TOmniRigX::~TOmniRigX() { Disconnect(); }

void TOmniRigX::Connect()
{
    ComPtr<IOmniRigX> intf;
    ComPtr<IUnknown> running;
    // A registration left behind by a server that died answers no query; then a
    // new instance is made.
    if (SUCCEEDED(GetActiveObject(__uuidof(OmniRigX), nullptr, &running)) && running)
        running.As(&intf);
    if (!intf) {
        HRESULT code = CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_PPV_ARGS(&intf));
        if (FAILED(code))
            throw EOleError(OleErrorText(code), code);
    }
    if (!intf)
        throw EOleError("DefaultInterface is NULL. Component is not connected to Server. You must call 'Connect' "
                        "or 'ConnectTo' before this operation",
                        E_POINTER);
    FIntf = intf;

    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(FIntf.As(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(__uuidof(IOmniRigXEvents), &point))) {
        ComPtr<IDispatch> sink;
        sink.Attach(new TOmniRigXEvents);
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(sink.Get(), &cookie))) {
            FEvents = point;
            FEventsCookie = cookie;
        }
    }
}

ComPtr<IOmniRigX> TOmniRigX::DefaultInterface()
{
    if (!FIntf)
        Connect();
    return FIntf;
}

void TOmniRigX::Disconnect()
{
    if (FEvents)
        FEvents->Unadvise(FEventsCookie);
    Drop();
}

void TOmniRigX::Drop()
{
    FEvents.Reset();
    FEventsCookie = 0;
    FIntf.Reset();
}

void TOmniRigX::Check(HRESULT code, IUnknown* object, REFIID iid)
{
    if (SUCCEEDED(code))
        return;
    std::string text = ServerErrorText(object, iid);
    if (text.empty())
        text = OleErrorText(code);
    if (IsServerGone(code))
        Drop();
    throw EOleError(text, code);
}

std::unique_ptr<IRig> TOmniRigX::Rig()
{
    ComPtr<IOmniRigX> intf = DefaultInterface();
    ComPtr<IRigX> rig;
    Check(intf->get_Rig(&rig), intf.Get(), __uuidof(IOmniRigX));
    if (!rig)
        throw EOleError(OleErrorText(E_POINTER), E_POINTER);
    return std::make_unique<TRigX>(*this, std::move(rig));
}

void TOmniRigX::ShowRigDialog(bool visible)
{
    ComPtr<IOmniRigX> intf = DefaultInterface();
    Check(intf->put_DialogVisible(visible ? VARIANT_TRUE : VARIANT_FALSE), intf.Get(), __uuidof(IOmniRigX));
}
