#pragma once
// One Velkor per logon session: two copies would both poll the rig and both
// write velkor.mem. The copy that runs holds a mark in the session's
// namespace and answers other starts through a message-only window; an
// operator's start that finds it asks it to the front and ends. A start by
// COM always runs (COM found no class object), and a registration start
// neither takes nor asks anything.

#include <windows.h>

#include <functional>
#include <memory>

#include "automation/StartMode.h"
#include "base/win32/WindowClass.h"

class TApplication;

// The session's mark, held for the life of the copy that took it.
class TSessionMark {
public:
    TSessionMark();
    ~TSessionMark();
    TSessionMark(const TSessionMark&) = delete;
    TSessionMark& operator=(const TSessionMark&) = delete;

    bool Held() const { return FHeld; }
    // Waits up to timeout for the copy holding it to end; true once held.
    bool Take(DWORD timeout);

private:
    TKernelHandle FMutex;
    bool FHeld = false;
};

// Before anything is written, for a start that runs (standalone or by COM):
// the mark for this start, or nullptr when this is an operator's start that
// another copy answered (it came to the front and this start is to end). A
// copy that is still starting or ending is waited for; one that never
// answers (hung, or showing its start error) is left alone, and this start
// ends all the same. Raises nothing.
std::unique_ptr<TSessionMark> EnterSession(TStartMode mode);

// The running copy's side: another start's request calls comeForward, which
// answers the main window to bring to the front (restored when minimised),
// or nullptr when it must not come. From the moment the close is allowed
// (app ending) the request is answered as ending without asking: the other
// start then waits for this copy to end and runs. Its errors go to app's
// general error report.
class TRunningCopyWindow {
public:
    // Raises EOleError when the system makes no window.
    TRunningCopyWindow(TApplication& app, std::function<HWND()> comeForward);
    TRunningCopyWindow(const TRunningCopyWindow&) = delete;
    TRunningCopyWindow& operator=(const TRunningCopyWindow&) = delete;

    // What another start sends it, and the class it finds it by.
    static constexpr UINT kComeForward = WM_APP + 1;
    static constexpr const wchar_t* kWindowClass = L"VelkorRunningCopy";

private:
    friend class TObjectWindow<TRunningCopyWindow>;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    TApplication& FApp;
    std::function<HWND()> FComeForward;
    TObjectWindow<TRunningCopyWindow> FWindow{*this};
};
