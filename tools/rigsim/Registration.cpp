#include "Registration.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "RigSim.h"
#include "base/win32/Handle.h"

using Microsoft::WRL::ComPtr;

namespace {

std::wstring Message(const std::wstring& what, HRESULT hr)
{
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return what + L" (" + code + L")";
}

std::wstring ClsidKeyPath()
{
    wchar_t clsid[40];
    StringFromGUID2(__uuidof(OmniRigX), clsid, 40);
    return std::wstring(L"CLSID\\") + clsid;
}

LSTATUS SetDefault(const std::wstring& path, const std::wstring& value)
{
    TRegKeyHandle key;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, key.Out(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(const std::wstring& path)
{
    TRegKeyHandle key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

} // namespace

int RegisterServer(const std::wstring& exePath, std::wstring& error)
{
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) {
        error = Message(L"Cannot load the type library of " + exePath, hr);
        return 1;
    }
    std::wstring path = exePath; // RegisterTypeLib takes a writable string
    hr = RegisterTypeLib(lib.Get(), path.data(), nullptr);
    if (FAILED(hr)) {
        error = Message(L"Cannot register the type library", hr);
        return 1;
    }
    const std::wstring clsidKey = ClsidKeyPath();
    LSTATUS status = SetDefault(clsidKey, L"Stand-in rig server");
    if (status == ERROR_SUCCESS)
        // Quoted: COM appends its switch to this command line.
        status = SetDefault(clsidKey + L"\\LocalServer32", L"\"" + exePath + L"\"");
    if (status != ERROR_SUCCESS) {
        error = Message(L"Cannot write HKEY_CLASSES_ROOT\\" + clsidKey, HRESULT_FROM_WIN32(status));
        return 1;
    }
    return 0;
}

int UnregisterServer(const std::wstring& exePath, std::wstring& error)
{
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(exePath.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) {
        error = Message(L"Cannot load the type library of " + exePath, hr);
        return 1;
    }
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) {
        error = Message(L"Cannot read the type library", hr);
        return 1;
    }
    const TLIBATTR libAttr = *attr;
    lib->ReleaseTLibAttr(attr);

    wchar_t libid[40];
    StringFromGUID2(libAttr.guid, libid, 40);
    const std::wstring version = std::to_wstring(libAttr.wMajorVerNum) + L"." + std::to_wstring(libAttr.wMinorVerNum);
    // Unregistering what is not registered is no failure.
    if (KeyExists(std::wstring(L"TypeLib\\") + libid + L"\\" + version)) {
        hr = UnRegisterTypeLib(libAttr.guid, libAttr.wMajorVerNum, libAttr.wMinorVerNum, libAttr.lcid,
                               libAttr.syskind);
        if (FAILED(hr)) {
            error = Message(L"Cannot unregister the type library", hr);
            return 1;
        }
    }
    const std::wstring clsidKey = ClsidKeyPath();
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        error = Message(L"Cannot delete HKEY_CLASSES_ROOT\\" + clsidKey, HRESULT_FROM_WIN32(status));
        return 1;
    }
    return 0;
}
