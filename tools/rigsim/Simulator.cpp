#include "Simulator.h"

#include <olectl.h>

#include <algorithm>

#include "RigObject.h"
#include "base/win32/ComUtil.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t* IfaceName(TIface iface)
{
    return iface == TIface::OmniRig ? L"IOmniRigX" : L"IRigX";
}

REFIID IfaceId(TIface iface)
{
    return iface == TIface::OmniRig ? __uuidof(IOmniRigX) : __uuidof(IRigX);
}

constexpr DISPID kOnVisibleChange = 1;
constexpr DISPID kOnRigTypeChange = 2;
constexpr DISPID kOnParamsChange = 4;
constexpr long kRigNumber = 1;

} // namespace

TSimulator::TSimulator(bool embedding)
    : FEmbedding(embedding), FThreadId(GetCurrentThreadId()),
      FDialog([this] { Fire(kOnVisibleChange, {}); })
{
}

TSimulator::~TSimulator() = default;

HRESULT TSimulator::LoadTypeInfo(const std::wstring& exePath)
{
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    const IID* ids[2] = {&__uuidof(IOmniRigX), &__uuidof(IRigX)};
    for (int i = 0; i < 2; ++i) {
        ComPtr<ITypeInfo> info;
        hr = lib->GetTypeInfoOfGuid(*ids[i], &info);
        if (FAILED(hr))
            return hr;
        // A dual interface comes as its dispatch view; its vtable view is the
        // type it refers to at index -1.
        HREFTYPE vtableRef = 0;
        ComPtr<ITypeInfo> vtable;
        hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef);
        if (SUCCEEDED(hr))
            hr = info->GetRefTypeInfo(vtableRef, &vtable);
        if (FAILED(hr))
            vtable = info;
        FDispatchInfo[i] = info;
        FVtableInfo[i] = vtable;
    }
    return S_OK;
}

ITypeInfo* TSimulator::DispatchInfo(TIface iface) const
{
    return FDispatchInfo[static_cast<int>(iface)].Get();
}

ITypeInfo* TSimulator::VtableInfo(TIface iface) const
{
    return FVtableInfo[static_cast<int>(iface)].Get();
}

HRESULT TSimulator::Enter(TIface iface, int slot, std::optional<long> value)
{
    // A success must not leave an older call's error object behind.
    SetErrorInfo(0, nullptr);
    std::wstring line = std::wstring(IfaceName(iface)) + L"." + std::to_wstring(slot);
    if (value)
        line += L" " + std::to_wstring(*value);
    if (FLog.size() >= kLogLines)
        FLog.pop_front();
    FLog.push_back(std::move(line));
    ++FCounts[{static_cast<int>(iface), slot}];
    WaitAsScripted();
    // Calls served meanwhile may have left their error objects.
    SetErrorInfo(0, nullptr);
    if (FFailRemaining == 0)
        return S_OK;
    if (FFailRemaining > 0)
        --FFailRemaining;
    return Fail(iface, FFailCode, FFailText);
}

HRESULT TSimulator::EnterPlaceholder(TIface iface, int slot)
{
    const HRESULT hr = Enter(iface, slot);
    return FAILED(hr) ? hr : Fail(iface, E_NOTIMPL, L"Not implemented by the stand-in");
}

HRESULT TSimulator::Fail(TIface iface, HRESULT code, const std::wstring& text)
{
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IfaceId(iface));
        create->SetSource(const_cast<LPOLESTR>(L"rigsim"));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info)))
            SetErrorInfo(0, info.Get());
    }
    return code;
}

void TSimulator::ClientChanged()
{
    FDialog.Update(FRadio);
}

void TSimulator::OperatorChanged(long params)
{
    FDialog.Update(FRadio);
    Fire(kOnParamsChange, {kRigNumber, params});
}

void TSimulator::OperatorChangedRigType()
{
    FDialog.Update(FRadio);
    Fire(kOnRigTypeChange, {kRigNumber});
}

HRESULT TSimulator::FailCalls(long count, HRESULT code, std::wstring text)
{
    if (count < -1 || (count != 0 && SUCCEEDED(code)))
        return E_INVALIDARG;
    FFailRemaining = count;
    FFailCode = count ? code : S_OK;
    FFailText = count ? std::move(text) : std::wstring();
    return S_OK;
}

HRESULT TSimulator::SetCallDelay(long delay)
{
    if (delay < 0)
        return E_INVALIDARG;
    FDelay = delay;
    return S_OK;
}

void TSimulator::WaitAsScripted()
{
    if (FDelay == 0 && !FHang)
        return;
    ++FWaiting;
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(FDelay);
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (!FHang && now >= until)
            break;
        const DWORD timeout = FHang ? INFINITE : static_cast<DWORD>(until - now);
        MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        bool quit = false;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The server is asked to end: the waiting calls answer, and the
                // main loop gets its quit back.
                PostQuitMessage(static_cast<int>(msg.wParam));
                quit = true;
                FHang = false;
                FDelay = 0;
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (quit)
            break;
    }
    --FWaiting;
}

long TSimulator::CallCount(TIface iface, int slot) const
{
    auto found = FCounts.find({static_cast<int>(iface), slot});
    return found == FCounts.end() ? 0 : found->second;
}

std::wstring TSimulator::CallLog() const
{
    std::wstring log;
    for (const std::wstring& line : FLog) {
        if (!log.empty())
            log += L"\n";
        log += line;
    }
    return log;
}

void TSimulator::Reset()
{
    FCounts.clear();
    FLog.clear();
    FFailRemaining = 0;
    FFailCode = S_OK;
    FFailText.clear();
    FDelay = 0;
    FHang = false;
}

HRESULT TSimulator::Advise(const void* owner, IUnknown* sink, DWORD* cookie)
{
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_PPV_ARGS(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    FSinks.push_back({FNextCookie, owner, dispatch});
    *cookie = FNextCookie++;
    return S_OK;
}

HRESULT TSimulator::Unadvise(const void* owner, DWORD cookie)
{
    auto found = std::find_if(FSinks.begin(), FSinks.end(),
                              [&](const TSink& sink) { return sink.Cookie == cookie && sink.Owner == owner; });
    if (found == FSinks.end())
        return CONNECT_E_NOCONNECTION;
    // Released after leaving the list: the release may call out of the process.
    ComPtr<IDispatch> dispatch = std::move(found->Dispatch);
    FSinks.erase(found);
    return S_OK;
}

void TSimulator::DropSinks(const void* owner)
{
    std::vector<TSink> dropped;
    for (auto it = FSinks.begin(); it != FSinks.end();) {
        if (it->Owner == owner) {
            dropped.push_back(std::move(*it));
            it = FSinks.erase(it);
        } else {
            ++it;
        }
    }
}

void TSimulator::Fire(DISPID id, const std::vector<long>& args)
{
    // A sink may advise or unadvise while we call out: work on a copy.
    const std::vector<TSink> sinks = FSinks;
    std::vector<VARIANTARG> argv(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        // Arguments go in reverse order.
        VARIANTARG& arg = argv[args.size() - 1 - i];
        VariantInit(&arg);
        V_VT(&arg) = VT_I4;
        V_I4(&arg) = args[i];
    }
    DISPPARAMS params{argv.data(), nullptr, static_cast<UINT>(argv.size()), 0};
    for (const TSink& sink : sinks) {
        EXCEPINFO excep{};
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = sink.Dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                                 &excep, nullptr);
        VariantClear(&result);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        // A client that died must not stay on the list; other failures are its
        // own business.
        if (IsServerGone(hr))
            Unadvise(sink.Owner, sink.Cookie);
    }
}

HRESULT TSimulator::ShowDialog(bool visible)
{
    if (!visible) {
        FDialog.Hide();
        return S_OK;
    }
    if (!FDialog.Show(FRadio))
        return Fail(TIface::OmniRig, E_FAIL, L"The settings window cannot be created");
    return S_OK;
}

void TSimulator::AddServerRef()
{
    ++FServerRefs;
    CoAddRefServerProcess();
}

void TSimulator::ReleaseServerRef()
{
    // The rig's lock hides its clients; without it they count (and may come
    // back here as the lock goes).
    if (FEmbedding && FServerRefs == 1 && FRig)
        FRig->Unlock();
    --FServerRefs;
    const ULONG left = CoReleaseServerProcess();
    if (left == 0 && FServerRefs == 0 && FEmbedding && !FQuitPosted) {
        FQuitPosted = true;
        PostThreadMessageW(FThreadId, WM_QUIT, 0, 0);
    }
}

void TSimulator::Shutdown()
{
    std::vector<TSink> sinks = std::move(FSinks);
    FSinks.clear();
    sinks.clear();
    FDialog.Destroy();
}
