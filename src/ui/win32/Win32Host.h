#pragma once
// The Win32 host: the thread's message loop, thread timers and message boxes.

#include <windows.h>

#include <cstdint>
#include <map>

#include "ui/Host.h"

class TWin32Host : public THost {
public:
    // One host per process, on the user-interface thread.
    TWin32Host();
    ~TWin32Host() override;
    TWin32Host(const TWin32Host&) = delete;
    TWin32Host& operator=(const TWin32Host&) = delete;

    void StartTimer(TTimer& timer, uint32_t interval) override;
    void StopTimer(TTimer& timer) override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    uint32_t TickCount() override { return GetTickCount(); }
    void ProcessMessages() override;
    void Run() override;
    void Terminate() override { PostQuitMessage(0); }

    bool Terminated() const { return FTerminated; }

private:
    // Serves one message; false for the quit message.
    bool Dispatch(const MSG& msg);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);

    std::map<UINT_PTR, TTimer*> FTimers; // thread timer id -> timer
    bool FTerminated = false;
    static TWin32Host* FInstance;
};
