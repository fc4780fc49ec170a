#pragma once
// rigsim.exe, the stand-in rig server, as a child process of a Wine test: it
// lives next to the test executable, runs with its standard handles on NUL
// (a child holding the test runner's pipes would keep the runner waiting) and
// is found through the running object table.

#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "RigSim.h"

class TRigSimProcess {
public:
    TRigSimProcess() = default;
    // Stops a still running instance.
    ~TRigSimProcess();
    TRigSimProcess(const TRigSimProcess&) = delete;
    TRigSimProcess& operator=(const TRigSimProcess&) = delete;

    // Starts rigsim.exe (no switch) and waits until this very instance answers
    // through GetActiveObject. Throws std::runtime_error when it cannot start
    // or does not answer within timeoutMs. COM must be initialised.
    void Start(DWORD timeoutMs = 10000);
    // Asks the instance to end as when its work is done: it revokes its class
    // object and its running-object entry. Kills it when it does not end
    // within timeoutMs.
    void Stop(DWORD timeoutMs = 5000);
    // Ends the process at once, as a crash would, and waits for it. Under
    // Wine 8 its class object then stays registered for the rest of the Wine
    // session: later CoCreateInstance/CoGetClassObject calls for the class
    // fail with 0x800706BA. Prefer Stop() unless the test is about a dead
    // server; such a test runs in a Wine session of its own (ISOLATED).
    void Kill();
    bool Running() const;
    DWORD ProcessId() const { return FProcessId; }
    // The control interface of the started instance.
    Microsoft::WRL::ComPtr<IRigSimControl> Control() const { return FControl; }

    // Full path of rigsim.exe: the directory of the running executable.
    static std::wstring ExePath();
    // Runs rigsim.exe with args (e.g. L"/regserver") and returns its exit
    // code. Throws std::runtime_error when it cannot run or takes longer than
    // timeoutMs.
    static DWORD RunTool(const std::wstring& args, DWORD timeoutMs = 10000);
    // Ids of the rigsim.exe processes that exist now, whoever started them.
    static std::vector<DWORD> RunningIds();
    // Waits until no rigsim.exe process exists; false on timeout.
    static bool WaitUntilNoneRuns(DWORD timeoutMs);
    // Stops every rigsim.exe, also those that COM started, as Stop() does;
    // kills those that do not end within timeoutMs.
    static void StopAll(DWORD timeoutMs = 5000);

private:
    HANDLE FProcess = nullptr;
    DWORD FProcessId = 0;
    DWORD FThreadId = 0;
    Microsoft::WRL::ComPtr<IRigSimControl> FControl;
};
