// rigsim.exe: the stand-in rig server. A COM local server that simulates one
// radio for tests and demos.
//   rigsim.exe               runs until its process is ended
//   rigsim.exe -Embedding    started by COM; ends when the last client goes, or
//                            10 s after its start when no client came
//   rigsim.exe /regserver    registers the type library and the class
//   rigsim.exe /unregserver  removes both
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "ClassFactory.h"
#include "OmniRigObject.h"
#include "Registration.h"
#include "RigObject.h"
#include "Simulator.h"
#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"

using Microsoft::WRL::ComPtr;

namespace {

void ReportError(const std::wstring& text)
{
    const std::wstring line = L"rigsim: " + text + L"\n";
    OutputDebugStringW(line.c_str());
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE)
        return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// How long a server that COM started waits for the client that started it:
// 10 s, or the milliseconds in RIGSIM_UNCLAIMED_MS (the tests' shorter wait).
UINT UnclaimedMs()
{
    wchar_t text[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"RIGSIM_UNCLAIMED_MS", text, 16);
    wchar_t* end = nullptr;
    const unsigned long ms = length > 0 && length < 16 ? wcstoul(text, &end, 10) : 0;
    return ms > 0 && ms <= 60000 && end && *end == L'\0' ? static_cast<UINT>(ms) : 10000;
}

std::wstring Hex(HRESULT hr)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The radio's one rig object: made and locked at start, handed out by every
// fetch of the rig, unlocked and disconnected before COM goes.
class TServerRig {
public:
    explicit TServerRig(TSimulator& sim) : FSim(sim)
    {
        FRig.Attach(new TRigObject(sim));
        const HRESULT hr = FRig->Lock();
        if (FAILED(hr))
            ReportError(L"CoLockObjectExternal failed " + Hex(hr));
        FSim.SetRig(FRig.Get());
    }
    ~TServerRig() { Close(); }
    TServerRig(const TServerRig&) = delete;
    TServerRig& operator=(const TServerRig&) = delete;

    void Close()
    {
        if (!FRig)
            return;
        FSim.SetRig(nullptr);
        FRig->Unlock();
        CoDisconnectObject(static_cast<IRigX*>(FRig.Get()), 0);
        FRig.Reset();
    }

private:
    TSimulator& FSim;
    ComPtr<TRigObject> FRig;
};

int RunServer(const std::wstring& exePath, bool embedding)
{
    // The simulator outlives the apartment: objects that COM releases while it
    // shuts down still reach it.
    TSimulator sim(embedding);
    TComApartment apartment(COINIT_APARTMENTTHREADED);
    if (FAILED(apartment.Result())) {
        ReportError(L"CoInitializeEx failed " + Hex(apartment.Result()));
        return 1;
    }
    HRESULT hr = sim.LoadTypeInfo(exePath);
    if (FAILED(hr)) {
        ReportError(L"cannot load the embedded type library " + Hex(hr));
        return 1;
    }
    // Wine's marshaller frees a type library as soon as nobody holds it, and
    // loads and parses it again for the next stub; held for the process life.
    // Not registered (run before /regserver), the server still works.
    const ComPtr<ITypeLib> registeredLib = LoadInterfaceTypeLib(__uuidof(IRigX));
    // Started by hand, the process holds itself alive.
    if (!embedding)
        sim.AddServerRef();
    TServerRig rig(sim);

    ComPtr<IClassFactory> factory;
    factory.Attach(new TClassFactory(sim));
    TClassObjectRegistration classObject(__uuidof(OmniRigX), factory.Get(), REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED);
    if (FAILED(classObject.Result())) {
        ReportError(L"CoRegisterClassObject failed " + Hex(classObject.Result()));
        return 1;
    }

    // The primary object: the one that clients attaching with GetActiveObject
    // find. Weak, so that it keeps no process alive by itself.
    ComPtr<IOmniRigX> primary;
    primary.Attach(new TOmniRigObject(sim));
    TActiveObjectRegistration running(primary.Get(), __uuidof(OmniRigX), ACTIVEOBJECT_WEAK);
    if (FAILED(running.Result()))
        ReportError(L"RegisterActiveObject failed " + Hex(running.Result()));
    hr = CoResumeClassObjects();
    if (FAILED(hr))
        ReportError(L"CoResumeClassObjects failed " + Hex(hr));

    // Started by COM for a client that ended while it started (a program
    // closed during its first call), the server would wait for it for ever.
    const UINT_PTR unclaimed = embedding ? SetTimer(nullptr, 0, UnclaimedMs(), nullptr) : 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (unclaimed && msg.message == WM_TIMER && !msg.hwnd && msg.wParam == unclaimed) {
            KillTimer(nullptr, unclaimed);
            if (!sim.Claimed())
                break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    // The rig's lasting lock goes before anything is revoked.
    rig.Close();
    running.Revoke();
    classObject.Revoke();
    CoDisconnectObject(primary.Get(), 0);
    primary.Reset();
    factory.Reset();
    sim.Shutdown();
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        const std::wstring exePath = ModulePath();
        if (exePath.empty()) {
            ReportError(L"cannot find its own path");
            return 1;
        }
        const std::vector<std::wstring> args = CommandLineArgs();

        bool embedding = false;
        for (const std::wstring& arg : args) {
            const bool isSwitch = !arg.empty() && (arg[0] == L'/' || arg[0] == L'-');
            const std::wstring name = isSwitch ? arg.substr(1) : arg;
            std::wstring error;
            if (isSwitch && lstrcmpiW(name.c_str(), L"regserver") == 0) {
                TComApartment apartment(COINIT_APARTMENTTHREADED);
                const int code = RegisterServer(exePath, error);
                if (code)
                    ReportError(error);
                return code;
            }
            if (isSwitch && lstrcmpiW(name.c_str(), L"unregserver") == 0) {
                TComApartment apartment(COINIT_APARTMENTTHREADED);
                const int code = UnregisterServer(exePath, error);
                if (code)
                    ReportError(error);
                return code;
            }
            if (isSwitch && lstrcmpiW(name.c_str(), L"embedding") == 0) {
                embedding = true;
                continue;
            }
            ReportError(L"unknown argument " + arg + L"; use /regserver, /unregserver or none");
            return 2;
        }
        return RunServer(exePath, embedding);
    } catch (...) {
        ReportError(L"out of memory");
        return 1;
    }
}
