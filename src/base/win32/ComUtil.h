#pragma once
// Helpers at the COM and Win32 edge: text in the system's ANSI code page to and
// from UTF-16, an owning BSTR, and HRESULTs turned into the program's errors.

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "base/SysUtils.h"

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text, size_t length);
inline std::string WideToAnsi(const std::wstring& text) { return WideToAnsi(text.data(), text.size()); }

// Owns one BSTR.
class TBStr {
public:
    TBStr() = default;
    explicit TBStr(const std::string& text);
    ~TBStr() { SysFreeString(FValue); }
    TBStr(TBStr&& other) noexcept : FValue(other.Detach()) {}
    TBStr& operator=(TBStr&& other) noexcept;
    TBStr(const TBStr&) = delete;
    TBStr& operator=(const TBStr&) = delete;

    BSTR Get() const { return FValue; }
    // For an out parameter: frees what is held first.
    BSTR* Out();
    BSTR Detach();
    std::string Ansi() const { return FValue ? WideToAnsi(FValue, SysStringLen(FValue)) : std::string(); }

private:
    BSTR FValue = nullptr;
};

// The system's text for an error code without trailing blanks and full stops,
// or "OLE error %.8x" when the system has none.
std::string OleErrorText(HRESULT code);

// Raises EOleError for a failure code.
void OleCheck(HRESULT code);
