// A window's placement on the system's registry (the build's own Wine prefix).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32Registry.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/win32/LockedKey.h"
#include "tests/support/win32/SystemRegistry.h"
#include "ui/win32/Win32Host.h"
#include "widgets/FormPlacement.h"

namespace {

constexpr TRegRoot kUser = TRegRoot::CurrentUser;

class FormPlacementWin32Test : public TSystemRegistryTest {};

TEST_F(FormPlacementWin32Test, PlacementGoesToTheSystemsRegistryAndComesBack)
{
    for (int run = 0; run < 2; ++run) {
        THeadlessHost host;
        TApplication app(host);
        auto* form = new TForm(&app);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(run == 0 ? 40 : 0, 30, 229, 103);
        auto* placement = new TFormPlacement(form, Reg);
        placement->SetIniSection("\\Software\\VelkorTests\\WindowPos");
        form->Show();
        EXPECT_EQ(form->Left(), 40);
        form->Close();
        EXPECT_TRUE(host.MessageBoxes().empty());
    }
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\WindowPos", L"NormPos"), L"40,30,269,133");
    EXPECT_EQ(SystemText(L"Software\\VelkorTests\\WindowPos", L"Visible"), L"0");
    // The file key, made on the way and left empty.
    std::unique_ptr<IRegistryKey> fileKey;
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\widgets_win32_tests", TRegAccess::Read, fileKey), TRegStatus::Ok);
    fileKey.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\widgets_win32_tests");
}

// A window's key that exists but may not be opened is passed over: nothing is
// read from it, nothing written, and no error is reported.
TEST_F(FormPlacementWin32Test, AKeyThatMayNotBeOpenedIsPassedOverSilently)
{
    // Nobody may read it, write it or make keys below it.
    TLockedKey locked(HKEY_CURRENT_USER, L"Software\\VelkorTests\\Locked", 0x3F);
    ASSERT_TRUE(locked.Locked());
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(Reg.OpenKey(kUser, "Software\\VelkorTests\\Locked", TRegAccess::Read, key), TRegStatus::Denied);
    EXPECT_EQ(Reg.CreateKey(kUser, "Software\\VelkorTests\\Locked"), TRegStatus::Ok) << "it is there";
    EXPECT_EQ(Reg.CreateKey(kUser, "Software\\VelkorTests\\Missing"), TRegStatus::Ok);

    {
        THeadlessHost host;
        TApplication app(host);
        auto* form = new TForm(&app);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(40, 30, 229, 103);
        auto* placement = new TFormPlacement(form, Reg);
        placement->SetIniSection("\\Software\\VelkorTests\\Locked");
        form->Show();
        EXPECT_EQ(form->Left(), 40) << "the design's place";
        form->Close();
        EXPECT_TRUE(host.Terminated());
        for (const auto& box : host.MessageBoxes())
            ADD_FAILURE() << "reported: " << box.Text;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\widgets_win32_tests");
}

// A form on a real window, as the program's main window is.
class PlacedWin32FormTest : public ::testing::Test {
protected:
    PlacedWin32FormTest()
    {
        Form = new TForm(&App);
        Form->SetBorderStyle(TFormBorderStyle::bsNone);
        Form->SetBounds(120, 80, 229, 103);
        Form->Show();
        App.ProcessMessages();
    }

    TWin32Host Host;
    TApplication App{Host};
    TForm* Form;
};

// Where a maximised window goes: the form's place, the system's while it is
// negative; a borderless window's restore puts it in the screen's corner,
// whatever maximised place its stored placement holds.
TEST_F(PlacedWin32FormTest, AMaximisedWindowGoesWhereItsFormSays)
{
    TMemoryRegistry registry;
    registry.SetString(TRegRoot::CurrentUser, "Software\\VelkorTests\\Max", "MinMaxPos", "-1,-1,50,60");
    registry.SetString(TRegRoot::CurrentUser, "Software\\VelkorTests\\Max", "NormPos", "100,90,329,193");
    auto* restored = new TForm(&App);
    restored->SetBorderStyle(TFormBorderStyle::bsNone);
    restored->SetBounds(10, 10, 229, 103);
    auto* placement = new TFormPlacement(restored, registry);
    placement->SetIniSection("\\Software\\VelkorTests\\Max");
    restored->Show();
    placement->SetActive(false); // nothing saved when the form goes
    ASSERT_EQ(restored->Left(), 100) << "restored";

    const struct {
        TForm* Form;
        TPoint Place; // the form's maximised place, set when not left as it is
        bool Set;
        TPoint Expected;
    } cases[] = {
        {restored, {}, false, {0, 0}},
        {Form, {30, 40}, true, {30, 40}},
        {Form, {-1, -1}, true, {0, 0}}, // the system's: a window without a frame fills the screen from its corner
    };
    for (const auto& c : cases) {
        if (c.Set)
            c.Form->SetMaxPosition(c.Place);
        HWND window = TWin32Host::WindowOf(*c.Form);
        c.Form->SetWindowState(TWindowState::wsMaximized);
        RECT r;
        GetWindowRect(window, &r);
        EXPECT_EQ((TPoint{r.left, r.top}), c.Expected) << c.Place.X << "," << c.Place.Y;
        c.Form->SetWindowState(TWindowState::wsNormal);
    }
}

} // namespace
