// The stand-in rig server as its clients see it: every call crosses from this
// test process to rigsim.exe through COM's marshalling.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/win32/RigSimProcess.h"
#include "RigSimSlots.h"
#include "base/win32/ComObject.h"
#include "base/win32/ComUtil.h"
#include "rig/RigServer.h"

using Microsoft::WRL::ComPtr;
using namespace RigParams;

namespace {

// ---- helpers ---------------------------------------------------------------

struct THr {
    HRESULT Value;
    bool operator==(const THr&) const = default;
};

void PrintTo(const THr& hr, std::ostream* os)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr.Value));
    *os << text;
}

#define EXPECT_HR(expected, expr) EXPECT_EQ(THr{expected}, THr{expr})
#define ASSERT_HR(expected, expr) ASSERT_EQ(THr{expected}, THr{expr})

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += c < 128 ? static_cast<char>(c) : '?';
    return result;
}

// Pumps this thread's messages until pred holds; false on timeout.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!pred()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// The COM identity of an object that the caller holds.
IUnknown* Identity(IUnknown* object)
{
    ComPtr<IUnknown> identity;
    EXPECT_HR(S_OK, object->QueryInterface(IID_PPV_ARGS(&identity)));
    return identity.Get();
}

// An event sink in this process that records what the server tells it.
class TEventSink final : public TComObject<TEventSink, IDispatch> {
public:
    struct TCall {
        DISPID Id;
        std::vector<LONG> Args; // in declaration order
    };

    std::vector<TCall> Calls;
    HRESULT Answer = S_OK;

    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IDispatch>(), Row<IDispatch>(__uuidof(IOmniRigXEvents))};
        return rows;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        try {
            TCall call{id, {}};
            for (UINT i = params ? params->cArgs : 0; i > 0; --i) {
                VARIANT value;
                VariantInit(&value);
                if (SUCCEEDED(VariantChangeType(&value, &params->rgvarg[i - 1], 0, VT_I4)))
                    call.Args.push_back(V_I4(&value));
                VariantClear(&value);
            }
            Calls.push_back(call);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return Answer;
    }

private:
    ~TEventSink() override = default;
};

// An object that is no event sink at all.
class TPlainObject final : public TComObject<TPlainObject, IUnknown> {
public:
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IUnknown>()};
        return rows;
    }

private:
    ~TPlainObject() override = default;
};

template <class T>
ComPtr<T> Make()
{
    ComPtr<T> object;
    object.Attach(new T);
    return object;
}

// ---- fixture: one rigsim.exe started by hand per test -----------------------

class RigSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_THROW(FProcess.Start());
        Control = FProcess.Control();
        ComPtr<IUnknown> active;
        ASSERT_HR(S_OK, GetActiveObject(__uuidof(OmniRigX), nullptr, &active));
        ASSERT_HR(S_OK, active.As(&Server));
    }

    void TearDown() override
    {
        Server.Reset();
        Control.Reset();
        FProcess.Stop();
    }

    ComPtr<IRigX> Rig()
    {
        ComPtr<IRigX> rig;
        EXPECT_HR(S_OK, Server->get_Rig(&rig));
        return rig;
    }

    LONG Get(HRESULT (STDMETHODCALLTYPE IRigX::*getter)(LONG*))
    {
        LONG value = 0x5A5A5A5A;
        EXPECT_HR(S_OK, (Rig().Get()->*getter)(&value));
        return value;
    }

    std::wstring Log()
    {
        TBStr log;
        EXPECT_HR(S_OK, Control->GetCallLog(log.Out()));
        return log.Wide();
    }

    LONG Count(TIface iface, int slot)
    {
        LONG count = -1;
        EXPECT_HR(S_OK, Control->GetCallCount(static_cast<LONG>(iface), slot, &count));
        return count;
    }

    LONG SinkCount()
    {
        LONG count = -1;
        EXPECT_HR(S_OK, Control->GetSinkCount(&count));
        return count;
    }

    TRigSimProcess FProcess;
    ComPtr<IRigSimControl> Control;
    ComPtr<IOmniRigX> Server;
};

constexpr LONG kStartA = 14200000;
constexpr LONG kStartB = 7050000;

// ---- the radio ---------------------------------------------------------------

TEST_F(RigSimTest, StartsWithTheDocumentedRadio)
{
    TBStr type;
    ASSERT_HR(S_OK, Rig()->get_RigType(type.Out()));
    EXPECT_EQ(L"RIGSIM", type.Wide());
    EXPECT_EQ(kStartA, Get(&IRigX::get_Freq));
    EXPECT_EQ(kStartA, Get(&IRigX::get_FreqA));
    EXPECT_EQ(kStartB, Get(&IRigX::get_FreqB));
    EXPECT_EQ(VFOAA, Get(&IRigX::get_Vfo));
    EXPECT_EQ(SSB_U, Get(&IRigX::get_Mode));
}

TEST_F(RigSimTest, FrequenciesFollowTheVfoInUse)
{
    enum TOp { PutFreq, PutFreqA, PutFreqB, PutVfo, OperatorDial };
    struct TCase {
        const char* Name;
        LONG StartVfo; // set raw through the control interface
        TOp Op;
        LONG Value;
        LONG A, B, Vfo, Freq;
    };
    // Enough cases to tell each call from the others; the rules themselves are
    // tested without COM in tests/rigsim/RadioTest.cpp.
    const TCase cases[] = {
        {"put Freq on A/A turns A", VFOAA, PutFreq, 3500000, 3500000, kStartB, VFOAA, 3500000},
        {"put Freq on B/A turns B", VFOBA, PutFreq, 3500000, kStartA, 3500000, VFOBA, 3500000},
        {"put FreqA on B/B leaves Freq", VFOBB, PutFreqA, 21000000, 21000000, kStartB, VFOBB, kStartB},
        {"put FreqB on A/A leaves Freq", VFOAA, PutFreqB, 10100000, kStartA, 10100000, VFOAA, kStartA},
        {"VFOB on A/B gives B/A", VFOAB, PutVfo, VFOB, kStartA, kStartB, VFOBA, kStartB},
        {"operator dial on B/A turns B", VFOBA, OperatorDial, 1840000, kStartA, 1840000, VFOBA, 1840000},
        {"operator dial on A/B turns A", VFOAB, OperatorDial, 1840000, 1840000, kStartB, VFOAB, 1840000},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_HR(S_OK, Control->SetFreqA(kStartA));
        ASSERT_HR(S_OK, Control->SetFreqB(kStartB));
        ASSERT_HR(S_OK, Control->SetVfo(c.StartVfo));
        ComPtr<IRigX> rig = Rig();
        ASSERT_TRUE(rig);
        switch (c.Op) {
        case PutFreq: EXPECT_HR(S_OK, rig->put_Freq(c.Value)); break;
        case PutFreqA: EXPECT_HR(S_OK, rig->put_FreqA(c.Value)); break;
        case PutFreqB: EXPECT_HR(S_OK, rig->put_FreqB(c.Value)); break;
        case PutVfo: EXPECT_HR(S_OK, rig->put_Vfo(c.Value)); break;
        case OperatorDial: EXPECT_HR(S_OK, Control->SetFreq(c.Value)); break;
        }
        EXPECT_EQ(c.A, Get(&IRigX::get_FreqA));
        EXPECT_EQ(c.B, Get(&IRigX::get_FreqB));
        EXPECT_EQ(c.Vfo, Get(&IRigX::get_Vfo));
        EXPECT_EQ(c.Freq, Get(&IRigX::get_Freq));
    }
}

TEST_F(RigSimTest, RejectsVfoValuesOutsideTheTable)
{
    ASSERT_HR(S_OK, Control->SetVfo(VFOAB));
    const LONG bad[] = {0, VFOA | VFOB};
    for (LONG value : bad) {
        SCOPED_TRACE(value);
        EXPECT_HR(E_INVALIDARG, Rig()->put_Vfo(value));
        EXPECT_EQ(VFOAB, Get(&IRigX::get_Vfo));
    }
}

TEST_F(RigSimTest, AcceptsExactlyOneModeFlag)
{
    const LONG modes[] = {CW_U, FM};
    for (LONG mode : modes) {
        SCOPED_TRACE(mode);
        EXPECT_HR(S_OK, Rig()->put_Mode(mode));
        EXPECT_EQ(mode, Get(&IRigX::get_Mode));
    }
    ASSERT_HR(S_OK, Rig()->put_Mode(CW_L));
    const LONG bad[] = {0, CW_U | CW_L};
    for (LONG value : bad) {
        SCOPED_TRACE(value);
        EXPECT_HR(E_INVALIDARG, Rig()->put_Mode(value));
        EXPECT_EQ(CW_L, Get(&IRigX::get_Mode));
    }
}

TEST_F(RigSimTest, OperatorValuesAreReportedRaw)
{
    ASSERT_HR(S_OK, Control->SetMode(CW_U | DIG_L));
    EXPECT_EQ(CW_U | DIG_L, Get(&IRigX::get_Mode));
    ASSERT_HR(S_OK, Control->SetMode(0));
    EXPECT_EQ(0, Get(&IRigX::get_Mode));
    ASSERT_HR(S_OK, Control->SetVfo(VFOA));
    EXPECT_EQ(VFOA, Get(&IRigX::get_Vfo));
    TBStr name(L"Test rig 2");
    ASSERT_HR(S_OK, Control->SetRigType(name.Get()));
    TBStr type;
    ASSERT_HR(S_OK, Rig()->get_RigType(type.Out()));
    EXPECT_EQ(L"Test rig 2", type.Wide());
}

TEST_F(RigSimTest, AllObjectsShareOneRadio)
{
    ComPtr<IRigX> first = Rig();
    ComPtr<IRigX> second = Rig();
    ASSERT_TRUE(first && second);
    // The radio is one object, whichever fetch and whether or not the one
    // before was released.
    EXPECT_EQ(Identity(first.Get()), Identity(second.Get()));
    IUnknown* const rigIdentity = Identity(first.Get());
    first.Reset();
    second.Reset();
    first = Rig();
    second = Rig();
    EXPECT_EQ(rigIdentity, Identity(first.Get()));

    // Every CreateInstance makes a new server object.
    ComPtr<IOmniRigX> created;
    ASSERT_HR(S_OK, CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&created)));
    EXPECT_NE(Identity(Server.Get()), Identity(created.Get()));
    ComPtr<IRigSimControl> createdControl;
    ASSERT_HR(S_OK, created.As(&createdControl));
    EXPECT_EQ(Identity(created.Get()), Identity(createdControl.Get())) << "the control interface is the object's";
    LONG pid = 0;
    ASSERT_HR(S_OK, createdControl->GetServerProcessId(&pid));
    EXPECT_EQ(FProcess.ProcessId(), static_cast<DWORD>(pid));

    ComPtr<IRigX> third;
    ASSERT_HR(S_OK, created->get_Rig(&third));
    EXPECT_EQ(rigIdentity, Identity(third.Get()));
    ASSERT_HR(S_OK, first->put_FreqB(10136000));
    LONG value = 0;
    ASSERT_HR(S_OK, second->get_FreqB(&value));
    EXPECT_EQ(10136000, value);
    ASSERT_HR(S_OK, third->get_FreqB(&value));
    EXPECT_EQ(10136000, value);
    ASSERT_HR(S_OK, createdControl->SetMode(FM));
    ASSERT_HR(S_OK, first->get_Mode(&value));
    EXPECT_EQ(FM, value);
}

// ---- failures, counting, log -----------------------------------------------------

constexpr HRESULT kRigError = static_cast<HRESULT>(0x80040321);

TEST_F(RigSimTest, FailsTheNextCalls)
{
    ComPtr<IRigX> rig = Rig();
    ASSERT_TRUE(rig);
    ASSERT_HR(S_OK, Control->Reset());
    TBStr text(L"Rig does not answer");
    ASSERT_HR(S_OK, Control->FailCalls(2, kRigError, text.Get()));

    LONG value = 77;
    EXPECT_HR(kRigError, rig->get_Freq(&value));
    ComPtr<IErrorInfo> error;
    // Wine does not carry error objects between processes; Windows does.
    if (GetErrorInfo(0, &error) == S_OK) {
        TBStr description;
        ASSERT_HR(S_OK, error->GetDescription(description.Out()));
        EXPECT_EQ(L"Rig does not answer", description.Wide());
        GUID guid{};
        ASSERT_HR(S_OK, error->GetGUID(&guid));
        EXPECT_EQ(__uuidof(IRigX), guid);
    }
    EXPECT_HR(kRigError, rig->put_FreqA(7000000));
    EXPECT_HR(S_OK, rig->get_Freq(&value));
    // The failed put changed nothing.
    EXPECT_EQ(kStartA, value);
    EXPECT_EQ(L"IRigX.14\nIRigX.17 7000000\nIRigX.14", Log());
    EXPECT_EQ(2, Count(TIface::Rig, RigSlot::GetFreq));
    EXPECT_EQ(1, Count(TIface::Rig, RigSlot::PutFreqA));

    ComPtr<ISupportErrorInfo> support;
    ASSERT_HR(S_OK, rig.As(&support));
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(__uuidof(IRigX)));
    EXPECT_HR(S_FALSE, support->InterfaceSupportsErrorInfo(__uuidof(IRigSimControl)));
    ASSERT_HR(S_OK, Server.As(&support));
    EXPECT_HR(S_OK, support->InterfaceSupportsErrorInfo(__uuidof(IOmniRigX)));
}

TEST_F(RigSimTest, FailsEveryCallUntilCleared)
{
    ComPtr<IRigX> rig = Rig();
    ASSERT_TRUE(rig);
    ASSERT_HR(S_OK, Control->Reset());
    TBStr text(L"Port closed");
    ASSERT_HR(S_OK, Control->FailCalls(-1, E_ACCESSDENIED, text.Get()));
    for (int i = 0; i < 5; ++i) {
        LONG value = 0;
        EXPECT_HR(E_ACCESSDENIED, rig->get_Mode(&value));
    }
    ComPtr<IRigX> none;
    EXPECT_HR(E_ACCESSDENIED, Server->get_Rig(&none));
    EXPECT_FALSE(none);
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_HR(E_ACCESSDENIED, Server->get_DialogVisible(&visible));
    EXPECT_HR(E_ACCESSDENIED, rig->put_Mode(AM));
    // IDispatch's own methods and the control interface never fail on purpose.
    UINT count = 0;
    EXPECT_HR(S_OK, rig->GetTypeInfoCount(&count));
    EXPECT_EQ(5, Count(TIface::Rig, RigSlot::GetMode));
    EXPECT_EQ(1, Count(TIface::OmniRig, OmniRigSlot::GetRig));

    ASSERT_HR(S_OK, Control->FailCalls(0, 0, nullptr));
    EXPECT_EQ(SSB_U, Get(&IRigX::get_Mode));
}

TEST_F(RigSimTest, RefusesMeaninglessFailureScripts)
{
    TBStr text(L"x");
    EXPECT_HR(E_INVALIDARG, Control->FailCalls(-2, E_FAIL, text.Get()));
    EXPECT_HR(E_INVALIDARG, Control->FailCalls(1, S_OK, text.Get()));
    EXPECT_HR(E_INVALIDARG, Control->FailCalls(1, S_FALSE, text.Get()));
    // Nothing was scripted.
    LONG value = 0;
    EXPECT_HR(S_OK, Rig()->get_Freq(&value));
}

TEST_F(RigSimTest, CountsAndLogsEveryCall)
{
    ComPtr<IRigX> rig;
    ASSERT_HR(S_OK, Control->Reset());
    ASSERT_HR(S_OK, Server->get_Rig(&rig));
    LONG value = 0;
    EXPECT_HR(S_OK, rig->get_Freq(&value));
    EXPECT_HR(S_OK, rig->put_FreqB(7050000));
    EXPECT_HR(S_OK, rig->put_Freq(-5));
    EXPECT_HR(S_OK, rig->put_Vfo(VFOB));
    EXPECT_HR(E_INVALIDARG, rig->put_Vfo(0));
    EXPECT_HR(E_NOTIMPL, rig->Reserved8());
    EXPECT_HR(E_NOTIMPL, rig->Reserved33());
    EXPECT_HR(E_NOTIMPL, Server->Reserved10());
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_HR(S_OK, Server->get_DialogVisible(&visible));

    EXPECT_EQ(L"IOmniRigX.9\nIRigX.14\nIRigX.19 7050000\nIRigX.15 -5\nIRigX.25 4096\nIRigX.25 0\nIRigX.8\n"
              L"IRigX.33\nIOmniRigX.10\nIOmniRigX.11",
              Log());
    EXPECT_EQ(1, Count(TIface::OmniRig, OmniRigSlot::GetRig));
    EXPECT_EQ(1, Count(TIface::OmniRig, OmniRigSlot::GetDialogVisible));
    EXPECT_EQ(0, Count(TIface::OmniRig, OmniRigSlot::PutDialogVisible));
    EXPECT_EQ(2, Count(TIface::Rig, RigSlot::PutVfo));
    EXPECT_EQ(1, Count(TIface::Rig, RigSlot::PutFreq));
    EXPECT_EQ(0, Count(TIface::Rig, RigSlot::GetFreqA));
    // Slots are per interface.
    EXPECT_EQ(0, Count(TIface::OmniRig, RigSlot::GetFreq));
    LONG count = 0;
    EXPECT_HR(E_INVALIDARG, Control->GetCallCount(2, OmniRigSlot::GetRig, &count));
}

TEST_F(RigSimTest, TheLogKeepsTheLatestCallsAndTheCountsStayExact)
{
    // A server polled for hours must not grow: the log keeps 1000 lines.
    ComPtr<IRigX> rig = Rig();
    ASSERT_TRUE(rig);
    ASSERT_HR(S_OK, Control->Reset());
    ASSERT_HR(S_OK, rig->put_FreqA(1));
    LONG value = 0;
    for (int i = 0; i < 1000; ++i)
        ASSERT_HR(S_OK, rig->get_Freq(&value));
    ASSERT_HR(S_OK, rig->put_FreqA(2));

    const std::wstring log = Log();
    EXPECT_EQ(999, std::count(log.begin(), log.end(), L'\n'));
    EXPECT_EQ(0u, log.rfind(L"IRigX.14\n", 0)) << "the oldest lines went first";
    EXPECT_EQ(L"\nIRigX.17 2", log.substr(log.size() - 11));
    EXPECT_EQ(1000, Count(TIface::Rig, RigSlot::GetFreq));
    EXPECT_EQ(2, Count(TIface::Rig, RigSlot::PutFreqA));
}

TEST_F(RigSimTest, CallsThroughIDispatchCountUnderTheirSlot)
{
    ComPtr<IRigX> rig = Rig();
    ASSERT_TRUE(rig);
    ASSERT_HR(S_OK, Control->Reset());
    ComPtr<IDispatch> dispatch;
    ASSERT_HR(S_OK, rig.As(&dispatch));
    wchar_t name[] = L"FreqA";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_HR(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));

    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 3700000;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&arg, &named, 1, 1};
    ASSERT_HR(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                                     nullptr));
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_HR(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                     nullptr));
    EXPECT_EQ(VT_I4, V_VT(&result));
    EXPECT_EQ(3700000, V_I4(&result));
    VariantClear(&result);

    // The server object's Rig property through IDispatch hands out a rig.
    ComPtr<IDispatch> serverDispatch;
    ASSERT_HR(S_OK, Server.As(&serverDispatch));
    wchar_t rigName[] = L"Rig";
    names[0] = rigName;
    ASSERT_HR(S_OK, serverDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    ASSERT_HR(S_OK, serverDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                           nullptr, nullptr));
    ASSERT_TRUE(V_VT(&result) == VT_DISPATCH || V_VT(&result) == VT_UNKNOWN);
    ComPtr<IRigX> fromDispatch;
    EXPECT_HR(S_OK, V_UNKNOWN(&result)->QueryInterface(IID_PPV_ARGS(&fromDispatch)));
    VariantClear(&result);

    EXPECT_EQ(L"IRigX.17 3700000\nIRigX.16\nIOmniRigX.9", Log());
}

TEST_F(RigSimTest, ResetForgetsCallsAndFailuresButNotTheRadio)
{
    ComPtr<IRigX> rig = Rig();
    ASSERT_TRUE(rig);
    ASSERT_HR(S_OK, rig->put_FreqA(28074000));
    TBStr text(L"Busy");
    ASSERT_HR(S_OK, Control->FailCalls(-1, E_FAIL, text.Get()));
    LONG value = 0;
    EXPECT_HR(E_FAIL, rig->get_FreqA(&value));

    ASSERT_HR(S_OK, Control->Reset());
    EXPECT_EQ(L"", Log());
    EXPECT_EQ(0, Count(TIface::OmniRig, OmniRigSlot::GetRig));
    EXPECT_EQ(0, Count(TIface::Rig, RigSlot::GetFreqA));
    EXPECT_EQ(0, Count(TIface::Rig, RigSlot::PutFreqA));
    EXPECT_HR(S_OK, rig->get_FreqA(&value));
    EXPECT_EQ(28074000, value);
}

// ---- the settings dialog --------------------------------------------------------

std::wstring DialogText(HWND dialog)
{
    HWND text = FindWindowExW(dialog, nullptr, L"Static", nullptr);
    if (!text)
        return {};
    wchar_t buffer[512] = {};
    GetWindowTextW(text, buffer, 512);
    return buffer;
}

TEST_F(RigSimTest, ShowsAndHidesItsSettingsDialog)
{
    VARIANT_BOOL visible = VARIANT_TRUE;
    ASSERT_HR(S_OK, Server->get_DialogVisible(&visible));
    EXPECT_EQ(VARIANT_FALSE, visible);

    ASSERT_HR(S_OK, Control->Reset());
    ASSERT_HR(S_OK, Server->put_DialogVisible(VARIANT_TRUE));
    ASSERT_HR(S_OK, Server->get_DialogVisible(&visible));
    EXPECT_EQ(VARIANT_TRUE, visible);
    ASSERT_HR(S_OK, Control->GetDialogVisible(&visible));
    EXPECT_EQ(VARIANT_TRUE, visible);

    HWND dialog = FindWindowW(L"RigSimSettings", L"Rig settings");
    ASSERT_TRUE(dialog);
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    EXPECT_EQ(FProcess.ProcessId(), owner);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_NE(std::wstring::npos, DialogText(dialog).find(L"14200000")) << Narrow(DialogText(dialog));

    // It follows the operator and the clients.
    ASSERT_HR(S_OK, Control->SetFreqB(3573000));
    EXPECT_NE(std::wstring::npos, DialogText(dialog).find(L"3573000")) << Narrow(DialogText(dialog));
    ASSERT_HR(S_OK, Rig()->put_FreqA(21074000));
    EXPECT_NE(std::wstring::npos, DialogText(dialog).find(L"21074000")) << Narrow(DialogText(dialog));

    ASSERT_HR(S_OK, Server->put_DialogVisible(VARIANT_FALSE));
    ASSERT_HR(S_OK, Server->get_DialogVisible(&visible));
    EXPECT_EQ(VARIANT_FALSE, visible);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(L"IOmniRigX.12 -1\nIOmniRigX.11\nIOmniRigX.9\nIRigX.17 21074000\nIOmniRigX.12 0\nIOmniRigX.11", Log());

    // The user closing it hides it too.
    ASSERT_HR(S_OK, Server->put_DialogVisible(VARIANT_TRUE));
    ASSERT_TRUE(IsWindowVisible(dialog));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil(
        [&] {
            VARIANT_BOOL shown = VARIANT_TRUE;
            return SUCCEEDED(Control->GetDialogVisible(&shown)) && shown == VARIANT_FALSE;
        },
        5000));
    ASSERT_HR(S_OK, Server->get_DialogVisible(&visible));
    EXPECT_EQ(VARIANT_FALSE, visible);
}

// ---- events ---------------------------------------------------------------------------

ComPtr<IConnectionPoint> EventsPoint(IUnknown* server)
{
    ComPtr<IConnectionPointContainer> container;
    EXPECT_HR(S_OK, server->QueryInterface(IID_PPV_ARGS(&container)));
    ComPtr<IConnectionPoint> point;
    if (container) {
        EXPECT_HR(S_OK, container->FindConnectionPoint(__uuidof(IOmniRigXEvents), &point));
    }
    return point;
}

TEST_F(RigSimTest, OffersOneConnectionPointForItsEvents)
{
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, Server.As(&container));
    ComPtr<IConnectionPoint> point;
    EXPECT_HR(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(__uuidof(IRigX), &point));
    EXPECT_FALSE(point);
    EXPECT_HR(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, &point));
    ASSERT_HR(S_OK, container->FindConnectionPoint(__uuidof(IOmniRigXEvents), &point));
    IID iid{};
    ASSERT_HR(S_OK, point->GetConnectionInterface(&iid));
    EXPECT_EQ(__uuidof(IOmniRigXEvents), iid);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_HR(S_OK, point->GetConnectionPointContainer(&back));
    EXPECT_EQ(Identity(Server.Get()), Identity(back.Get()));
}

TEST_F(RigSimTest, TellsEverySinkWhatTheOperatorChanged)
{
    ComPtr<IConnectionPoint> point = EventsPoint(Server.Get());
    ASSERT_TRUE(point);
    auto sink = Make<TEventSink>();
    DWORD cookie = 0;
    ASSERT_HR(S_OK, point->Advise(sink.Get(), &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(1, SinkCount());

    // A second server object and its own sink.
    ComPtr<IOmniRigX> other;
    ASSERT_HR(S_OK, CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&other)));
    ComPtr<IConnectionPoint> otherPoint = EventsPoint(other.Get());
    ASSERT_TRUE(otherPoint);
    auto otherSink = Make<TEventSink>();
    DWORD otherCookie = 0;
    ASSERT_HR(S_OK, otherPoint->Advise(otherSink.Get(), &otherCookie));
    EXPECT_EQ(2, SinkCount());

    struct TCase {
        const char* Name;
        std::function<HRESULT()> Change;
        DISPID Event;
    };
    TBStr name(L"OTHER");
    const TCase cases[] = {
        {"SetFreq", [&] { return Control->SetFreq(3510000); }, 4},
        {"SetFreqA", [&] { return Control->SetFreqA(3520000); }, 4},
        {"SetFreqB", [&] { return Control->SetFreqB(3530000); }, 4},
        {"SetMode", [&] { return Control->SetMode(CW_U); }, 4},
        {"SetVfo", [&] { return Control->SetVfo(VFOBB); }, 4},
        {"SetRigType", [&] { return Control->SetRigType(name.Get()); }, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        sink->Calls.clear();
        otherSink->Calls.clear();
        ASSERT_HR(S_OK, c.Change());
        for (TEventSink* s : {sink.Get(), otherSink.Get()}) {
            ASSERT_TRUE(PumpUntil([&] { return !s->Calls.empty(); }, 5000));
            ASSERT_EQ(1u, s->Calls.size());
            EXPECT_EQ(c.Event, s->Calls[0].Id);
            ASSERT_FALSE(s->Calls[0].Args.empty());
            EXPECT_EQ(1, s->Calls[0].Args[0]); // the rig number
            if (c.Event == 4) {
                ASSERT_EQ(2u, s->Calls[0].Args.size());
                EXPECT_NE(0, s->Calls[0].Args[1]);
            }
        }
    }

    // A client's own changes are not the operator's.
    sink->Calls.clear();
    ASSERT_HR(S_OK, Rig()->put_FreqA(7000000));
    EXPECT_TRUE(sink->Calls.empty());

    // Unadvise works on the owning object's point only, and once.
    EXPECT_HR(CONNECT_E_NOCONNECTION, point->Unadvise(otherCookie));
    EXPECT_HR(S_OK, point->Unadvise(cookie));
    EXPECT_HR(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
    EXPECT_EQ(1, SinkCount());
    sink->Calls.clear();
    otherSink->Calls.clear();
    ASSERT_HR(S_OK, Control->SetFreqA(3530000));
    EXPECT_TRUE(PumpUntil([&] { return !otherSink->Calls.empty(); }, 5000));
    EXPECT_TRUE(sink->Calls.empty());

    // A server object that goes takes its sinks along.
    otherPoint.Reset();
    other.Reset();
    EXPECT_TRUE(PumpUntil([&] { return SinkCount() == 0; }, 5000));
}

TEST_F(RigSimTest, RefusesSinksThatAreNoDispatch)
{
    ComPtr<IConnectionPoint> point = EventsPoint(Server.Get());
    ASSERT_TRUE(point);
    DWORD cookie = 7;
    EXPECT_HR(CONNECT_E_CANNOTCONNECT, point->Advise(Make<TPlainObject>().Get(), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(0, SinkCount());
}

TEST_F(RigSimTest, SurvivesSinksThatFailOrAreGone)
{
    ComPtr<IConnectionPoint> point = EventsPoint(Server.Get());
    ASSERT_TRUE(point);
    auto failing = Make<TEventSink>();
    failing->Answer = E_FAIL;
    auto gone = Make<TEventSink>();
    DWORD cookie = 0;
    ASSERT_HR(S_OK, point->Advise(failing.Get(), &cookie));
    ASSERT_HR(S_OK, point->Advise(gone.Get(), &cookie));
    ASSERT_EQ(2, SinkCount());

    // As if the client that advised it had died.
    ASSERT_HR(S_OK, CoDisconnectObject(gone.Get(), 0));
    EXPECT_HR(S_OK, Control->SetFreqA(3560000));
    EXPECT_TRUE(PumpUntil([&] { return !failing->Calls.empty(); }, 5000));
    EXPECT_TRUE(gone->Calls.empty());
    // The gone one is dropped, the failing one stays.
    EXPECT_EQ(1, SinkCount());
    EXPECT_HR(S_OK, Control->SetFreqA(3570000));
    EXPECT_EQ(1, SinkCount());
    EXPECT_EQ(3570000, Get(&IRigX::get_FreqA));
}

TEST_F(RigSimTest, TellsSinksWhenTheUserClosesTheDialog)
{
    ComPtr<IConnectionPoint> point = EventsPoint(Server.Get());
    ASSERT_TRUE(point);
    auto sink = Make<TEventSink>();
    DWORD cookie = 0;
    ASSERT_HR(S_OK, point->Advise(sink.Get(), &cookie));
    ASSERT_HR(S_OK, Server->put_DialogVisible(VARIANT_TRUE));
    HWND dialog = FindWindowW(L"RigSimSettings", L"Rig settings");
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !sink->Calls.empty(); }, 5000));
    EXPECT_EQ(1, sink->Calls[0].Id);
}

// ---- lifetime and registration: no instance started by the test ------------------

class RigSimServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TRigSimProcess::WaitUntilNoneRuns(10000)) << "a rigsim.exe from elsewhere is running";
    }

    void TearDown() override
    {
        // An instance that did not end by itself must not outlive the test.
        TRigSimProcess::StopAll();
    }
};

TEST_F(RigSimServerTest, ComStartsAnInstanceThatEndsWithItsLastClient)
{
    ComPtr<IOmniRigX> server;
    ASSERT_HR(S_OK, CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&server)));
    const std::vector<DWORD> running = TRigSimProcess::RunningIds();
    ASSERT_EQ(1u, running.size());
    ComPtr<IRigSimControl> control;
    ASSERT_HR(S_OK, server.As(&control));
    LONG pid = 0;
    ASSERT_HR(S_OK, control->GetServerProcessId(&pid));
    EXPECT_EQ(running[0], static_cast<DWORD>(pid));

    ComPtr<IRigX> rig;
    ASSERT_HR(S_OK, server->get_Rig(&rig));
    LONG freq = 0;
    ASSERT_HR(S_OK, rig->get_Freq(&freq));
    EXPECT_EQ(kStartA, freq);

    // The rig object alone keeps the server.
    server.Reset();
    control.Reset();
    Sleep(500);
    ASSERT_HR(S_OK, rig->get_Freq(&freq));

    // A client coming back meanwhile finds the same server and the same rig.
    ASSERT_HR(S_OK, CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&server)));
    EXPECT_EQ(running, TRigSimProcess::RunningIds());
    ComPtr<IRigX> again;
    ASSERT_HR(S_OK, server->get_Rig(&again));
    EXPECT_EQ(Identity(rig.Get()), Identity(again.Get()));
    again.Reset();
    server.Reset();
    Sleep(500);
    ASSERT_HR(S_OK, rig->get_Freq(&freq)) << "the rig still keeps it";

    rig.Reset();
    EXPECT_TRUE(TRigSimProcess::WaitUntilNoneRuns(10000));
}

// Started by COM for a client that has gone before it registered, it ends by
// itself instead of waiting for ever.
TEST_F(RigSimServerTest, AnInstanceComStartedForNoClientEnds)
{
    SetEnvironmentVariableW(L"RIGSIM_UNCLAIMED_MS", L"1000");
    const DWORD code = TRigSimProcess::RunTool(L"-Embedding", 30000);
    SetEnvironmentVariableW(L"RIGSIM_UNCLAIMED_MS", nullptr);
    EXPECT_EQ(0u, code);
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring DefaultValue(const std::wstring& path)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

TEST_F(RigSimServerTest, UnregistersAndRegistersAgain)
{
    // Whatever happens here, the prefix keeps a registered stand-in.
    struct TReregister {
        ~TReregister()
        {
            try {
                TRigSimProcess::RunTool(L"/regserver");
            } catch (...) {
            }
        }
    } reregister;

    GUID libId{};
    {
        ComPtr<ITypeLib> lib;
        ASSERT_HR(S_OK, LoadTypeLibEx(TRigSimProcess::ExePath().c_str(), REGKIND_NONE, &lib));
        TLIBATTR* attr = nullptr;
        ASSERT_HR(S_OK, lib->GetLibAttr(&attr));
        libId = attr->guid;
        lib->ReleaseTLibAttr(attr);
    }
    const std::wstring clsidKey = L"CLSID\\" + GuidText(__uuidof(OmniRigX));
    const std::wstring libKey = L"TypeLib\\" + GuidText(libId) + L"\\1.0";
    const std::wstring rigKey = L"Interface\\" + GuidText(__uuidof(IRigX));
    const std::wstring controlKey = L"Interface\\" + GuidText(__uuidof(IRigSimControl));

    ASSERT_EQ(0u, TRigSimProcess::RunTool(L"/unregserver"));
    EXPECT_FALSE(KeyExists(clsidKey));
    EXPECT_FALSE(KeyExists(libKey));
    EXPECT_FALSE(KeyExists(rigKey));
    EXPECT_FALSE(KeyExists(controlKey));
    ComPtr<IOmniRigX> server;
    EXPECT_HR(REGDB_E_CLASSNOTREG,
              CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&server)));
    // Unregistering twice is no failure.
    EXPECT_EQ(0u, TRigSimProcess::RunTool(L"-UnRegServer"));

    ASSERT_EQ(0u, TRigSimProcess::RunTool(L"-RegServer"));
    EXPECT_EQ(L"\"" + TRigSimProcess::ExePath() + L"\"", DefaultValue(clsidKey + L"\\LocalServer32"));
    EXPECT_FALSE(DefaultValue(clsidKey).empty());
    EXPECT_EQ(TRigSimProcess::ExePath(), DefaultValue(libKey + L"\\0\\win64"));
    EXPECT_TRUE(KeyExists(rigKey + L"\\ProxyStubClsid32"));
    EXPECT_TRUE(KeyExists(controlKey + L"\\ProxyStubClsid32"));

    ASSERT_HR(S_OK, CoCreateInstance(__uuidof(OmniRigX), nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&server)));
    ComPtr<IRigX> rig;
    ASSERT_HR(S_OK, server->get_Rig(&rig));
    LONG mode = 0;
    EXPECT_HR(S_OK, rig->get_Mode(&mode));
    rig.Reset();
    server.Reset();
    EXPECT_TRUE(TRigSimProcess::WaitUntilNoneRuns(10000));
}

TEST_F(RigSimServerTest, RejectsUnknownSwitches)
{
    EXPECT_NE(0u, TRigSimProcess::RunTool(L"/register"));
    EXPECT_NE(0u, TRigSimProcess::RunTool(L"regserver"));
    EXPECT_TRUE(TRigSimProcess::RunningIds().empty());
}

} // namespace
