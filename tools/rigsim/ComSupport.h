#pragma once
// Small helpers for the stand-in's COM edges.

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <utility>

// Owns one BSTR.
class TBstr {
public:
    TBstr() = default;
    explicit TBstr(const std::wstring& text) : FValue(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~TBstr() { SysFreeString(FValue); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;

    BSTR Get() const { return FValue; }
    BSTR* Out() { SysFreeString(FValue); FValue = nullptr; return &FValue; }
    // Hands the string to a caller that frees it.
    BSTR Detach() { return std::exchange(FValue, nullptr); }

private:
    BSTR FValue = nullptr;
};

// Runs the body of a COM method or window procedure so that no C++ exception
// leaves it.
template <class TBody>
HRESULT Guard(TBody&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

inline std::wstring FromBstr(BSTR value)
{
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}
