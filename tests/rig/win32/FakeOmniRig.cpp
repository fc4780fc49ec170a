#include "FakeOmniRig.h"

#include <olectl.h>

#include <stdexcept>

#include "base/win32/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

// IDispatch is not what the client uses.
#define FAKE_NO_DISPATCH                                                                                          \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }                              \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }                 \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override \
    {                                                                                                             \
        return E_NOTIMPL;                                                                                         \
    }

// The scripted failure, if one is due: leaves the error object and clears it.
HRESULT Outcome(TFakeOmniRigState& state, REFIID iid)
{
    HRESULT code = state.FailCode;
    if (SUCCEEDED(code))
        return S_OK;
    state.FailCode = S_OK;
    if (!state.FailText.empty()) {
        ComPtr<ICreateErrorInfo> create;
        CreateErrorInfo(&create);
        create->SetDescription(const_cast<LPOLESTR>(state.FailText.c_str()));
        create->SetGUID(iid);
        ComPtr<IErrorInfo> info;
        create.As(&info);
        SetErrorInfo(0, info.Get());
    }
    return code;
}

class TFakeRig final : public TComObject<TFakeRig, IRigX, ISupportErrorInfo> {
public:
    explicit TFakeRig(TFakeOmniRigState& state) : FState(state) { ++FState.LiveRigs; }
    ~TFakeRig() override { --FState.LiveRigs; }
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IRigX>(), Row<IRigX>(IID_IDispatch), Row<ISupportErrorInfo>()};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return FState.SupportsErrorInfo && iid == __uuidof(IRigX) ? S_OK : S_FALSE;
    }
    FAKE_NO_DISPATCH

    HRESULT STDMETHODCALLTYPE get_RigType(BSTR* value) override
    {
        *value = nullptr;
        HRESULT code = Outcome(FState, __uuidof(IRigX));
        if (SUCCEEDED(code))
            *value = SysAllocString(FState.RigType.c_str());
        return code;
    }
    HRESULT STDMETHODCALLTYPE get_Freq(LONG* value) override
    {
        *value = FState.Freq;
        return Outcome(FState, __uuidof(IRigX));
    }
    HRESULT STDMETHODCALLTYPE put_Freq(LONG value) override
    {
        HRESULT code = Outcome(FState, __uuidof(IRigX));
        if (SUCCEEDED(code))
            FState.Freq = value;
        return code;
    }
    HRESULT STDMETHODCALLTYPE get_FreqA(LONG* value) override { return Unused(value); }
    HRESULT STDMETHODCALLTYPE put_FreqA(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FreqB(LONG* value) override { return Unused(value); }
    HRESULT STDMETHODCALLTYPE put_FreqB(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Vfo(LONG* value) override { return Unused(value); }
    HRESULT STDMETHODCALLTYPE put_Vfo(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Mode(LONG* value) override { return Unused(value); }
    HRESULT STDMETHODCALLTYPE put_Mode(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved23() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved26() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved27() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved28() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved29() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved30() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved31() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved32() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved33() override { return E_NOTIMPL; }

private:
    static HRESULT Unused(LONG* value)
    {
        *value = 0;
        return E_NOTIMPL;
    }
    TFakeOmniRigState& FState;
};

class TFakeConnectionPoint final : public TComObject<TFakeConnectionPoint, IConnectionPoint> {
public:
    explicit TFakeConnectionPoint(TFakeOmniRigState& state) : FState(state) {}
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IConnectionPoint>()};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        *iid = __uuidof(IOmniRigXEvents);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(__uuidof(IOmniRigXEvents), reinterpret_cast<void**>(events.GetAddressOf()))))
            return CONNECT_E_CANNOTCONNECT;
        DISPPARAMS none{};
        FState.SinkAnswersEvents = SUCCEEDED(events->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
        ++FState.Advises;
        *cookie = 42;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (cookie != 42)
            return CONNECT_E_NOCONNECTION;
        ++FState.Unadvises;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    TFakeOmniRigState& FState;
};

class TFakeOmniRigX final : public TComObject<TFakeOmniRigX, IOmniRigX, ISupportErrorInfo, IConnectionPointContainer> {
public:
    explicit TFakeOmniRigX(TFakeOmniRigState& state) : FState(state) {}
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IOmniRigX>(), Row<IOmniRigX>(IID_IDispatch), Row<ISupportErrorInfo>(),
                                             Row<IConnectionPointContainer>()};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        // A server without events says so by not being a container.
        if (iid == IID_IConnectionPointContainer && !FState.OfferEvents) {
            if (object)
                *object = nullptr;
            return object ? E_NOINTERFACE : E_POINTER;
        }
        return TComObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return FState.SupportsErrorInfo && iid == __uuidof(IOmniRigX) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        *point = nullptr;
        if (iid != __uuidof(IOmniRigXEvents))
            return CONNECT_E_NOCONNECTION;
        *point = new TFakeConnectionPoint(FState);
        return S_OK;
    }
    FAKE_NO_DISPATCH

    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Rig(IRigX** rig) override
    {
        *rig = nullptr;
        ++FState.RigFetches;
        HRESULT code = Outcome(FState, __uuidof(IOmniRigX));
        if (SUCCEEDED(code) && !FState.RigNull)
            *rig = new TFakeRig(FState);
        return code;
    }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DialogVisible(VARIANT_BOOL* value) override
    {
        *value = FState.DialogVisible;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_DialogVisible(VARIANT_BOOL value) override
    {
        HRESULT code = Outcome(FState, __uuidof(IOmniRigX));
        if (SUCCEEDED(code))
            FState.DialogVisible = value;
        return code;
    }

private:
    TFakeOmniRigState& FState;
};

class TFakeFactory final : public TComObject<TFakeFactory, IClassFactory> {
public:
    explicit TFakeFactory(TFakeOmniRigState& state) : FState(state) {}
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IClassFactory>()};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ++FState.Created;
        if (FState.CreateNull)
            return S_OK;
        return MakeAndQuery<TFakeOmniRigX>(iid, object, FState);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    TFakeOmniRigState& FState;
};

template <class T>
ComPtr<T> Make(TFakeOmniRigState& state)
{
    ComPtr<T> object;
    object.Attach(new T(state));
    return object;
}

} // namespace

TFakeOmniRigServer::TFakeOmniRigServer()
    : FFactory(Make<TFakeFactory>(State)), FRegistration(__uuidof(OmniRigX), FFactory.Get(), REGCLS_MULTIPLEUSE)
{
    if (FAILED(FRegistration.Result()))
        throw std::runtime_error("cannot register the fake rig server's class object");
}

TFakeOmniRigServer::~TFakeOmniRigServer() = default;

ComPtr<IOmniRigX> TFakeOmniRigServer::NewInstance() { return Make<TFakeOmniRigX>(State); }
