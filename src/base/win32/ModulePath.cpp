#include "base/win32/ModulePath.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "base/win32/Handle.h"

std::wstring ModulePath(HMODULE module)
{
    // Paths of the \\?\ kind reach 32767 characters; a buffer the name fills
    // completely may have been cut, so it grows until the name fits.
    constexpr DWORD kLongest = 32768;
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= kLongest)
            return {};
        buffer.resize(std::min<size_t>(buffer.size() * 2, kLongest + 1));
    }
}

std::vector<std::wstring> CommandLineArgs()
{
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    const TLocalMemory owner(args);
    if (!args || count < 1)
        return {};
    return std::vector<std::wstring>(args + 1, args + count);
}
