#include "rig/win32/RigProxies.h"

#include <objbase.h>
#include <wrl/client.h>

#include "OmniRig_TLB.h"
#include "base/win32/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

// The system's marshallers: the type library's, and IDispatch's.
constexpr CLSID kTypeLibMarshaller = {0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr CLSID kDispatchMarshaller = {0x00020420, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What the type library's marshaller builds its proxies with; looked up at run
// time, as it is not in every system's import libraries.
using TCreateProxyFromTypeInfo = HRESULT(WINAPI*)(ITypeInfo*, IUnknown*, REFIID, IRpcProxyBuffer**, void**);

TCreateProxyFromTypeInfo ProxyBuilder()
{
    HMODULE rpc = GetModuleHandleW(L"rpcrt4.dll");
    return rpc ? reinterpret_cast<TCreateProxyFromTypeInfo>(
                     reinterpret_cast<void*>(GetProcAddress(rpc, "CreateProxyFromTypeInfo")))
               : nullptr;
}

// The type library's marshaller with the rig's description at hand: it builds
// the rig's proxies from it, and leaves everything else to the system's.
class TRigProxyFactory final : public TComObject<TRigProxyFactory, IPSFactoryBuffer> {
public:
    TRigProxyFactory(ComPtr<IPSFactoryBuffer> system, ComPtr<ITypeInfo> rig, TCreateProxyFromTypeInfo build)
        : FSystem(std::move(system)), FRig(std::move(rig)), FBuild(build)
    {
    }
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IPSFactoryBuffer>()};
        return rows;
    }

    HRESULT STDMETHODCALLTYPE CreateProxy(IUnknown* outer, REFIID iid, IRpcProxyBuffer** proxy,
                                          void** object) noexcept override
    {
        if (iid == __uuidof(IRigX))
            return FBuild(FRig.Get(), outer, iid, proxy, object);
        return FSystem->CreateProxy(outer, iid, proxy, object);
    }
    HRESULT STDMETHODCALLTYPE CreateStub(REFIID iid, IUnknown* server, IRpcStubBuffer** stub) noexcept override
    {
        return FSystem->CreateStub(iid, server, stub);
    }

private:
    ComPtr<IPSFactoryBuffer> FSystem;
    ComPtr<ITypeInfo> FRig;
    TCreateProxyFromTypeInfo FBuild;
};

} // namespace

TRigProxies::TRigProxies(ITypeLib* lib)
{
    struct TRow {
        const IID& Iid;
        const CLSID& Marshaller;
    };
    const TCreateProxyFromTypeInfo build = ProxyBuilder();
    // IDispatch's too: a rig's proxy is built on one for IDispatch.
    for (const TRow& row : {TRow{__uuidof(IRigX), kTypeLibMarshaller}, TRow{IID_IDispatch, kDispatchMarshaller}}) {
        CLSID named{};
        ComPtr<IPSFactoryBuffer> system;
        if (FAILED(CoGetPSClsid(row.Iid, &named)) || named != row.Marshaller ||
            FAILED(CoGetClassObject(named, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&system))))
            continue;
        ComPtr<IPSFactoryBuffer> factory = system;
        ComPtr<ITypeInfo> rig;
        if (row.Iid == __uuidof(IRigX) && lib && build && SUCCEEDED(lib->GetTypeInfoOfGuid(row.Iid, &rig)))
            factory.Attach(new TRigProxyFactory(system, rig, build));
        // In-process and this apartment's only. A second connection in the
        // same apartment is refused here and uses the first one's meanwhile.
        DWORD cookie = 0;
        if (FAILED(CoRegisterClassObject(named, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
            continue;
        FCookies.push_back(cookie);
        // The registry's own answer, so that the lookup is spared too: it may
        // outlive this object, and says no more than the registry does.
        CoRegisterPSClsid(row.Iid, named);
    }
}

TRigProxies::~TRigProxies()
{
    for (DWORD cookie : FCookies)
        CoRevokeClassObject(cookie);
}
