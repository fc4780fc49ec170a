#pragma once
// Helpers at the COM and Win32 edge: text in the system's ANSI code page to and
// from UTF-16, file and folder paths in UTF-8 to and from UTF-16, the
// characters a text holds that the code page cannot, an owning BSTR, HRESULTs turned into the program's errors, and
// the codes that say a peer process has gone.

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "base/SysUtils.h"

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text, size_t length);
inline std::string WideToAnsi(const std::wstring& text) { return WideToAnsi(text.data(), text.size()); }

// File and folder paths cross the program in UTF-8, never through the ANSI
// code page, which may not hold every character of a name.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The characters of text that the ANSI code page cannot hold (WideToAnsi
// would put another one in their place), in UTF-8, each once, in the order
// they first come; at most limit of them. Empty when it holds them all. A
// lone surrogate, no character of any code page, comes as UTF-8's form of its
// code.
std::string CharsOutsideCodePage(const wchar_t* text, size_t length, size_t limit = 16);
inline std::string CharsOutsideCodePage(const std::wstring& text, size_t limit = 16)
{
    return CharsOutsideCodePage(text.data(), text.size(), limit);
}

// Owns one BSTR. Failing to allocate raises EOleError (E_OUTOFMEMORY).
class TBStr {
public:
    TBStr() = default;
    // From the program's ANSI text.
    explicit TBStr(const std::string& text);
    explicit TBStr(const std::wstring& text);
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
    std::wstring Wide() const { return BStrText(FValue); }

    // The text of a BSTR the caller does not own; a null BSTR is empty.
    static std::wstring BStrText(BSTR value) { return value ? std::wstring(value, SysStringLen(value)) : std::wstring(); }

private:
    BSTR FValue = nullptr;
};

// The system's text for an error code without trailing blanks and full stops,
// or "OLE error %.8x" when the system has none.
std::string OleErrorText(HRESULT code);

// Raises EOleError for a failure code.
void OleCheck(HRESULT code);

// Codes of a cross-process call whose peer has gone: its process ended or it
// disconnected the object. Then the connection is useless and is dropped.
bool IsServerGone(HRESULT code);

// The registered type library that describes iid, as COM's marshaller finds
// it (Interface\{iid}\TypeLib, locale 0); null when there is none.
Microsoft::WRL::ComPtr<ITypeLib> LoadInterfaceTypeLib(REFIID iid);
