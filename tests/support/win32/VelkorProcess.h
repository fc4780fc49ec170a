#pragma once
// velkor.exe as a child process of an end-to-end test, and what such tests
// share: its windows, waiting for a condition, the stand-in's call counters,
// the program's stored settings.

#include <windows.h>

#include <string>
#include <vector>

#include "RigSim.h"
#include "RigSimSlots.h"
#include "tests/support/win32/Wait.h"

inline constexpr wchar_t kMainCaption[] = L"Velkor - Transceiver control module";
// The question when the window closes while loggers hold objects.
inline constexpr wchar_t kWarningCaption[] = L"COM Server Warning";
// Where the program keeps its settings (under HKEY_CURRENT_USER): its own
// values, the main window's placement and settings, the memory list's.
inline constexpr wchar_t kProgramKey[] = L"Software\\Velkor";
inline constexpr wchar_t kWindowPosKey[] = L"Software\\Velkor\\WindowPos";
inline constexpr wchar_t kMemoryWinPosKey[] = L"Software\\Velkor\\MemoryWinPos";

// velkor.exe (the build's, or exe) started as the operator starts it, in a
// folder of the test's choosing (where it looks for its bands file), with the
// switches given, ended at the end of the test as EndVelkor ends it.
class TVelkorProcess {
public:
    explicit TVelkorProcess(const std::wstring& directory = {}, const std::wstring& switches = {},
                            const std::wstring& exe = {});
    ~TVelkorProcess();
    TVelkorProcess(const TVelkorProcess&) = delete;
    TVelkorProcess& operator=(const TVelkorProcess&) = delete;

    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD milliseconds);
    DWORD Id() const { return FInfo.dwProcessId; }
    // The main window, waiting for it up to 10 s; nullptr when none came.
    HWND MainWindow() const;

private:
    PROCESS_INFORMATION FInfo{};
};

// Top-level windows of a process with this class and caption (nullptr: any).
std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass, const wchar_t* caption);

// A visible message box of the process with this caption, or nullptr.
HWND MessageBoxOf(DWORD process, const wchar_t* caption);
// Answers a message box as a click on the button would.
void AnswerMessageBox(HWND box, int button);

// Ends a velkor.exe as the operator would: its main window closed, Yes to
// the warning, No (or Cancel, or OK) to any other question. Killed, it would
// stay registered with Wine's COM for the rest of the session, and every
// later client's activation would fail; so it is killed only after 10 s.
// False when it had to be killed.
bool EndVelkor(DWORD process);
// The running velkor.exe processes, whoever started them.
std::vector<DWORD> VelkorProcessIds();

// Calls the stand-in has served through one interface slot.
long Calls(IRigSimControl* control, TIface iface, int slot);

// The main window's stored settings: removed, or one REG_SZ value written.
void ForgetStoredSettings();
void StoreSetting(const wchar_t* name, const wchar_t* value);

// What the screen shows of a rectangle, saved as a 32-bit .bmp for a person
// to look at.
bool SaveScreen(const RECT& r, const std::wstring& path);
