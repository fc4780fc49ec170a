#include "tests/support/win32/LockedKey.h"

#include <sddl.h>

#include <vector>

TLockedKey::TLockedKey(HKEY root, std::wstring key, DWORD denied) : FRoot(root), FKey(std::move(key))
{
    HKEY opened = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(FRoot, FKey.c_str(), 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr, &opened,
                        &disposition) != ERROR_SUCCESS)
        return;
    FMade = disposition == REG_CREATED_NEW_KEY;
    DWORD size = 0;
    RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> own(size);
    PWSTR text = nullptr;
    if (size && RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION, own.data(), &size) == ERROR_SUCCESS &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(own.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        FOwnAccess = text;
        LocalFree(text);
    }
    RegCloseKey(opened);
    wchar_t rights[16];
    swprintf(rights, 16, L"0x%lx", denied);
    FLocked = Secure(std::wstring(L"D:(D;;") + rights + L";;;WD)(A;;KA;;;WD)");
}

TLockedKey::~TLockedKey()
{
    Secure(FOwnAccess.empty() ? L"D:(A;;KA;;;WD)" : FOwnAccess);
    if (FMade)
        RegDeleteTreeW(FRoot, FKey.c_str());
}

bool TLockedKey::Secure(const std::wstring& descriptor)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(FRoot, FKey.c_str(), 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR security = nullptr;
    const bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1,
                                                                           &security, nullptr) &&
                      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security) == ERROR_SUCCESS;
    LocalFree(security);
    RegCloseKey(key);
    return done;
}
