// Calls posted to the Win32 host's main loop: they wait for the handler that
// posted them and every loop it runs, a loop of the system's own included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Forms.h"
#include "ui/win32/Win32Host.h"

namespace {

TEST(Win32MainLoop, APostedCallRunsOnlyOnceTheHandlerAndItsLoopsHaveReturned)
{
    TWin32Host host;
    TApplication app(host);
    std::vector<std::string> order;
    auto* timer = new TTimer(&app);
    timer->SetInterval(10);
    timer->OnTimer = [&](TObject*) {
        timer->SetEnabled(false);
        host.PostToMainLoop([&] {
            order.push_back("posted");
            app.Terminate();
        });
        // A wait that serves messages, then a loop as a menu or a message box
        // runs it: neither runs the call, nor ends.
        app.ProcessMessagesFor(50);
        MSG msg;
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 50)
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        order.push_back("handler");
    };
    // However this goes, the test ends.
    auto* patience = new TTimer(&app);
    patience->SetInterval(10000);
    patience->OnTimer = [&](TObject*) { app.Terminate(); };
    app.Run();
    EXPECT_EQ(order, (std::vector<std::string>{"handler", "posted"}));
}

TEST(Win32MainLoop, ACallPostedBeforeTheLoopRunsWhenItStarts)
{
    TWin32Host host;
    TApplication app(host);
    int calls = 0;
    host.PostToMainLoop([&] {
        ++calls;
        host.PostToMainLoop([&] {
            ++calls;
            app.Terminate();
        });
    });
    auto* patience = new TTimer(&app);
    patience->SetInterval(10000);
    patience->OnTimer = [&](TObject*) { app.Terminate(); };
    app.Run();
    EXPECT_EQ(calls, 2) << "a call posted by a posted call runs too";
}

} // namespace
