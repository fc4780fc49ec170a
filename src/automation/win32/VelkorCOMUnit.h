#pragma once
// TVelkorCom, the automation object loggers create, and its class object. Both
// are built on the program's COM object base. The class object is given the
// server's record (automation/ComServer.h) and hands it to every object it
// makes, which counts itself in it while it lives.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <span>
#include <string>

#include "Velkor_TLB.h"
#include "base/win32/ComObject.h"

class TComServer;
class TTransceiver;
class TVelkorComFactory;

class TVelkorCom final : public TComObject<TVelkorCom, IVelkorCom, ISupportErrorInfo, IProvideClassInfo> {
    using Base = TComObject<TVelkorCom, IVelkorCom, ISupportErrorInfo, IProvideClassInfo>;

public:
    // Makes an object and answers iid. With an outer object only IUnknown may
    // be asked for (the object's own, which does not delegate); anything else
    // gives CLASS_E_NOAGGREGATION.
    static HRESULT Create(TVelkorComFactory& factory, IUnknown* outer, REFIID iid, void** object) noexcept;
    ~TVelkorCom() override;

    static std::span<const TInterfaceRow> Interfaces();

    // Aggregated, the object's interfaces speak for the outer object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IVelkorCom
    HRESULT STDMETHODCALLTYPE GetFreq(LONG* Freq) noexcept override;
    HRESULT STDMETHODCALLTYPE GetMode(BSTR* Mode) noexcept override;
    LONG STDMETHODCALLTYPE SetMode(BSTR Mode) noexcept override;
    LONG STDMETHODCALLTYPE SetFreq(LONG Freq) noexcept override;
    LONG STDMETHODCALLTYPE IsConnected() noexcept override;
    LONG STDMETHODCALLTYPE ChangeFreq(LONG Herz) noexcept override;

    // ISupportErrorInfo: S_OK for the interfaces the object answers for;
    // no method ever sets an error object all the same.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override;
    // IProvideClassInfo: the coclass VelkorCom from the type library.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;

private:
    template <class Object, class... Args>
    friend HRESULT MakeAndQuery(REFIID iid, void** answer, Args&&... args) noexcept;
    TVelkorCom(TVelkorComFactory& factory, IUnknown* outer) noexcept;
    // The record this object counts in, null once the server has gone.
    TComServer* Server() const noexcept;
    TTransceiver* Trx() const noexcept;

    // The object's own IUnknown, which an outer object holds.
    class TInner : public IUnknown {
    public:
        explicit TInner(TVelkorCom& self) : FSelf(self) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return FSelf.Base::AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return FSelf.Base::Release(); }

    private:
        TVelkorCom& FSelf;
    };

    TInner FInner{*this};
    IUnknown* FOuter; // not held: it holds the object
    // Held: its record is the server's, and the object may outlive the server.
    Microsoft::WRL::ComPtr<TVelkorComFactory> FFactory;
};

// The class object of VelkorCom: multiple use, apartment model. Made before
// COM and the windows, from the type library embedded in the program.
class TVelkorComFactory final : public TComObject<TVelkorComFactory, IClassFactory> {
public:
    // Takes the class's type information from lib; raises EOleError "Type
    // information missing for class TVelkorCom" when lib has no entry for it.
    // The objects it makes and the locks it takes count in server.
    static Microsoft::WRL::ComPtr<TVelkorComFactory> Make(ITypeLib* lib, TComServer& server);

    static std::span<const TInterfaceRow> Interfaces();

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
    // A client's lock counts like an object.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

    // The coclass's name and help string, for the registry.
    const std::string& ClassName() const { return FClassName; }
    const std::string& Description() const { return FDescription; }
    ITypeInfo* ClassInfo() const { return FClassInfo.Get(); }

    // The server's record until it goes (ForgetServer, before the record
    // ends); then null, and objects still held by clients count nowhere.
    TComServer* Server() const noexcept { return FServer; }
    void ForgetServer() noexcept { FServer = nullptr; }

    static constexpr const char* kObjectClassName = "TVelkorCom";

private:
    TVelkorComFactory() = default;

    Microsoft::WRL::ComPtr<ITypeInfo> FClassInfo;
    TComServer* FServer = nullptr;
    std::string FClassName;
    std::string FDescription;
};
