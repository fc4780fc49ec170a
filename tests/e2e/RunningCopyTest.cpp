// The running copy's answer to another start: it comes to the front until
// its close is allowed, and from then on says it is ending, so that a start
// made while it closes waits for it and runs instead of ending with it.
#include <gtest/gtest.h>

#include "base/win32/Handle.h"
#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"
#include "velkor/RunningCopy.h"

namespace {

HWND OwnRunningCopyWindow()
{
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, TRunningCopyWindow::kWindowClass, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, TRunningCopyWindow::kWindowClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}

TEST(RunningCopyWindow, AStartMadeOnceTheCloseIsAllowedIsToldTheCopyIsEnding)
{
    TWin32Host host;
    TApplication app(host);
    TWindowHandle main(CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(main);
    int asked = 0;
    TRunningCopyWindow copy(app, [&] {
        ++asked;
        return main.Get();
    });
    HWND window = OwnRunningCopyWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(SendMessageW(window, TRunningCopyWindow::kComeForward, 0, 0), 1) << "while it runs it comes forward";
    app.Terminate();
    EXPECT_EQ(SendMessageW(window, TRunningCopyWindow::kComeForward, 0, 0), 0) << "closing, it is ending";
    EXPECT_EQ(asked, 1) << "the main window is not asked for once the close is allowed";
}

} // namespace
