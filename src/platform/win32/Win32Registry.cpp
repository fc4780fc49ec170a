#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include <vector>

#include "base/win32/ComUtil.h"
#include "base/win32/Handle.h"
#include "base/win32/ModulePath.h"

namespace {

HKEY RootKey(TRegRoot root)
{
    switch (root) {
    case TRegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case TRegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case TRegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case TRegRoot::Users:
        return HKEY_USERS;
    case TRegRoot::CurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case TRegRoot::DynData:
        return HKEY_DYN_DATA;
    }
    return HKEY_CURRENT_USER;
}

TRegStatus StatusOf(LONG error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return TRegStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return TRegStatus::NotFound;
    case ERROR_ACCESS_DENIED:
        return TRegStatus::Denied;
    default:
        return TRegStatus::Failed;
    }
}

// One open key of the seam.
class TWin32Key : public IRegistryKey {
public:
    explicit TWin32Key(TRegKeyHandle key) : FKey(std::move(key)) {}

    TRegStatus ReadValue(const std::string& name, TRegValue& value) override
    {
        return Read(name, value, [](const wchar_t* text, size_t length) { return WideToAnsi(text, length); });
    }

    TRegStatus WriteString(const std::string& name, const std::string& text) override
    {
        return Write(name, AnsiToWide(text));
    }

    TRegStatus ReadValueUtf8(const std::string& name, TRegValue& value) override
    {
        return Read(name, value,
                    [](const wchar_t* text, size_t length) { return WideToUtf8(std::wstring(text, length)); });
    }

    TRegStatus WriteStringUtf8(const std::string& name, const std::string& text) override
    {
        return Write(name, Utf8ToWide(text));
    }

    TRegStatus DeleteValue(const std::string& name) override
    {
        return StatusOf(RegDeleteValueW(FKey.Get(), AnsiToWide(name).c_str()));
    }

private:
    // The value as stored, its text (REG_SZ, REG_EXPAND_SZ) through toText.
    template <class TToText>
    TRegStatus Read(const std::string& name, TRegValue& value, TToText toText)
    {
        const std::wstring wideName = AnsiToWide(name);
        std::vector<BYTE> data;
        DWORD type = REG_NONE;
        LONG error = ERROR_MORE_DATA;
        // The value may grow between asking its size and reading it.
        while (error == ERROR_MORE_DATA) {
            DWORD size = 0;
            error = RegQueryValueExW(FKey.Get(), wideName.c_str(), nullptr, &type, nullptr, &size);
            if (error != ERROR_SUCCESS)
                break;
            data.resize(size);
            error = RegQueryValueExW(FKey.Get(), wideName.c_str(), nullptr, &type, data.data(), &size);
            data.resize(size);
        }
        if (error != ERROR_SUCCESS)
            return StatusOf(error);
        value.Type = type;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            // Stored text need not end in NUL; it ends at the first one.
            const auto* text = reinterpret_cast<const wchar_t*>(data.data());
            size_t length = 0;
            const size_t capacity = data.size() / sizeof(wchar_t);
            while (length < capacity && text[length] != L'\0')
                ++length;
            value.Data = toText(text, length);
        } else {
            value.Data.assign(data.begin(), data.end());
        }
        return TRegStatus::Ok;
    }

    TRegStatus Write(const std::string& name, const std::wstring& wide)
    {
        const auto size = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
        return StatusOf(RegSetValueExW(FKey.Get(), AnsiToWide(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(wide.c_str()), size));
    }

    TRegKeyHandle FKey;
};

bool HasSubkeys(TRegRoot root, const std::string& path)
{
    TRegKeyHandle key;
    if (RegOpenKeyExW(RootKey(root), AnsiToWide(path).c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0;
    const LONG error = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
    return error == ERROR_SUCCESS && subkeys > 0;
}

} // namespace

TRegStatus TWin32Registry::OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                                   std::unique_ptr<IRegistryKey>& key)
{
    key.reset();
    const REGSAM rights = access == TRegAccess::Read ? KEY_READ : KEY_READ | KEY_WRITE;
    TRegKeyHandle opened;
    const LONG error =
        RegOpenKeyExW(RootKey(root), AnsiToWide(RegRelativePath(path)).c_str(), 0, rights, opened.Out());
    if (error == ERROR_SUCCESS)
        key = std::make_unique<TWin32Key>(std::move(opened));
    return StatusOf(error);
}

TRegStatus TWin32Registry::CreateKey(TRegRoot root, const std::string& path)
{
    TRegKeyHandle created;
    // The least access that still tells an existing key from one that cannot be made.
    const LONG error = RegCreateKeyExW(RootKey(root), AnsiToWide(RegRelativePath(path)).c_str(), 0, nullptr,
                                       REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE, nullptr, created.Out(), nullptr);
    if (error == ERROR_SUCCESS)
        return TRegStatus::Ok;
    if (error != ERROR_ACCESS_DENIED)
        return TRegStatus::Failed;
    // A key that exists but may not be opened is there all the same: opening
    // it is refused too, where a missing one is not found.
    TRegKeyHandle probe;
    const LONG opened = RegOpenKeyExW(RootKey(root), AnsiToWide(RegRelativePath(path)).c_str(), 0, KEY_QUERY_VALUE,
                                      probe.Out());
    return opened == ERROR_ACCESS_DENIED ? TRegStatus::Ok : TRegStatus::Denied;
}

TRegStatus TWin32Registry::DeleteKey(TRegRoot root, const std::string& path)
{
    const std::string relative = RegRelativePath(path);
    if (relative.empty())
        return TRegStatus::Failed;
    // One key only: the system refuses a key that still has subkeys.
    const LONG error = RegDeleteKeyW(RootKey(root), AnsiToWide(relative).c_str());
    return error == ERROR_ACCESS_DENIED && HasSubkeys(root, relative) ? TRegStatus::Failed : StatusOf(error);
}

std::string TWin32Registry::ProgramBaseName()
{
    const std::wstring path = ModulePath();
    return path.empty() ? std::string() : FileBaseName(WideToAnsi(path));
}
