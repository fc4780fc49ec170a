#include "base/win32/ComUtil.h"

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

TBStr::TBStr(const std::string& text)
{
    std::wstring wide = AnsiToWide(text);
    FValue = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
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
    std::string text;
    if (length > 0 && buffer) {
        // The general error report puts the full stop back.
        while (length > 0 && (buffer[length - 1] <= L' ' || buffer[length - 1] == L'.'))
            --length;
        text = WideToAnsi(buffer, length);
    }
    LocalFree(buffer);
    if (text.empty())
        text = Format("OLE error %.8x", static_cast<unsigned>(code));
    return text;
}

void OleCheck(HRESULT code)
{
    if (FAILED(code))
        throw EOleError(OleErrorText(code), code);
}
