#include "automation/win32/VelkorCOMUnit.h"

#include "automation/ComServer.h"
#include "automation/VelkorCOMUnit.h"
#include "base/win32/ComUtil.h"

using Microsoft::WRL::ComPtr;

// ---------------------------------------------------------------- TVelkorCom

TVelkorCom::TVelkorCom(TVelkorComFactory& factory, IUnknown* outer) noexcept : FOuter(outer), FFactory(&factory)
{
    if (TComServer* server = Server())
        server->CountIn();
}

TVelkorCom::~TVelkorCom()
{
    if (TComServer* server = Server())
        server->CountOut();
}

TComServer* TVelkorCom::Server() const noexcept { return FFactory->Server(); }

TTransceiver* TVelkorCom::Trx() const noexcept
{
    TComServer* server = Server();
    return server ? server->Transceiver() : nullptr;
}

HRESULT TVelkorCom::Create(TVelkorComFactory& factory, IUnknown* outer, REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!outer)
        return MakeAndQuery<TVelkorCom>(iid, object, factory, nullptr);
    if (iid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    auto* made = new (std::nothrow) TVelkorCom(factory, outer);
    if (!made)
        return E_OUTOFMEMORY;
    // The outer object holds the one reference, through the inner IUnknown.
    *object = static_cast<IUnknown*>(&made->FInner);
    return S_OK;
}

std::span<const TVelkorCom::TInterfaceRow> TVelkorCom::Interfaces()
{
    // Not IDispatch: clients bind through the type library.
    static const TInterfaceRow rows[] = {Row<IVelkorCom>(), Row<ISupportErrorInfo>(), Row<IProvideClassInfo>()};
    return rows;
}

HRESULT TVelkorCom::QueryInterface(REFIID iid, void** object) noexcept
{
    return FOuter ? FOuter->QueryInterface(iid, object) : Base::QueryInterface(iid, object);
}

ULONG TVelkorCom::AddRef() noexcept { return FOuter ? FOuter->AddRef() : Base::AddRef(); }

ULONG TVelkorCom::Release() noexcept { return FOuter ? FOuter->Release() : Base::Release(); }

HRESULT TVelkorCom::TInner::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return FSelf.Base::QueryInterface(iid, object);
}

HRESULT TVelkorCom::GetFreq(LONG* Freq) noexcept
{
    if (!Freq)
        return E_POINTER;
    return ComGuard([&] {
        *Freq = VelkorComCalls::GetFreq(Trx());
        return S_OK;
    });
}

HRESULT TVelkorCom::GetMode(BSTR* Mode) noexcept
{
    if (!Mode)
        return E_POINTER;
    *Mode = nullptr;
    return ComGuard([&] {
        const std::string mode = VelkorComCalls::GetMode(Trx());
        // The empty mode before the first poll is a null BSTR.
        if (!mode.empty())
            *Mode = TBStr(mode).Detach();
        return S_OK;
    });
}

// The methods that answer 1 or 0 answer 0 when anything goes wrong.
LONG TVelkorCom::SetMode(BSTR Mode) noexcept
{
    return ComGuard(LONG{0}, [&] { return VelkorComCalls::SetMode(Trx(), WideToAnsi(TBStr::BStrText(Mode))); });
}

LONG TVelkorCom::SetFreq(LONG Freq) noexcept
{
    return ComGuard(LONG{0}, [&] { return VelkorComCalls::SetFreq(Trx(), Freq); });
}

LONG TVelkorCom::IsConnected() noexcept
{
    return ComGuard(LONG{0}, [&] { return VelkorComCalls::IsConnected(Trx()); });
}

LONG TVelkorCom::ChangeFreq(LONG Herz) noexcept
{
    return ComGuard(LONG{0}, [&] { return VelkorComCalls::ChangeFreq(Trx(), Herz); });
}

HRESULT TVelkorCom::InterfaceSupportsErrorInfo(REFIID iid) noexcept
{
    if (iid == IID_IUnknown)
        return S_OK;
    for (const TInterfaceRow& row : Interfaces())
        if (*row.Iid == iid)
            return S_OK;
    return S_FALSE;
}

HRESULT TVelkorCom::GetClassInfo(ITypeInfo** info) noexcept
{
    if (!info)
        return E_POINTER;
    *info = FFactory->ClassInfo();
    if (!*info)
        return E_UNEXPECTED;
    (*info)->AddRef();
    return S_OK;
}

// ---------------------------------------------------------------- TVelkorComFactory

ComPtr<TVelkorComFactory> TVelkorComFactory::Make(ITypeLib* lib, TComServer& server)
{
    ComPtr<TVelkorComFactory> factory;
    factory.Attach(new TVelkorComFactory());
    factory->FServer = &server;
    if (!lib || FAILED(lib->GetTypeInfoOfGuid(__uuidof(VelkorCom), &factory->FClassInfo)))
        throw EOleError(Format("Type information missing for class %s", kObjectClassName),
                        static_cast<int32_t>(TYPE_E_ELEMENTNOTFOUND));
    TBStr name;
    TBStr description;
    OleCheck(factory->FClassInfo->GetDocumentation(MEMBERID_NIL, name.Out(), description.Out(), nullptr, nullptr));
    factory->FClassName = name.Ansi();
    factory->FDescription = description.Ansi();
    return factory;
}

std::span<const TVelkorComFactory::TInterfaceRow> TVelkorComFactory::Interfaces()
{
    static const TInterfaceRow rows[] = {Row<IClassFactory>()};
    return rows;
}

HRESULT TVelkorComFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept
{
    return TVelkorCom::Create(*this, outer, iid, object);
}

HRESULT TVelkorComFactory::LockServer(BOOL lock) noexcept
{
    if (TComServer* server = FServer) {
        if (lock)
            server->CountIn();
        else
            server->CountOut();
    }
    return S_OK;
}
