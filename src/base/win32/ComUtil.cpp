#include "base/win32/ComUtil.h"

#include <cwchar>

#include "base/win32/Handle.h"

std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string WideToAnsi(const wchar_t* text, size_t length)
{
    if (length == 0)
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

namespace {

bool IsLoneSurrogate(const wchar_t* text, size_t length, size_t i)
{
    if (IS_HIGH_SURROGATE(text[i]))
        return i + 1 == length || !IS_LOW_SURROGATE(text[i + 1]);
    return IS_LOW_SURROGATE(text[i]) && (i == 0 || !IS_HIGH_SURROGATE(text[i - 1]));
}

} // namespace

std::string CharsOutsideCodePage(const wchar_t* text, size_t length, size_t limit)
{
    // The code page's own answer for the whole text first, so that a text it
    // holds costs one call. UTF-8 as the code page holds every character and
    // takes no question about a default character.
    const UINT codePage = GetACP();
    const bool utf8 = codePage == CP_UTF8;
    BOOL usedDefault = FALSE;
    bool whole = length == 0;
    if (!whole && !utf8)
        whole = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, static_cast<int>(length), nullptr, 0,
                                    nullptr, &usedDefault) > 0 &&
                !usedDefault;
    if (whole)
        return {};
    std::string outside;
    size_t found = 0;
    for (size_t i = 0; i < length && found < limit; ++i) {
        const bool lone = IsLoneSurrogate(text, length, i);
        const size_t units = !lone && IS_HIGH_SURROGATE(text[i]) ? 2 : 1;
        bool held = !lone;
        if (held && !utf8) {
            char bytes[8];
            usedDefault = FALSE;
            held = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text + i, static_cast<int>(units), bytes,
                                       sizeof(bytes), nullptr, &usedDefault) > 0 &&
                   !usedDefault;
        }
        if (!held) {
            std::string character;
            if (lone) {
                // UTF-8's form of the code itself, which a reader names.
                const unsigned code = text[i];
                character = {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                             static_cast<char>(0x80 | (code & 0x3F))};
            } else {
                character = WideToUtf8(std::wstring(text + i, units));
            }
            // UTF-8 finds a whole character only where one begins.
            if (outside.find(character) == std::string::npos) {
                outside += character;
                ++found;
            }
        }
        i += units - 1;
    }
    return outside;
}

TBStr::TBStr(const std::string& text) : TBStr(AnsiToWide(text)) {}

TBStr::TBStr(const std::wstring& text)
{
    FValue = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!FValue)
        throw EOleError(OleErrorText(E_OUTOFMEMORY), E_OUTOFMEMORY);
}

TBStr& TBStr::operator=(TBStr&& other) noexcept
{
    if (this != &other) {
        SysFreeString(FValue);
        FValue = other.Detach();
    }
    return *this;
}

BSTR* TBStr::Out()
{
    SysFreeString(FValue);
    FValue = nullptr;
    return &FValue;
}

BSTR TBStr::Detach()
{
    BSTR value = FValue;
    FValue = nullptr;
    return value;
}

std::string OleErrorText(HRESULT code)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                  nullptr);
    const TLocalMemory owner(buffer);
    std::string text;
    if (length > 0 && buffer) {
        // The general error report puts the full stop back.
        while (length > 0 && (buffer[length - 1] <= L' ' || buffer[length - 1] == L'.'))
            --length;
        text = WideToAnsi(buffer, length);
    }
    if (text.empty())
        text = Format("OLE error %.8x", static_cast<unsigned>(code));
    return text;
}

void OleCheck(HRESULT code)
{
    if (FAILED(code))
        throw EOleError(OleErrorText(code), code);
}

bool IsServerGone(HRESULT code)
{
    static const HRESULT kGone[] = {
        RPC_E_DISCONNECTED,
        RPC_E_SERVER_DIED,
        RPC_E_SERVER_DIED_DNE,
        RPC_E_CONNECTION_TERMINATED,
        CO_E_OBJNOTCONNECTED,
        HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED),
        HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE),
    };
    for (HRESULT gone : kGone)
        if (code == gone)
            return true;
    return false;
}

Microsoft::WRL::ComPtr<ITypeLib> LoadInterfaceTypeLib(REFIID iid)
{
    wchar_t iidText[40] = {};
    if (!StringFromGUID2(iid, iidText, 40))
        return nullptr;
    const std::wstring key = std::wstring(L"Interface\\") + iidText + L"\\TypeLib";
    wchar_t libText[40] = {};
    DWORD size = sizeof(libText);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, libText, &size) != ERROR_SUCCESS)
        return nullptr;
    GUID libId{};
    if (FAILED(CLSIDFromString(libText, &libId)))
        return nullptr;
    // The version is written as hexadecimal "major.minor".
    wchar_t version[32] = L"1.0";
    size = sizeof(version);
    RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Version", RRF_RT_REG_SZ, nullptr, version, &size);
    unsigned major = 1, minor = 0;
    swscanf(version, L"%x.%x", &major, &minor);
    Microsoft::WRL::ComPtr<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(libId, static_cast<WORD>(major), static_cast<WORD>(minor), 0, &lib)))
        return nullptr;
    return lib;
}
