#include "VersionResource.h"

#include <cwchar>

TVersionResource::TVersionResource(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return;
    FData.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, FData.data()))
        FData.clear();
}

const VS_FIXEDFILEINFO* TVersionResource::Fixed() const
{
    void* block = nullptr;
    UINT length = 0;
    if (!Found() || !VerQueryValueW(FData.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(block);
}

std::array<WORD, 4> TVersionResource::FileVersion() const
{
    const VS_FIXEDFILEINFO* fixed = Fixed();
    if (!fixed)
        return {};
    return {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
            LOWORD(fixed->dwFileVersionLS)};
}

std::array<WORD, 4> TVersionResource::ProductVersion() const
{
    const VS_FIXEDFILEINFO* fixed = Fixed();
    if (!fixed)
        return {};
    return {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
            HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
}

DWORD TVersionResource::FileType() const
{
    const VS_FIXEDFILEINFO* fixed = Fixed();
    return fixed ? fixed->dwFileType : 0;
}

std::optional<std::wstring> TVersionResource::String(const wchar_t* name) const
{
    struct TTranslation {
        WORD Language;
        WORD CodePage;
    };
    void* block = nullptr;
    UINT length = 0;
    if (!Found() || !VerQueryValueW(FData.data(), L"\\VarFileInfo\\Translation", &block, &length) ||
        length < sizeof(TTranslation))
        return std::nullopt;
    const auto* translation = static_cast<const TTranslation*>(block);
    wchar_t query[128] = {};
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->Language, translation->CodePage, name);
    if (!VerQueryValueW(FData.data(), query, &block, &length))
        return std::nullopt;
    std::wstring text(static_cast<const wchar_t*>(block), length);
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}
