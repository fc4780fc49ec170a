// velkor.exe's memory list from end to end: "VFO->M" against rigsim.exe, a
// caption typed into the grid's edit box, the program closed with "Yes" to
// the question, and the memory file in the folder the program ran in.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "AutomationSupport.h"
#include "RigSim.h"
#include "rig/RigServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/VelkorProcess.h"

using Microsoft::WRL::ComPtr;

namespace {

// The first top-level window of a process with this class and caption.
HWND WindowOf(DWORD process, const wchar_t* windowClass, const wchar_t* caption)
{
    const std::vector<HWND> windows = WindowsOf(process, windowClass, caption);
    return windows.empty() ? nullptr : windows.front();
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256]{};
    SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string RegText(const wchar_t* key, const wchar_t* name)
{
    char value[256]{};
    DWORD size = sizeof(value) - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, std::filesystem::path(key).string().c_str(),
                     std::filesystem::path(name).string().c_str(), RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return "(none)";
    return value;
}

class MemoryListExeTest : public ::testing::Test {
protected:
    MemoryListExeTest()
    {
        // A first start, switched on: the program polls from the start.
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
        RegSetKeyValueW(HKEY_CURRENT_USER, kWindowPosKey, L"On_Offlbl_Caption", REG_SZ, L"ON",
                        sizeof(L"ON"));
    }
    ~MemoryListExeTest() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
    }

    TTempFolder Dir{"velkor-e2e-memories"};
};

TEST_F(MemoryListExeTest, VfoToMemoryATypedCaptionAndYesLeaveTheMemoryFileWhereTheProgramRan)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    control->SetVfo(RigParams::VFOAA);
    control->SetFreqA(14250000);
    control->SetFreqB(7050000);
    control->SetMode(RigParams::SSB_U);
    TVelkorProcess velkor(Dir.Path().wstring());

    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = WindowOf(velkor.Id(), nullptr, kMainCaption)) != nullptr; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetVfo) >= 8; }, 10000))
        << "two whole poll ticks";

    // "VFO->M": a click on its label.
    const LPARAM vfoToMemory = MAKELPARAM(83 + 20, 21 + 6);
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, vfoToMemory);
    PostMessageW(main, WM_LBUTTONUP, 0, vfoToMemory);
    HWND list = nullptr;
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            list = WindowOf(velkor.Id(), nullptr, L"Memories");
            box = list ? FindWindowExW(list, nullptr, L"Edit", nullptr) : nullptr;
            return box && IsWindowVisible(list);
        },
        10000))
        << "the memory list shows with its edit box";
    EXPECT_EQ(TextOf(box), L"New freq") << "ready to be typed over";

    for (char c : std::string("Calling 20 m"))
        PostMessageW(box, WM_CHAR, static_cast<unsigned char>(c), 1);
    ASSERT_TRUE(WaitFor([&] { return TextOf(box) == L"Calling 20 m"; }, 10000));
    RECT shot{};
    RECT listRect{};
    GetWindowRect(main, &shot);
    GetWindowRect(list, &listRect);
    UnionRect(&shot, &shot, &listRect);
    CreateDirectoryW(VELKOR_SCREENSHOT_DIR, nullptr);
    EXPECT_TRUE(SaveScreen(shot, VELKOR_SCREENSHOT_DIR L"\\e2e-memories.bmp"));

    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = WindowOf(velkor.Id(), L"#32770", L"Confirm")) != nullptr; }, 10000))
        << "the closing question";
    EXPECT_FALSE(std::filesystem::exists(Dir / "velkor.mem")) << "nothing saved before the answer";
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);

    EXPECT_EQ(Dir.Read("velkor.mem"), "Caption\tMode\tVFO A\tVFO B\t\r\n"
                    "Calling 20 m\tUSB\t14250000\t-1\t\r\n");
    EXPECT_FALSE(std::filesystem::exists(Dir / "velkor.mem.tmp"));
    EXPECT_EQ(RegText(kMemoryWinPosKey, L"Visible"), "1") << "open at the end, placement kept";
}

// A read-only velkor.mem.bak (as a copy from a CD or a backup tool leaves
// it) at the closing question: the second question names it and what to do,
// "No" keeps the program running, and once the mark is cleared "Yes" saves.
TEST_F(MemoryListExeTest, AReadOnlyBackupAtTheCloseIsNamedAndNoKeepsTheProgramRunning)
{
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    control->SetVfo(RigParams::VFOAA);
    control->SetFreqA(14250000);
    control->SetMode(RigParams::SSB_U);
    const std::string old = "Caption\tMode\tVFO A\tVFO B\t\r\nHome\tDIGI\t7.074.000\t\t\r\n";
    Dir.Write("velkor.mem", old);
    Dir.Write("velkor.mem.bak", "older");
    const std::wstring backup = (Dir / "velkor.mem.bak").wstring();
    ASSERT_TRUE(SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_READONLY));
    TVelkorProcess velkor(Dir.Path().wstring());

    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = WindowOf(velkor.Id(), nullptr, kMainCaption)) != nullptr; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetVfo) >= 8; }, 10000));
    const LPARAM vfoToMemory = MAKELPARAM(83 + 20, 21 + 6);
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, vfoToMemory);
    PostMessageW(main, WM_LBUTTONUP, 0, vfoToMemory);
    ASSERT_TRUE(WaitFor([&] { return WindowOf(velkor.Id(), nullptr, L"Memories") != nullptr; }, 10000));

    auto question = [&](const std::wstring& start) {
        HWND found = nullptr;
        WaitFor(
            [&] {
                found = MessageBoxOf(velkor.Id(), L"Confirm");
                return found && MessageBoxText(found).rfind(start, 0) == 0;
            },
            10000);
        return found && MessageBoxText(found).rfind(start, 0) == 0 ? found : nullptr;
    };
    const std::wstring save = L"Do you want to save memory settings changes?";
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND box = question(save);
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, IDYES);
    box = question(L"The memory list could not be saved as velkor.mem.");
    ASSERT_NE(box, nullptr);
    std::wstring text = MessageBoxText(box);
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    EXPECT_EQ(text, L"The memory list could not be saved as velkor.mem.\n\nCannot create file velkor.mem.bak: it is "
                    L"read-only. Clear its read-only attribute (in the file's Properties) or move it to another "
                    L"folder to keep it, then save again.\n\nClose Velkor without saving it? The changes to the "
                    L"memory list are then lost; \"No\" keeps Velkor running.");
    EXPECT_EQ(MessageBoxDefaultButton(box), IDNO);
    AnswerMessageBox(box, IDNO);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));

    // Still running, nothing written: the next close asks again.
    EXPECT_EQ(Dir.Read("velkor.mem"), old);
    EXPECT_EQ(Dir.Read("velkor.mem.bak"), "older");
    ASSERT_TRUE(SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL));
    PostMessageW(main, WM_CLOSE, 0, 0);
    box = question(save);
    ASSERT_NE(box, nullptr) << "the program kept running";
    AnswerMessageBox(box, IDYES);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
    EXPECT_EQ(Dir.Read("velkor.mem"), old + "New freq\tUSB\t14250000\t-1\t\r\n");
    EXPECT_EQ(Dir.Read("velkor.mem.bak"), old);
}

// A caption with a character the memory file's code page (1252) cannot hold
// is refused with a box that names it; the edit stays open as typed, and the
// file never gets the caption with another character in its place.
TEST_F(MemoryListExeTest, ACaptionTheCodePageCannotHoldIsRefusedAndNeverSavedDamaged)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test session's ANSI code page (LANG, LC_ALL) must be 1252";
    TRigSimProcess rigSim;
    rigSim.Start();
    ComPtr<IRigSimControl> control = rigSim.Control();
    control->SetVfo(RigParams::VFOAA);
    control->SetFreqA(7074000);
    control->SetMode(RigParams::SSB_U);
    TVelkorProcess velkor(Dir.Path().wstring());
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = WindowOf(velkor.Id(), nullptr, kMainCaption)) != nullptr; }, 10000));
    ASSERT_TRUE(WaitFor([&] { return Calls(control.Get(), TIface::Rig, RigSlot::GetVfo) >= 8; }, 10000));
    const LPARAM vfoToMemory = MAKELPARAM(83 + 20, 21 + 6);
    PostMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, vfoToMemory);
    PostMessageW(main, WM_LBUTTONUP, 0, vfoToMemory);
    HWND list = nullptr;
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            list = WindowOf(velkor.Id(), nullptr, L"Memories");
            box = list ? FindWindowExW(list, nullptr, L"Edit", nullptr) : nullptr;
            return box && IsWindowVisible(list) && TextOf(box) == L"New freq";
        },
        10000));

    for (wchar_t c : std::wstring(L"Micha\u0142"))
        PostMessageW(box, WM_CHAR, c, 1);
    ASSERT_TRUE(WaitFor([&] { return TextOf(box) == L"Micha\u0142"; }, 10000));
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
    HWND refusal = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (refusal = MessageBoxOf(velkor.Id(), L"Memories")) != nullptr; }, 10000))
        << "no refusal";
    wchar_t message[1024] = {};
    GetDlgItemTextW(refusal, 0xFFFF, message, 1024);
    EXPECT_EQ(std::wstring(message),
              L"This text cannot be stored: the memory file is saved in the system's code page, which has no "
              L"\"\u0142\" (U+0142).\n\nChange it, or press Esc to put back what the cell held.");
    AnswerMessageBox(refusal, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(refusal); }, 10000));
    EXPECT_EQ(TextOf(box), L"Micha\u0142") << "the edit stays open as typed";
    EXPECT_TRUE(IsWindowVisible(box));

    // Closing asks the edit to end once more, then whether to save: the list
    // is saved with what the cell held, never with "Michal" or "Micha?".
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return (refusal = MessageBoxOf(velkor.Id(), L"Memories")) != nullptr; }, 10000));
    AnswerMessageBox(refusal, IDOK);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = WindowOf(velkor.Id(), L"#32770", L"Confirm")) != nullptr; }, 10000));
    AnswerMessageBox(question, IDYES);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
    EXPECT_EQ(Dir.Read("velkor.mem"), "Caption\tMode\tVFO A\tVFO B\t\r\n"
                                      "New freq\tUSB\t7074000\t-1\t\r\n");
}

} // namespace
