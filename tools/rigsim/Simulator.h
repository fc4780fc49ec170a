#pragma once
// What all objects of the stand-in share: the radio, the accounting of client
// calls, scripted failures, event sinks, the settings window and the process
// lifetime. Everything runs on the server's one STA thread.

#include <windows.h>
#include <wrl/client.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Radio.h"
#include "RigSim.h"
#include "RigSimSlots.h"
#include "SettingsWindow.h"

// Bits of OnParamsChange's Params: what the operator changed.
namespace ParamsChanged {
constexpr long Freq = 0x1;
constexpr long Vfo = 0x2;
constexpr long Mode = 0x4;
} // namespace ParamsChanged

class TRigObject;

class TSimulator {
public:
    // embedding: started by COM; the process ends when the last client goes.
    explicit TSimulator(bool embedding);
    ~TSimulator();
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;

    // Loads the type information for IDispatch from the type library embedded
    // in the executable.
    HRESULT LoadTypeInfo(const std::wstring& exePath);
    // For GetTypeInfo: the dispatch view. For Invoke and GetIDsOfNames: the
    // vtable view of the dual interface, so that calls reach the methods.
    ITypeInfo* DispatchInfo(TIface iface) const;
    ITypeInfo* VtableInfo(TIface iface) const;

    TRadio& Radio() { return FRadio; }

    // Every client call of the rig server's interfaces at slot 7 or above
    // enters here: it is counted and logged, and fails when a failure is
    // scripted. value is what a put carries.
    HRESULT Enter(TIface iface, int slot, std::optional<long> value = std::nullopt);
    // A call of a placeholder: entered as above, then E_NOTIMPL unless a
    // failure is scripted.
    HRESULT EnterPlaceholder(TIface iface, int slot);
    // Sets the error object for iface and returns code.
    static HRESULT Fail(TIface iface, HRESULT code, const std::wstring& text);

    // A client changed the radio.
    void ClientChanged();
    // The operator changed the radio: the dialog follows and sinks hear it.
    void OperatorChanged(long params);
    void OperatorChangedRigType();

    HRESULT FailCalls(long count, HRESULT code, std::wstring text);
    HRESULT SetCallDelay(long delay);
    void HangCalls(bool hang) { FHang = hang; }
    long WaitingCalls() const { return FWaiting; }
    long CallCount(TIface iface, int slot) const;
    // The latest kLogLines calls, oldest first.
    std::wstring CallLog() const;
    static constexpr size_t kLogLines = 1000;
    void Reset();

    HRESULT Advise(const void* owner, IUnknown* sink, DWORD* cookie);
    HRESULT Unadvise(const void* owner, DWORD cookie);
    void DropSinks(const void* owner);
    long SinkCount() const { return static_cast<long>(FSinks.size()); }

    HRESULT ShowDialog(bool visible);
    bool DialogVisible() const { return FDialog.Visible(); }

    // The radio's one rig object, made at start and kept by the server's
    // main function; null before and after.
    void SetRig(TRigObject* rig) { FRig = rig; }
    TRigObject* Rig() const { return FRig; }

    // Strong external connections of clients and server locks. Before the last
    // one goes from a server that COM started, the rig drops its lasting lock:
    // a client still holding the rig then keeps the server.
    void AddServerRef();
    void ReleaseServerRef();

    // A client has made an object or locked the server through the class
    // object: a server that COM started for a client that went away before
    // this never ends by its last client.
    void NoteClaimed() { FClaimed = true; }
    bool Claimed() const { return FClaimed; }

    // Drops the sinks and the window before COM goes.
    void Shutdown();

private:
    struct TSink {
        DWORD Cookie;
        const void* Owner;
        Microsoft::WRL::ComPtr<IDispatch> Dispatch;
    };

    void Fire(DISPID id, const std::vector<long>& args);
    // A slow or hung server's call: waits, serving messages (and so other
    // calls), for the delay and while hung.
    void WaitAsScripted();

    bool FEmbedding;
    DWORD FThreadId;
    TRigObject* FRig = nullptr;
    long FServerRefs = 0;
    bool FQuitPosted = false;
    bool FClaimed = false;
    TRadio FRadio;
    Microsoft::WRL::ComPtr<ITypeInfo> FDispatchInfo[2];
    Microsoft::WRL::ComPtr<ITypeInfo> FVtableInfo[2];

    std::map<std::pair<int, int>, long> FCounts;
    // The latest calls only: a server polled for hours must not grow.
    std::deque<std::wstring> FLog;
    long FFailRemaining = 0;
    HRESULT FFailCode = S_OK;
    std::wstring FFailText;
    long FDelay = 0;
    bool FHang = false;
    long FWaiting = 0;

    std::vector<TSink> FSinks;
    DWORD FNextCookie = 1;

    TSettingsWindow FDialog;
};
