#include "automation/win32/VelkorServer.h"

#include <shellapi.h>

#include <filesystem>

#include "base/SysUtils.h"
#include "base/win32/ComUtil.h"
#include "base/win32/ModulePath.h"

using Microsoft::WRL::ComPtr;

// MinGW's headers miss what its import library has.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* fullPath, OLECHAR* helpDir);

namespace {

std::string GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return WideToUtf8(text);
}

std::wstring FolderOf(const std::wstring& path) { return std::filesystem::path(path).parent_path().wstring(); }

bool IsAccessRefused(HRESULT code)
{
    return code == TYPE_E_REGISTRYACCESS || code == E_ACCESSDENIED || code == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

// RegisterTypeLib and its removal, for the machine or the current user.
class TWin32TypeLibRegistrar : public ITypeLibRegistrar {
public:
    TWin32TypeLibRegistrar(ITypeLib* lib, std::wstring path) : FLib(lib), FPath(std::move(path)) {}

    TOutcome Register(TClassesScope scope) override
    {
        std::wstring path = FPath;
        // The help folder ends in a backslash.
        std::wstring helpDir = FolderOf(FPath) + L"\\";
        const HRESULT code = scope == TClassesScope::Machine
                                 ? RegisterTypeLib(FLib, path.data(), helpDir.data())
                                 : RegisterTypeLibForUser(FLib, path.data(), helpDir.data());
        if (SUCCEEDED(code))
            return {};
        return {IsAccessRefused(code) ? TRegStatus::Denied : TRegStatus::Failed, OleErrorText(code),
                static_cast<int32_t>(code)};
    }

    void Unregister(TClassesScope scope) override
    {
        // Looked up at run time in the OLEAUT32 the program has loaded; a
        // system without it skips the step.
        using TUnregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
        if (!oleaut)
            return;
        const char* name = scope == TClassesScope::Machine ? "UnRegisterTypeLib" : "UnRegisterTypeLibForUser";
        auto unregister = reinterpret_cast<TUnregister>(reinterpret_cast<void*>(GetProcAddress(oleaut, name)));
        TLIBATTR* attr = nullptr;
        if (!unregister || FAILED(FLib->GetLibAttr(&attr)))
            return;
        const TLIBATTR copy = *attr;
        FLib->ReleaseTLibAttr(attr);
        unregister(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    }

private:
    ITypeLib* FLib;
    std::wstring FPath;
};

const char* TargetKey(SYSKIND target)
{
    switch (target) {
    case SYS_WIN16:
        return "win16";
    case SYS_WIN64:
        return "win64";
    default:
        return "win32";
    }
}

} // namespace

std::vector<std::string> CommandLineParams()
{
    std::vector<std::string> params;
    for (const std::wstring& arg : CommandLineArgs())
        params.push_back(WideToAnsi(arg));
    return params;
}

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// ---------------------------------------------------------------- TVelkorServer

TVelkorServer::TVelkorServer(const std::vector<std::string>& params)
    : FRecord(StartModeOf(params), FProcess), FExePath(ModulePath())
{
    OleCheck(LoadTypeLibEx(FExePath.c_str(), REGKIND_NONE, &FTypeLib));
    FFactory = TVelkorComFactory::Make(FTypeLib.Get(), FRecord);

    FNames.ClsidText = GuidText(__uuidof(VelkorCom));
    // The registration's texts are UTF-8.
    FNames.ClassName = WideToUtf8(AnsiToWide(FFactory->ClassName()));
    FNames.Description = WideToUtf8(AnsiToWide(FFactory->Description()));
    TBStr libName;
    OleCheck(FTypeLib->GetDocumentation(-1, libName.Out(), nullptr, nullptr, nullptr));
    FNames.ServerName = WideToUtf8(libName.Wide());
    TLIBATTR* attr = nullptr;
    OleCheck(FTypeLib->GetLibAttr(&attr));
    FNames.LibIdText = GuidText(attr->guid);
    FNames.MajorVersion = attr->wMajorVerNum;
    FNames.MinorVersion = attr->wMinorVerNum;
    FNames.Target = TargetKey(attr->syskind);
    FNames.Locale = Format("%x", static_cast<unsigned>(attr->lcid));
    FTypeLib->ReleaseTLibAttr(attr);
}

TVelkorServer::~TVelkorServer()
{
    // Objects that clients still hold count nowhere once the record is gone.
    if (FFactory)
        FFactory->ForgetServer();
}

void TVelkorServer::UpdateRegistry(IRegistry& registry)
{
    // The paths in UTF-8: a program folder of the operator's own (the zip's)
    // may have a name the ANSI code page cannot hold.
    const std::string fullPath = WideToUtf8(FExePath);
    std::wstring shortPath(MAX_PATH, L'\0');
    DWORD length = GetShortPathNameW(FExePath.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length > shortPath.size()) {
        shortPath.resize(length);
        length = GetShortPathNameW(FExePath.c_str(), shortPath.data(), length);
    }
    shortPath.resize(length <= shortPath.size() ? length : 0);

    TWin32TypeLibRegistrar typeLib(FTypeLib.Get(), FExePath);
    TServerRegistration registration(registry, typeLib, FNames, {fullPath, WideToUtf8(shortPath)},
                                     RunningUnderWine(), [](const std::string& path) {
                                         const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
                                         return attributes != INVALID_FILE_ATTRIBUTES &&
                                                !(attributes & FILE_ATTRIBUTE_DIRECTORY);
                                     });
    if (StartMode() == TStartMode::Unregister) {
        registration.Unregister();
        return;
    }
    registration.Register(StartMode());
}

std::unique_ptr<TClassObjectRegistration> TVelkorServer::OfferClassObject()
{
    // Wine's marshaller frees a type library nobody holds as soon as a stub is
    // built, and parses it again for the next client: held for the process.
    FRegisteredTypeLib = LoadInterfaceTypeLib(__uuidof(IVelkorCom));
    // Suspended until every class of the program is in, then resumed: COM
    // was initialised with an explicit threading model. A refused resume
    // revokes the class object as the error leaves.
    auto offered = std::make_unique<TClassObjectRegistration>(
        __uuidof(VelkorCom), static_cast<IClassFactory*>(FFactory.Get()), REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED);
    OleCheck(offered->Result());
    OleCheck(CoResumeClassObjects());
    return offered;
}

void TVelkorServer::EnterStartFolder(IRegistry& registry)
{
    if (StartMode() == TStartMode::Standalone) {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        std::wstring folder(length, L'\0');
        folder.resize(GetCurrentDirectoryW(length, folder.data()));
        if (!folder.empty())
            RememberStartFolder(registry, WideToUtf8(folder));
        return;
    }
    if (StartMode() != TStartMode::Automation)
        return;
    const std::string remembered = RememberedStartFolder(registry);
    if (remembered.empty() || !SetCurrentDirectoryW(Utf8ToWide(remembered).c_str()))
        SetCurrentDirectoryW(FolderOf(FExePath).c_str());
}
