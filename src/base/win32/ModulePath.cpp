#include "base/win32/ModulePath.h"

#include <algorithm>
#include <vector>

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
