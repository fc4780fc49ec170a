#pragma once
// A program file's version resource, as Explorer's properties show it.

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

class TVersionResource {
public:
    // Reads the resource of the file; Found() is false when it has none.
    explicit TVersionResource(const std::wstring& path);
    bool Found() const { return !FData.empty(); }
    // The fixed part's file and product versions, most significant first.
    std::array<WORD, 4> FileVersion() const;
    std::array<WORD, 4> ProductVersion() const;
    DWORD FileType() const;
    // A value of the string table of the resource's first translation.
    std::optional<std::wstring> String(const wchar_t* name) const;

private:
    const VS_FIXEDFILEINFO* Fixed() const;
    std::vector<BYTE> FData;
};
