#pragma once
// The tests' own key in the system's registry (the build's Wine prefix), and
// a value read back without the program's registry seam.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/Win32Registry.h"

// HKCU\Software\VelkorTests, removed before and after each test.
class TSystemRegistryTest : public ::testing::Test {
protected:
    TSystemRegistryTest() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelkorTests"); }
    ~TSystemRegistryTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VelkorTests"); }

    // The text value as the system holds it; "<missing>" when there is none.
    static std::wstring SystemText(const wchar_t* key, const wchar_t* name)
    {
        wchar_t buffer[256] = {};
        DWORD size = sizeof(buffer);
        if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
            return L"<missing>";
        return buffer;
    }

    TWin32Registry Reg;
};
