#include "rig/win32/OmniRigX.h"

#include <olectl.h>

#include "base/win32/ComObject.h"
#include "base/win32/ComUtil.h"
#include "rig/win32/RigProxies.h"

using Microsoft::WRL::ComPtr;

struct TOmniRigX::TConnection {
    ComPtr<IOmniRigX> Intf;
    ComPtr<IConnectionPoint> Events;
    DWORD EventsCookie = 0;
    // The server's type library, held so that the marshaller does not load and
    // parse it again for every rig object it builds a proxy for.
    ComPtr<ITypeLib> TypeLib;
    // The proxies for the rig objects, built without the registry.
    std::unique_ptr<TRigProxies> Proxies;

    void Drop()
    {
        Events.Reset();
        EventsCookie = 0;
        Intf.Reset();
        Proxies.reset();
        TypeLib.Reset();
    }
};

namespace {

using TConnection = TOmniRigX::TConnection;

// Raises for a failure code of a call made on object through iid; a server
// that has gone drops the connection (when there still is one), so that the
// next call connects afresh.
void CheckCall(HRESULT code, IUnknown* object, REFIID iid, TConnection* connection);

// Takes the rig server's events and drops them.
class TOmniRigXEvents final : public TComObject<TOmniRigXEvents, IDispatch> {
public:
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IDispatch>(), Row<IDispatch>(__uuidof(IOmniRigXEvents))};
        return rows;
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
};

// One rig object for one call. It may outlive the client that fetched it.
class TRigX final : public IRig {
public:
    TRigX(std::weak_ptr<TConnection> connection, ComPtr<IRigX> rig)
        : FConnection(std::move(connection)), FRig(std::move(rig))
    {
    }

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
    void Check(HRESULT code)
    {
        if (SUCCEEDED(code))
            return;
        // Null when the client, and its connection with it, has gone.
        std::shared_ptr<TConnection> connection = FConnection.lock();
        CheckCall(code, FRig.Get(), __uuidof(IRigX), connection.get());
    }

    std::weak_ptr<TConnection> FConnection;
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

void CheckCall(HRESULT code, IUnknown* object, REFIID iid, TConnection* connection)
{
    if (SUCCEEDED(code))
        return;
    // Read before anything else calls out: the error object is the thread's.
    std::string text = ServerErrorText(object, iid);
    if (text.empty())
        text = OleErrorText(code);
    if (connection && IsServerGone(code))
        connection->Drop();
    throw EOleError(text, code);
}

} // namespace

TOmniRigX::~TOmniRigX() { Disconnect(); }

bool TOmniRigX::Connected() const { return FConnection && FConnection->Intf; }

TConnection& TOmniRigX::Connection()
{
    if (Connected())
        return *FConnection;
    // A new connection: rig objects of an older one can no longer drop it.
    FConnection.reset();
    auto connection = std::make_shared<TConnection>();

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
    connection->Intf = intf;
    // Without it every fetched rig costs a fresh parse of the library; a server
    // whose library is not registered is still fine.
    connection->TypeLib = LoadInterfaceTypeLib(__uuidof(IRigX));
    connection->Proxies = std::make_unique<TRigProxies>(connection->TypeLib.Get());

    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(intf.As(&container)) && SUCCEEDED(container->FindConnectionPoint(__uuidof(IOmniRigXEvents), &point))) {
        ComPtr<IDispatch> sink;
        sink.Attach(new TOmniRigXEvents);
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(sink.Get(), &cookie))) {
            connection->Events = point;
            connection->EventsCookie = cookie;
        }
    }
    FConnection = std::move(connection);
    return *FConnection;
}

void TOmniRigX::Disconnect()
{
    if (!FConnection)
        return;
    if (FConnection->Events)
        FConnection->Events->Unadvise(FConnection->EventsCookie);
    FConnection->Drop();
    FConnection.reset();
}

std::unique_ptr<IRig> TOmniRigX::Rig()
{
    Connection();
    // Held for the call: a call may dispatch messages, and what they do may
    // disconnect this client meanwhile.
    std::shared_ptr<TConnection> connection = FConnection;
    ComPtr<IOmniRigX> intf = connection->Intf;
    ComPtr<IRigX> rig;
    CheckCall(intf->get_Rig(&rig), intf.Get(), __uuidof(IOmniRigX), connection.get());
    if (!rig)
        throw EOleError(OleErrorText(E_POINTER), E_POINTER);
    return std::make_unique<TRigX>(connection, std::move(rig));
}

void TOmniRigX::ShowRigDialog(bool visible)
{
    Connection();
    std::shared_ptr<TConnection> connection = FConnection;
    ComPtr<IOmniRigX> intf = connection->Intf;
    CheckCall(intf->put_DialogVisible(visible ? VARIANT_TRUE : VARIANT_FALSE), intf.Get(), __uuidof(IOmniRigX),
              connection.get());
}
