// The real main window of velkor.exe against rigsim.exe: its size, the switch
// bringing the simulated frequency onto the LED fields, real keys, the band
// popup's place, and what a restart brings back.
#include <gtest/gtest.h>

#include <filesystem>

#include "AutomationSupport.h"
#include "base/win32/ComUtil.h"
#include "rig/win32/OmniRigX.h"
#include "tests/support/TempFolder.h"
#include "tests/support/win32/RigSimProcess.h"
#include "tests/support/win32/VelkorProcess.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr COLORREF kFace = RGB(235, 235, 200);

// Points of the main window's client area.
constexpr POINT kSwitch{12, 27};     // the ON/OFF label
constexpr POINT kBandLabel{190, 60}; // the band label, on the panel
// The top bar of the first kilohertz digit: lit for "2", unlit for "-".
constexpr POINT kKHzTopBar{77, 40};
constexpr POINT kOneKHzDigit{111, 53}; // the last kilohertz digit's middle

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetStoredSettings();
        // The program reads its bands file from its current folder.
        std::filesystem::copy_file(std::filesystem::path(VELKOR_SOURCE_DIR) / "velkor.ini", FFolder / "velkor.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        RigSim.Start();
        Control = RigSim.Control();
        Control->SetVfo(0x80); // VFO A/A
        Control->SetFreqA(14200000);
        Control->SetFreq(14200000);
    }
    void TearDown() override { ForgetStoredSettings(); }

    static void Click(HWND window, POINT at)
    {
        const LPARAM point = MAKELPARAM(at.x, at.y);
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(window, WM_LBUTTONUP, 0, point);
    }

    static COLORREF ScreenPixel(HWND window, POINT at)
    {
        RECT r;
        GetWindowRect(window, &r);
        HDC screen = GetDC(nullptr);
        const COLORREF color = GetPixel(screen, r.left + at.x, r.top + at.y);
        ReleaseDC(nullptr, screen);
        return color;
    }

    // A key pressed and released on the keyboard, to the window in front.
    static void PressKey(WORD key, bool control = false)
    {
        std::vector<INPUT> inputs;
        auto add = [&](WORD vk, bool up) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        if (control)
            add(VK_CONTROL, false);
        add(key, false);
        add(key, true);
        if (control)
            add(VK_CONTROL, true);
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }

    // The visible popup menu window, or nullptr.
    static HWND PopupMenuWindow()
    {
        for (HWND window = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); window;
             window = FindWindowExW(nullptr, window, L"#32768", nullptr))
            if (IsWindowVisible(window))
                return window;
        return nullptr;
    }

    TTempFolder FFolder{L"velkor-e2e"};
    TRigSimProcess RigSim;
    ComPtr<IRigSimControl> Control;
};

TEST_F(MainWindowTest, ASwitchClickBringsTheSimulatedFrequencyOntoTheLedFields)
{
    TVelkorProcess velkor(FFolder.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 229);
    EXPECT_EQ(client.bottom, 103);
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(window, kKHzTopBar) == kFace; }, 10000)) << "\"---\" at the start";
    EXPECT_EQ(Calls(Control.Get(), TIface::Rig, RigSlot::GetFreq), 0) << "no poll before the switch";

    Click(window, kSwitch);
    // The rig server is read in the background: the digits may show before
    // its first reading has come.
    EXPECT_TRUE(WaitFor([&] { return Calls(Control.Get(), TIface::Rig, RigSlot::GetFreq) > 0; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(window, kKHzTopBar) == RGB(0, 0, 0); }, 10000))
        << "the frequency's digits are shown";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

TEST_F(MainWindowTest, RealKeysReachTheMenuShortcuts)
{
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TVelkorProcess velkor(FFolder.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }, 5000));

    // F10 arrives as a system key: it opens the rig server's settings. Under
    // load the X server may hand the keyboard over after Wine's foreground:
    // a press that reached no window is pressed again, but only while the
    // window is in front (a second F10 in the stand-in's window would put
    // that in menu mode).
    VARIANT_BOOL visible = VARIANT_FALSE;
    bool opened = false;
    for (int press = 0; press < 3 && !opened && (press == 0 || GetForegroundWindow() == window); ++press) {
        PressKey(VK_F10);
        opened = WaitFor([&] { return Control->GetDialogVisible(&visible) == S_OK && visible; }, 3000);
    }
    EXPECT_TRUE(opened);
    Control->GetDialogVisible(&visible);
    EXPECT_TRUE(WindowsOf(RigSim.ProcessId(), L"#32768", nullptr).empty()) << "no system menu";
    EXPECT_TRUE(WindowsOf(velkor.Id(), L"#32768", nullptr).empty());

    // Ctrl+F4 adds the radio's state to the memory list.
    SetForegroundWindow(window);
    WaitFor([&] { return GetForegroundWindow() == window; }, 5000);
    auto shown = [&] {
        size_t count = 0;
        for (HWND other : WindowsOf(velkor.Id(), nullptr, nullptr))
            count += IsWindowVisible(other) ? 1 : 0;
        return count;
    };
    const size_t before = shown();
    // The X server hands the keyboard over after Wine's foreground, once the
    // stand-in's settings window has let it go: a press before that reaches
    // no window of Velkor's, so it is pressed again until it takes effect.
    bool answered = false;
    for (int press = 0; press < 5 && !answered; ++press) {
        SetForegroundWindow(window);
        WaitFor([&] { return GetForegroundWindow() == window; }, 2000);
        PressKey(VK_F4, true);
        answered = WaitFor([&] { return shown() > before; }, 2000);
    }
    EXPECT_TRUE(answered) << "the memory list answers";
    EXPECT_TRUE(IsWindow(window)) << "Ctrl+F4 does not close the window";
}

// While a rigctld is the rig server, F10 opens Velkor's own rig server dialog
// (the COM rig server's settings window would mean nothing), and no call goes
// out while the switch is off.
TEST_F(MainWindowTest, FTenOpensTheRigServerDialogWhileRigctldIsChosen)
{
    TVelkorProcess velkor(FFolder.Path().wstring(), L"/rigserver:rigctld:127.0.0.1:9");
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == window; }, 5000));

    PressKey(VK_F10);
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] {
            for (HWND other : WindowsOf(velkor.Id(), nullptr, L"Rig server"))
                if (IsWindowVisible(other))
                    dialog = other;
            return dialog != nullptr;
        },
        10000));
    VARIANT_BOOL visible = VARIANT_TRUE;
    EXPECT_EQ(Control->GetDialogVisible(&visible), S_OK);
    EXPECT_FALSE(visible) << "the COM rig server's window stays shut";
    EXPECT_EQ(Calls(Control.Get(), TIface::Rig, RigSlot::GetFreq), 0);
    EXPECT_TRUE(MessageBoxOf(velkor.Id(), L"Velkor") == nullptr) << "nothing to report";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

TEST_F(MainWindowTest, TheBandPopupOpensBelowTheBandLabel)
{
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TVelkorProcess velkor(FFolder.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    // The menus open only once the transceiver has read the rig.
    ASSERT_TRUE(WaitFor([&] { return Calls(Control.Get(), TIface::Rig, RigSlot::GetVfo) >= 8; }, 10000));
    Click(window, kBandLabel);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = PopupMenuWindow()) != nullptr; }, 10000));
    RECT place;
    RECT bar;
    GetWindowRect(window, &place);
    GetWindowRect(menu, &bar);
    EXPECT_EQ(bar.left, place.left + 165);
    EXPECT_EQ(bar.top, place.top + 35 + 19);
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageW(window, WM_CANCELMODE, 0, 0);
}

// Wheel messages over a digit of the real window: each notch moves that
// digit at the radio, Shift ten times as far.
TEST_F(MainWindowTest, TheWheelOverADigitTunesTheRadio)
{
    StoreSetting(L"On_Offlbl_Caption", L"ON");
    TVelkorProcess velkor(FFolder.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    // 14.200.00 painted: the first kilohertz digit's top bar lit, its upper
    // left one unlit (a window not yet painted is black all over).
    ASSERT_TRUE(WaitFor(
        [&] { return ScreenPixel(window, kKHzTopBar) == RGB(0, 0, 0) && ScreenPixel(window, {71, 45}) == kFace; },
        10000));
    RECT place;
    GetWindowRect(window, &place);
    // Wheel messages as the system makes them, to this window alone: input
    // through the desktop would reach the windows of tests running beside.
    auto turn = [&](int notches, bool shift) {
        const WPARAM keys = shift ? MK_SHIFT : 0;
        PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(keys, notches * WHEEL_DELTA),
                     MAKELPARAM(place.left + kOneKHzDigit.x, place.top + kOneKHzDigit.y));
    };
    TOmniRigX rigs;
    auto radioAt = [&](int32_t freq) { return WaitFor([&] { return rigs.Rig()->GetFreq() == freq; }, 10000); };
    // Where a step went missing: the program's report, and what the radio got.
    auto story = [&] {
        const HWND box = MessageBoxOf(velkor.Id(), L"Velkor");
        return (box ? "reported \"" + WideToUtf8(MessageBoxText(box)) + "\"" : std::string("no report")) +
               ", frequency puts " + std::to_string(Calls(Control.Get(), TIface::Rig, RigSlot::PutFreq)) +
               ", the radio at " + std::to_string(rigs.Rig()->GetFreq());
    };
    for (int notch = 0; notch < 3; ++notch)
        turn(1, false);
    EXPECT_TRUE(radioAt(14203000)) << story();
    turn(-1, true);
    EXPECT_TRUE(radioAt(14193000)) << story();
    // The radio's reading shows: the first kilohertz digit a "1", its lower left bar unlit.
    EXPECT_TRUE(WaitFor([&] { return ScreenPixel(window, {71, 59}) == kFace; }, 10000));
    CreateDirectoryW(VELKOR_SCREENSHOT_DIR, nullptr);
    EXPECT_TRUE(SaveScreen(place, VELKOR_SCREENSHOT_DIR L"\\e2e-wheel.bmp"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

TEST_F(MainWindowTest, ARestartBringsBackThePlaceAndTheSwitch)
{
    {
        TVelkorProcess velkor(FFolder.Path().wstring());
        HWND window = velkor.MainWindow();
        ASSERT_TRUE(window);
        SetWindowPos(window, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Click(window, kSwitch);
        ASSERT_TRUE(WaitFor([&] { return Calls(Control.Get(), TIface::Rig, RigSlot::GetFreq) > 0; }, 10000));
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(velkor.WaitForExit(10000), 0u);
    }
    Control->Reset();
    TVelkorProcess velkor(FFolder.Path().wstring());
    HWND window = velkor.MainWindow();
    ASSERT_TRUE(window);
    RECT place;
    GetWindowRect(window, &place);
    EXPECT_EQ(place.left, 200);
    EXPECT_EQ(place.top, 150);
    EXPECT_TRUE(WaitFor([&] { return Calls(Control.Get(), TIface::Rig, RigSlot::GetFreq) > 0; }, 10000))
        << "switched on without a click";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(velkor.WaitForExit(10000), 0u);
}

} // namespace
