// The shared COM and Win32 helpers: the COM object base, the guard at COM
// method edges, the owners of an apartment and of registrations, the BSTR
// owner, the registered type library lookup and the module path.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "OmniRig_TLB.h"
#include "base/win32/ComObject.h"
#include "base/win32/ComScope.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"

using Microsoft::WRL::ComPtr;

namespace {

// Counts objects made and freed through the base's hooks.
int gMade = 0;
int gFreed = 0;

class TTwoFaced final : public TComObject<TTwoFaced, IOmniRigX, ISupportErrorInfo, IConnectionPointContainer> {
public:
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IOmniRigX>(), Row<IOmniRigX>(IID_IDispatch),
                                             Row<ISupportErrorInfo>(), Row<IConnectionPointContainer>()};
        return rows;
    }
    static void ObjectMade() noexcept { ++gMade; }
    static void ObjectFreed() noexcept { ++gFreed; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Rig(IRigX**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DialogVisible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_DialogVisible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID, IConnectionPoint**) override { return E_NOTIMPL; }

private:
    ~TTwoFaced() override = default;
};

IUnknown* Identity(IUnknown* object)
{
    ComPtr<IUnknown> identity;
    EXPECT_EQ(object->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
    return identity.Get();
}

TEST(ComObject, AnswersItsTableWithOneIdentityAndNothingElse)
{
    ComPtr<IOmniRigX> object;
    object.Attach(new TTwoFaced);
    IUnknown* identity = Identity(object.Get());

    struct TCase {
        const char* Name;
        const IID& Iid;
        HRESULT Expected;
    };
    const TCase cases[] = {
        {"IUnknown", IID_IUnknown, S_OK},
        {"the interface", __uuidof(IOmniRigX), S_OK},
        {"its IDispatch", IID_IDispatch, S_OK},
        {"a second interface", IID_ISupportErrorInfo, S_OK},
        {"a third interface", IID_IConnectionPointContainer, S_OK},
        {"an interface not in the table", __uuidof(IRigX), E_NOINTERFACE},
        {"the marshaller's question", IID_IMarshal, E_NOINTERFACE},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        void* found = reinterpret_cast<void*>(1);
        ASSERT_EQ(object->QueryInterface(c.Iid, &found), c.Expected);
        if (FAILED(c.Expected)) {
            EXPECT_EQ(found, nullptr) << "a refused query leaves null behind";
            continue;
        }
        auto* unknown = static_cast<IUnknown*>(found);
        EXPECT_EQ(Identity(unknown), identity) << "every interface leads back to one identity";
        ComPtr<IUnknown> again;
        EXPECT_EQ(unknown->QueryInterface(c.Iid, &again), S_OK) << "queries are symmetric";
        unknown->Release();
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(ComObject, CountsReferencesAndFreesItselfAtTheLast)
{
    gMade = gFreed = 0;
    auto* object = new TTwoFaced;
    EXPECT_EQ(gMade, 1);
    EXPECT_EQ(object->AddRef(), 2u);
    ComPtr<ISupportErrorInfo> other;
    ASSERT_EQ(object->QueryInterface(IID_PPV_ARGS(&other)), S_OK);
    EXPECT_EQ(object->Release(), 2u);
    other.Reset();
    EXPECT_EQ(gFreed, 0);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(gFreed, 1) << "freed with the last reference, through whichever interface";
    EXPECT_EQ(gMade, 1);
}

TEST(ComGuard, TurnsWhatABodyRaisesIntoItsCode)
{
    struct TCase {
        const char* Name;
        std::function<HRESULT()> Body;
        HRESULT Expected;
    };
    const TCase cases[] = {
        {"an answer", [] { return S_FALSE; }, S_FALSE},
        {"an OLE error", []() -> HRESULT { throw EOleError("busy", E_ACCESSDENIED); }, E_ACCESSDENIED},
        {"an OLE error carrying success", []() -> HRESULT { throw EOleError("odd", S_OK); }, E_FAIL},
        {"no memory", []() -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"anything else", []() -> HRESULT { throw std::runtime_error("x"); }, E_UNEXPECTED},
        {"not even an exception", []() -> HRESULT { throw 42; }, E_UNEXPECTED},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ComGuard(c.Body), c.Expected);
    }
}

TEST(ComGuard, AnswersAValueMethodsFailureWhenItsBodyRaises)
{
    EXPECT_EQ(ComGuard(LONG{0}, [] { return 1; }), 1);
    EXPECT_EQ(ComGuard(LONG{0}, []() -> LONG { throw EOleError("gone", E_FAIL); }), 0);
    EXPECT_EQ(ComGuard(LONG{-1}, []() -> LONG { throw std::bad_alloc(); }), -1);
}

TEST(MakeAndQuery, FreesTheObjectWhenTheInterfaceIsRefused)
{
    gMade = gFreed = 0;
    void* answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(MakeAndQuery<TTwoFaced>(__uuidof(IRigX), &answer), E_NOINTERFACE);
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(gMade, 1);
    EXPECT_EQ(gFreed, 1);

    ASSERT_EQ(MakeAndQuery<TTwoFaced>(IID_ISupportErrorInfo, &answer), S_OK);
    EXPECT_EQ(static_cast<ISupportErrorInfo*>(answer)->Release(), 0u) << "the caller's is the only reference";
    EXPECT_EQ(gFreed, 2);
}

TEST(ComApartment, GivesBackExactlyWhatItWasGranted)
{
    std::thread([] {
        {
            const TComApartment first(COINIT_APARTMENTTHREADED);
            ASSERT_EQ(first.Result(), S_OK);
            {
                const TComApartment refused(COINIT_MULTITHREADED);
                EXPECT_EQ(refused.Result(), RPC_E_CHANGED_MODE);
            }
            const TComApartment again(COINIT_APARTMENTTHREADED);
            EXPECT_EQ(again.Result(), S_FALSE) << "the refused one left the thread's COM alone";
        }
        // Both grants given back, the first S_FALSE included: the thread may
        // take the other kind now.
        const TComApartment other(COINIT_MULTITHREADED);
        EXPECT_EQ(other.Result(), S_OK);
    }).join();
}

// A class object that makes nothing, for a class of its own.
class TIdleFactory final : public TComObject<TIdleFactory, IClassFactory> {
public:
    static std::span<const TInterfaceRow> Interfaces()
    {
        static const TInterfaceRow rows[] = {Row<IClassFactory>()};
        return rows;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~TIdleFactory() override = default;
};

bool ClassOffered(REFCLSID clsid)
{
    ComPtr<IClassFactory> factory;
    return SUCCEEDED(CoGetClassObject(clsid, CLSCTX_LOCAL_SERVER, nullptr, IID_PPV_ARGS(&factory)));
}

TEST(ClassObjectRegistration, ARefusedOneRevokesNothing)
{
    const CLSID clsid = {0x5d3c1a72, 0x0b4e, 0x4f19, {0x8a, 0x61, 0x2e, 0x90, 0x7c, 0x44, 0xd1, 0x0b}};
    ComPtr<TIdleFactory> factory;
    factory.Attach(new TIdleFactory);
    TClassObjectRegistration offered(clsid, factory.Get(), REGCLS_MULTIPLEUSE);
    ASSERT_EQ(offered.Result(), S_OK);
    ASSERT_TRUE(ClassOffered(clsid));
    {
        const TClassObjectRegistration refused(clsid, nullptr, REGCLS_MULTIPLEUSE);
        EXPECT_TRUE(FAILED(refused.Result()));
    }
    EXPECT_TRUE(ClassOffered(clsid)) << "the refused owner's end took the other's registration";
    offered.Revoke();
    EXPECT_FALSE(ClassOffered(clsid));
    offered.Revoke();
}

TEST(BStr, KeepsWideTextWhole)
{
    for (const std::wstring& text : {std::wstring(), std::wstring(L"RIGSIM"), std::wstring(L"a\0b", 3),
                                     std::wstring(L"\u00e9\u4e2d")}) {
        TBStr value(text);
        ASSERT_NE(value.Get(), nullptr);
        EXPECT_EQ(value.Wide(), text);
        EXPECT_EQ(SysStringLen(value.Get()), text.size());
        EXPECT_EQ(TBStr::BStrText(value.Get()), text);
        BSTR detached = value.Detach();
        EXPECT_EQ(value.Get(), nullptr);
        SysFreeString(detached);
    }
    EXPECT_EQ(TBStr::BStrText(nullptr), L"");
}

TEST(InterfaceTypeLib, FindsTheRegisteredLibraryOfAnInterfaceOrNone)
{
    // The stand-in rig server is registered in the build's prefix.
    ComPtr<ITypeLib> lib = LoadInterfaceTypeLib(__uuidof(IRigX));
    ASSERT_TRUE(lib);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(__uuidof(IRigX), &info), S_OK);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(__uuidof(IOmniRigX), &info), S_OK);

    const GUID unknown = {0x1c2e9d40, 0x5a7b, 0x4c11, {0x9e, 0x3d, 0x70, 0x21, 0x64, 0xa8, 0x0f, 0x5b}};
    EXPECT_FALSE(LoadInterfaceTypeLib(unknown));
    // A system interface proxied without a type library.
    EXPECT_FALSE(LoadInterfaceTypeLib(IID_IClassFactory));
}

TEST(ModulePath, NamesTheExecutableAndLoadedModules)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    EXPECT_EQ(ModulePath(), path);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ASSERT_GT(GetModuleFileNameW(kernel, path, MAX_PATH), 0u);
    EXPECT_EQ(ModulePath(kernel), path);
    EXPECT_EQ(ModulePath(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10))), L"") << "no such module";
}

std::wstring Temp()
{
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return dir;
}

// A folder deeper than MAX_PATH under the temporary folder, removed at the end.
class TDeepFolder {
public:
    TDeepFolder() : FTop(Temp() + L"velkor-long-" + std::to_wstring(GetCurrentProcessId())), FPath(FTop)
    {
        CreateDirectoryW(Long(FPath).c_str(), nullptr);
        while (FPath.size() < MAX_PATH + 40) {
            FPath += L"\\a-folder-with-a-fairly-long-name";
            CreateDirectoryW(Long(FPath).c_str(), nullptr);
        }
    }
    ~TDeepFolder()
    {
        for (const std::wstring& file : FFiles)
            DeleteFileW(Long(file).c_str());
        for (std::wstring folder = FPath; folder.size() >= FTop.size(); folder.erase(folder.find_last_of(L'\\')))
            RemoveDirectoryW(Long(folder).c_str());
    }
    const std::wstring& Top() const { return FTop; }
    std::wstring File(const std::wstring& name)
    {
        FFiles.push_back(FPath + L"\\" + name);
        return FFiles.back();
    }
    static std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

private:
    std::wstring FTop;
    std::wstring FPath;
    std::vector<std::wstring> FFiles;
};

TEST(ModulePath, ReachesBeyondMaxPath)
{
    TDeepFolder folder;
    const std::wstring copy = folder.File(L"win32_tests.exe");
    ASSERT_TRUE(CopyFileW(ModulePath().c_str(), TDeepFolder::Long(copy).c_str(), FALSE)) << GetLastError();
    // Mapped only: nothing of it runs.
    HMODULE module = LoadLibraryExW(TDeepFolder::Long(copy).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(module) << GetLastError();
    const std::wstring reported = ModulePath(module);
    FreeLibrary(module);
    EXPECT_GT(reported.size(), static_cast<size_t>(MAX_PATH));
    const std::wstring tail = copy.substr(folder.Top().size());
    ASSERT_GE(reported.size(), tail.size());
    EXPECT_EQ(reported.substr(reported.size() - tail.size()), tail) << "the whole path, not its first MAX_PATH";
}

} // namespace
