#pragma once
// THost: the one way from the component model to the screen, the clock and the
// event loop. The Win32 host drives real windows; the headless host drives tests.

#include <cstdint>
#include <string>

class TTimer;

// Message box styles and answers; the numbers are the system's.
namespace MsgBox {
constexpr unsigned kOk = 0x0;
constexpr unsigned kOkCancel = 0x1;
constexpr unsigned kYesNoCancel = 0x3;
constexpr unsigned kYesNo = 0x4;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kDefButton2 = 0x100;
constexpr unsigned kTaskModal = 0x2000;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
} // namespace MsgBox

class THost {
public:
    virtual ~THost() = default;

    // (Re)starts the timer's countdown; the host then calls TTimer::Timer every
    // interval until StopTimer.
    virtual void StartTimer(TTimer& timer, uint32_t interval) = 0;
    virtual void StopTimer(TTimer& timer) = 0;

    // A modal message box; returns the answer (MsgBox::kId...).
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;

    // Milliseconds since some start; wraps around like the system's tick count.
    virtual uint32_t TickCount() = 0;

    // Serves the events that are waiting, then returns.
    virtual void ProcessMessages() = 0;
    // Serves events until Terminate.
    virtual void Run() = 0;
    virtual void Terminate() = 0;
};
