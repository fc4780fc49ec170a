// The automation object and its class object in this process, and the type
// library embedded in velkor.exe read back attribute by attribute (the
// compiler is not trusted with them).
#include <gtest/gtest.h>

#include <ocidl.h>

#include <filesystem>
#include <vector>

#include "Velkor_TLB.h"
#include "automation/ComServer.h"
#include "automation/win32/VelkorCOMUnit.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"
#include "rig/TransceiverUnit.h"
#include "tests/support/FakeRigServer.h"
#include "tests/support/HeadlessHost.h"
#include "ui/Forms.h"

using Microsoft::WRL::ComPtr;

namespace {

const GUID kStdOle2 = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kLibId = {0xA1B5FCD3, 0xA2FE, 0x4AC5, {0x82, 0x24, 0xD8, 0x51, 0xD4, 0x59, 0x4C, 0x24}};

ComPtr<ITypeLib> VelkorTypeLib()
{
    const std::wstring exe = (std::filesystem::path(ModulePath()).parent_path() / L"velkor.exe").wstring();
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLibEx(exe.c_str(), REGKIND_NONE, &lib), S_OK) << "velkor.exe beside the test";
    return lib;
}

std::wstring Name(ITypeInfo* info, MEMBERID member = MEMBERID_NIL)
{
    TBStr name;
    info->GetDocumentation(member, name.Out(), nullptr, nullptr, nullptr);
    return name.Wide();
}

std::wstring HelpString(ITypeInfo* info, MEMBERID member = MEMBERID_NIL)
{
    TBStr doc;
    info->GetDocumentation(member, nullptr, doc.Out(), nullptr, nullptr);
    return doc.Wide();
}

TEST(VelkorTypeLibrary, TheLibrarysOwnAttributes)
{
    ComPtr<ITypeLib> lib = VelkorTypeLib();
    ASSERT_TRUE(lib);
    TBStr name, doc, helpFile;
    DWORD helpContext = 1;
    ASSERT_EQ(lib->GetDocumentation(-1, name.Out(), doc.Out(), &helpContext, helpFile.Out()), S_OK);
    EXPECT_EQ(name.Wide(), L"Velkor");
    EXPECT_EQ(doc.Wide(), L"Velkor Library");
    EXPECT_EQ(helpFile.Get(), nullptr) << "no help file";
    EXPECT_EQ(helpContext, 0u);

    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, kLibId);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    // The loader marks every library read from a file as having a disk image.
    EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
    lib->ReleaseTLibAttr(attr);

    ASSERT_EQ(lib->GetTypeInfoCount(), 2u);
    TYPEKIND kind;
    ASSERT_EQ(lib->GetTypeInfoType(0, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_INTERFACE);
    ASSERT_EQ(lib->GetTypeInfoType(1, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    TBStr first, second;
    lib->GetDocumentation(0, first.Out(), nullptr, nullptr, nullptr);
    lib->GetDocumentation(1, second.Out(), nullptr, nullptr, nullptr);
    EXPECT_EQ(first.Wide(), L"IVelkorCom");
    EXPECT_EQ(second.Wide(), L"VelkorCom");
}

TEST(VelkorTypeLibrary, TheInterfaceIsAPlainOleAutomationVtableOfNineSlots)
{
    ComPtr<ITypeLib> lib = VelkorTypeLib();
    ASSERT_TRUE(lib);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(__uuidof(IVelkorCom), &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, __uuidof(IVelkorCom));
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FOLEAUTOMATION) << "not dual, not dispatchable, nothing else";
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->cFuncs, 6);
    EXPECT_EQ(attr->cVars, 0);
    EXPECT_EQ(attr->cImplTypes, 1);
    // Nine slots of the library's 32-bit pointers; the loader gives the
    // methods' offsets in the running process's pointers.
    EXPECT_EQ(attr->cbSizeVft, 9 * 4);
    const int pointer = sizeof(void*);
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(HelpString(info.Get()), L"Interface for VelkorCom Object");

    // Its base, IUnknown, comes from the imported stdole2.tlb 2.0.
    HREFTYPE base = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &base), S_OK);
    ComPtr<ITypeInfo> baseInfo;
    ASSERT_EQ(info->GetRefTypeInfo(base, &baseInfo), S_OK);
    EXPECT_EQ(Name(baseInfo.Get()), L"IUnknown");
    ComPtr<ITypeLib> imported;
    UINT index = 0;
    ASSERT_EQ(baseInfo->GetContainingTypeLib(&imported, &index), S_OK);
    TLIBATTR* importedAttr = nullptr;
    ASSERT_EQ(imported->GetLibAttr(&importedAttr), S_OK);
    EXPECT_EQ(importedAttr->guid, kStdOle2);
    EXPECT_EQ(importedAttr->wMajorVerNum, 2);
    EXPECT_EQ(importedAttr->wMinorVerNum, 0);
    imported->ReleaseTLibAttr(importedAttr);

    struct TParam {
        const wchar_t* Name;
        VARTYPE Type; // VT_PTR to this when an out parameter
        USHORT Flags;
    };
    const struct {
        const wchar_t* Name;
        MEMBERID Id;
        VARTYPE Result;
        std::vector<TParam> Params;
    } methods[] = {
        {L"GetFreq", 1, VT_HRESULT, {{L"Freq", VT_I4, PARAMFLAG_FOUT}}},
        {L"GetMode", 2, VT_HRESULT, {{L"Mode", VT_BSTR, PARAMFLAG_FOUT}}},
        {L"SetMode", 3, VT_I4, {{L"Mode", VT_BSTR, PARAMFLAG_FIN}}},
        {L"SetFreq", 4, VT_I4, {{L"Freq", VT_I4, PARAMFLAG_FIN}}},
        {L"IsConnected", 5, VT_I4, {}},
        {L"ChangeFreq", 6, VT_I4, {{L"Herz", VT_I4, PARAMFLAG_FIN}}},
    };
    for (UINT i = 0; i < 6; ++i) {
        const auto& m = methods[i];
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->memid, m.Id) << i;
        EXPECT_EQ(Name(info.Get(), func->memid), m.Name) << i;
        EXPECT_EQ(HelpString(info.Get(), func->memid), L"") << m.Name << ": no help string";
        EXPECT_EQ(func->oVft / pointer, static_cast<int>(i) + 3) << m.Name << ": slot";
        EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL) << m.Name;
        EXPECT_EQ(func->invkind, INVOKE_FUNC) << m.Name;
        EXPECT_EQ(func->callconv, CC_STDCALL) << m.Name;
        EXPECT_EQ(func->wFuncFlags, 0) << m.Name;
        EXPECT_EQ(func->cParamsOpt, 0) << m.Name;
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, m.Result) << m.Name;
        ASSERT_EQ(func->cParams, static_cast<SHORT>(m.Params.size())) << m.Name;
        BSTR names[2] = {};
        UINT got = 0;
        info->GetNames(func->memid, names, 2, &got);
        ASSERT_EQ(got, 1 + m.Params.size()) << m.Name;
        for (size_t p = 0; p < m.Params.size(); ++p) {
            const ELEMDESC& param = func->lprgelemdescParam[p];
            const bool out = m.Params[p].Flags & PARAMFLAG_FOUT;
            EXPECT_EQ(param.tdesc.vt, out ? VARTYPE(VT_PTR) : m.Params[p].Type) << m.Name;
            if (out) {
                EXPECT_EQ(param.tdesc.lptdesc->vt, m.Params[p].Type) << m.Name;
            }
            EXPECT_EQ(param.paramdesc.wParamFlags, m.Params[p].Flags) << m.Name << ": no retval, no default";
            EXPECT_EQ(TBStr::BStrText(names[p + 1]), m.Params[p].Name) << m.Name;
        }
        for (BSTR& n : names)
            SysFreeString(n);
        info->ReleaseFuncDesc(func);
    }
}

TEST(VelkorTypeLibrary, TheCoclassIsCreatableWithTheInterfaceAsItsDefault)
{
    ComPtr<ITypeLib> lib = VelkorTypeLib();
    ASSERT_TRUE(lib);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(__uuidof(VelkorCom), &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, __uuidof(VelkorCom));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    ASSERT_EQ(attr->cImplTypes, 1) << "no event interface";
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(Name(info.Get()), L"VelkorCom");
    EXPECT_EQ(HelpString(info.Get()), L"VelkorCom Object");
    INT flags = -1;
    ASSERT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(0, &ref), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(info->GetRefTypeInfo(ref, &implemented), S_OK);
    EXPECT_EQ(Name(implemented.Get()), L"IVelkorCom");
}

// COM's count of server-process references.
class TFakeComProcess : public IComProcess {
public:
    uint32_t Refs = 0;
    uint32_t AddRefServerProcess() override { return ++Refs; }
    uint32_t ReleaseServerProcess() override { return --Refs; }
    void ResumeClassObjects() override {}
};

// An outer object that aggregates one object and counts its own references.
class TOuter : public IUnknown {
public:
    LONG Refs = 1;
    ComPtr<IUnknown> Inner;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = this;
            AddRef();
            return S_OK;
        }
        return Inner ? Inner->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
};

class VelkorComObjectTest : public ::testing::Test {
protected:
    VelkorComObjectTest()
    {
        Lib = VelkorTypeLib();
        Factory = TVelkorComFactory::Make(Lib.Get(), Server);
    }
    ComPtr<IVelkorCom> Create()
    {
        ComPtr<IVelkorCom> object;
        EXPECT_EQ(Factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
        return object;
    }

    THeadlessHost Host;
    TApplication App{Host};
    TFakeComProcess Process;
    TComServer Server{TStartMode::Automation, Process};
    ComPtr<ITypeLib> Lib;
    ComPtr<TVelkorComFactory> Factory;
};

TEST_F(VelkorComObjectTest, TheClassObjectTakesItsNamesFromTheTypeLibrary)
{
    EXPECT_EQ(Factory->ClassName(), "VelkorCom");
    EXPECT_EQ(Factory->Description(), "VelkorCom Object");

    // A library without the class.
    ComPtr<ITypeLib> other;
    ASSERT_EQ(LoadTypeLibEx(L"stdole2.tlb", REGKIND_NONE, &other), S_OK);
    try {
        TVelkorComFactory::Make(other.Get(), Server);
        FAIL() << "no error";
    } catch (const EOleError& error) {
        EXPECT_STREQ(error.what(), "Type information missing for class TVelkorCom");
    }
}

TEST_F(VelkorComObjectTest, AnswersItsFourInterfacesAndNotIDispatch)
{
    ComPtr<IVelkorCom> object = Create();
    ASSERT_TRUE(object);
    const struct {
        const IID* Iid;
        HRESULT Query;
        HRESULT ErrorInfo;
    } cases[] = {
        {&IID_IUnknown, S_OK, S_OK},
        {&__uuidof(IVelkorCom), S_OK, S_OK},
        {&IID_ISupportErrorInfo, S_OK, S_OK},
        {&IID_IProvideClassInfo, S_OK, S_OK},
        {&IID_IDispatch, E_NOINTERFACE, S_FALSE},
        {&IID_IProvideClassInfo2, E_NOINTERFACE, S_FALSE},
        {&IID_IPersist, E_NOINTERFACE, S_FALSE},
    };
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(object.As(&support), S_OK);
    for (const auto& c : cases) {
        void* answer = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(*c.Iid, &answer), c.Query);
        if (SUCCEEDED(c.Query))
            static_cast<IUnknown*>(answer)->Release();
        else
            EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(support->InterfaceSupportsErrorInfo(*c.Iid), c.ErrorInfo);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    ComPtr<IProvideClassInfo> classInfo;
    ASSERT_EQ(object.As(&classInfo), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(classInfo->GetClassInfo(&info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, __uuidof(VelkorCom));
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(classInfo->GetClassInfo(nullptr), E_POINTER);
}

TEST_F(VelkorComObjectTest, ObjectsAndLocksAreCountedAndHoldTheServerProcess)
{
    ComPtr<IVelkorCom> first = Create();
    ComPtr<IVelkorCom> second = Create();
    EXPECT_EQ(Server.ObjectCount(), 2);
    EXPECT_EQ(Factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(Server.ObjectCount(), 3);
    EXPECT_EQ(Process.Refs, 3u);
    ComPtr<IUnknown> same;
    first.As(&same);
    EXPECT_EQ(Server.ObjectCount(), 3) << "a reference is no object";
    same.Reset();
    first.Reset();
    second.Reset();
    EXPECT_EQ(Factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(Server.ObjectCount(), 0);
    EXPECT_EQ(Process.Refs, 0u);
}

// A client may hold an object past the server's end: what it does then
// reaches no record and no transceiver.
TEST_F(VelkorComObjectTest, AnObjectHeldPastTheServersEndCountsNowhere)
{
    ComPtr<IVelkorCom> held = Create();
    EXPECT_EQ(Server.ObjectCount(), 1);
    Factory->ForgetServer();
    LONG freq = -1;
    EXPECT_EQ(held->GetFreq(&freq), S_OK);
    EXPECT_EQ(freq, 0) << "no transceiver";
    EXPECT_EQ(Factory->LockServer(TRUE), S_OK);
    held.Reset();
    EXPECT_EQ(Server.ObjectCount(), 1) << "counted out nowhere";
    EXPECT_EQ(Process.Refs, 1u);
}

TEST_F(VelkorComObjectTest, AggregationIsTakenOnlyForIUnknown)
{
    TOuter outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(Factory->CreateInstance(&outer, __uuidof(IVelkorCom), &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Server.ObjectCount(), 0) << "nothing made";
    EXPECT_EQ(Factory->CreateInstance(nullptr, __uuidof(IVelkorCom), nullptr), E_POINTER);

    ASSERT_EQ(Factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(outer.Inner.GetAddressOf())),
              S_OK);
    EXPECT_EQ(Server.ObjectCount(), 1);
    EXPECT_EQ(outer.Refs, 1) << "the inner object does not hold its outer one";
    {
        ComPtr<IVelkorCom> velkor;
        ASSERT_EQ(outer.QueryInterface(IID_PPV_ARGS(&velkor)), S_OK);
        EXPECT_EQ(outer.Refs, 2) << "the aggregated interface counts on the outer object";
        ComPtr<IUnknown> identity;
        ASSERT_EQ(velkor.As(&identity), S_OK);
        EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer)) << "one identity: the outer object's";
        LONG freq = -1;
        EXPECT_EQ(velkor->GetFreq(&freq), S_OK);
        EXPECT_EQ(freq, 0);
    }
    EXPECT_EQ(outer.Refs, 1);
    outer.Inner.Reset();
    EXPECT_EQ(Server.ObjectCount(), 0) << "freed with its inner IUnknown";
}

TEST_F(VelkorComObjectTest, MethodsConvertAtTheEdgeAndReadNothingWithoutATransceiver)
{
    ComPtr<IVelkorCom> object = Create();
    LONG freq = -1;
    EXPECT_EQ(object->GetFreq(&freq), S_OK);
    EXPECT_EQ(freq, 0);
    TBStr mode(std::string("junk"));
    EXPECT_EQ(object->GetMode(mode.Out()), S_OK);
    EXPECT_EQ(mode.Get(), nullptr) << "no transceiver yet: a null BSTR";
    EXPECT_EQ(object->SetFreq(7000000), 0);
    EXPECT_EQ(object->SetMode(TBStr(std::string("FM")).Get()), 0);
    EXPECT_EQ(object->IsConnected(), 0);
    EXPECT_EQ(object->ChangeFreq(100), 0);
    EXPECT_EQ(object->GetFreq(nullptr), E_POINTER);
    EXPECT_EQ(object->GetMode(nullptr), E_POINTER);

    // With the transceiver, against a fake rig server.
    auto rigServer = std::make_unique<TFakeRigServer>();
    TFakeRigServer* rig = rigServer.get();
    auto* trx = new TTransceiver(&App, std::make_unique<TAppPollHost>(App), std::move(rigServer));
    Server.SetTransceiver(trx);
    rig->Radio = {"FAKE", 7050000, 7050000, 0, ModeFlag("LSB"), RigParams::VFOAA};
    trx->StartPolling();
    trx->TimTimer(trx->Tim);
    EXPECT_EQ(object->GetFreq(&freq), S_OK);
    EXPECT_EQ(freq, 7050000);
    EXPECT_EQ(object->GetMode(mode.Out()), S_OK);
    EXPECT_EQ(mode.Wide(), L"SSB");
    EXPECT_EQ(object->IsConnected(), 1);
    rig->ClearLog();
    EXPECT_EQ(object->SetMode(nullptr), 0) << "a null BSTR is the empty text";
    EXPECT_EQ(object->SetMode(TBStr(std::string("usb")).Get()), 0);
    EXPECT_TRUE(rig->Log.empty());
    EXPECT_EQ(object->SetMode(TBStr(std::string("FM")).Get()), 1);
    rig->FailAll = true;
    EXPECT_EQ(object->ChangeFreq(-500), 0) << "the server failed; the client gets 0, not an error";
    Server.SetTransceiver(nullptr);
}

} // namespace
