// The registry seam on the system's registry (the build's own Wine prefix).
#include <windows.h>

#include <gtest/gtest.h>

#include "base/SysUtils.h"
#include "platform/win32/Win32Registry.h"
#include "tests/support/win32/LockedKey.h"
#include "tests/support/win32/SystemRegistry.h"

namespace {

constexpr TRegRoot kUser = TRegRoot::CurrentUser;

class Win32RegistryTest : public TSystemRegistryTest {};

TEST_F(Win32RegistryTest, TextWrittenReadsBackAndOtherTypesAreReportedAsSuch)
{
    ASSERT_EQ(Reg.CreateKey(kUser, "\\Software\\VelkorTests\\Values"), TRegStatus::Ok);
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\Values", TRegAccess::Full, key), TRegStatus::Ok);
    WriteRegString(*key, "NormPos", "370,113,603,220");
    WriteRegString(*key, "Empty", "");
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\Values", L"NormPos"), L"370,113,603,220");

    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VelkorTests\\Values", 0, KEY_SET_VALUE, &raw),
              ERROR_SUCCESS);
    const DWORD number = 96;
    RegSetValueExW(raw, L"PixelsPerInch", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    // Text stored without its closing NUL.
    RegSetValueExW(raw, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ON"), 2 * sizeof(wchar_t));
    RegCloseKey(raw);

    struct TCase {
        const char* Name;
        TRegStatus Status;
        TRegValue Value;
    };
    const std::vector<TCase> cases = {
        {"normpos", TRegStatus::Ok, {RegType::kSz, "370,113,603,220"}},
        {"Empty", TRegStatus::Ok, {RegType::kSz, ""}},
        {"Bare", TRegStatus::Ok, {RegType::kSz, "ON"}},
        {"PixelsPerInch", TRegStatus::Ok, {RegType::kDWord, std::string("\x60\0\0\0", 4)}},
        {"Missing", TRegStatus::NotFound, {}},
    };
    for (const TCase& c : cases) {
        TRegValue value;
        EXPECT_EQ(key->ReadValue(c.Name, value), c.Status) << c.Name;
        if (c.Status == TRegStatus::Ok) {
            EXPECT_EQ(value, c.Value) << c.Name;
        }
    }
    std::string text;
    try {
        ReadRegString(*key, "PixelsPerInch", text);
        FAIL() << "no error";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'PixelsPerInch'");
    }

    EXPECT_EQ(key->DeleteValue("Empty"), TRegStatus::Ok);
    EXPECT_EQ(key->DeleteValue("Empty"), TRegStatus::NotFound);
    std::unique_ptr<IRegistryKey> readOnly;
    ASSERT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\Values", TRegAccess::Read, readOnly), TRegStatus::Ok);
    EXPECT_NE(readOnly->WriteString("NormPos", "0,0,0,0"), TRegStatus::Ok);
}

// A path crosses as UTF-8, whatever the ANSI code page holds; one the code
// page holds is stored exactly as its ANSI text would be.
TEST_F(Win32RegistryTest, PathsCrossInUtf8AndOneTheCodePageHoldsIsStoredAsAnsiTextWouldBe)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test session's ANSI code page (LANG, LC_ALL) must be 1252";
    ASSERT_EQ(Reg.CreateKey(kUser, "Software\\VelkorTests\\Paths"), TRegStatus::Ok);
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\Paths", TRegAccess::Full, key), TRegStatus::Ok);
    ASSERT_EQ(key->WriteStringUtf8("Polish", "C:\\Users\\Micha\xC5\x82"), TRegStatus::Ok);
    ASSERT_EQ(key->WriteString("Ansi", "C:\\Jos\xE9"), TRegStatus::Ok);
    ASSERT_EQ(key->WriteStringUtf8("Utf8", "C:\\Jos\xC3\xA9"), TRegStatus::Ok);
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\Paths", L"Polish"), L"C:\\Users\\Micha\u0142");
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\Paths", L"Ansi"), L"C:\\Jos\u00E9");
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\Paths", L"Utf8"), L"C:\\Jos\u00E9");
    std::string text;
    ASSERT_TRUE(ReadRegStringUtf8(*key, "Polish", text));
    EXPECT_EQ(text, "C:\\Users\\Micha\xC5\x82");
    ASSERT_TRUE(ReadRegStringUtf8(*key, "Ansi", text));
    EXPECT_EQ(text, "C:\\Jos\xC3\xA9");
}

TEST_F(Win32RegistryTest, KeysAreMadeOpenedAndRemovedOneAtATime)
{
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\A", TRegAccess::Read, key), TRegStatus::NotFound);
    ASSERT_EQ(Reg.CreateKey(kUser, "Software\\VelkorTests\\A\\B\\C"), TRegStatus::Ok);
    ASSERT_EQ(Reg.CreateKey(kUser, "Software\\VelkorTests\\AB"), TRegStatus::Ok);
    EXPECT_EQ(Reg.OpenKey(kUser, "software\\velkortests\\a\\b", TRegAccess::Read, key), TRegStatus::Ok);
    key.reset();
    // A key with subkeys stays: they may be another program's.
    EXPECT_EQ(Reg.DeleteKey(kUser, "Software\\VelkorTests\\A"), TRegStatus::Failed);
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\A\\B\\C", TRegAccess::Read, key), TRegStatus::Ok);
    key.reset();
    EXPECT_EQ(Reg.DeleteKey(kUser, "Software\\VelkorTests\\A\\B\\C"), TRegStatus::Ok);
    EXPECT_EQ(Reg.DeleteKey(kUser, "Software\\VelkorTests\\A\\B"), TRegStatus::Ok);
    EXPECT_EQ(Reg.DeleteKey(kUser, "Software\\VelkorTests\\A"), TRegStatus::Ok);
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\A", TRegAccess::Read, key), TRegStatus::NotFound);
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\AB", TRegAccess::Read, key), TRegStatus::Ok);
    EXPECT_EQ(Reg.DeleteKey(kUser, "Software\\VelkorTests\\A"), TRegStatus::NotFound);
    EXPECT_EQ(Reg.DeleteKey(kUser, "\\"), TRegStatus::Failed);
    EXPECT_EQ(Reg.ProgramBaseName(), "platform_win32_tests");
}

} // namespace
