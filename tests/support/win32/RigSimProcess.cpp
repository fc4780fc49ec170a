#include "tests/support/win32/RigSimProcess.h"

#include <oleauto.h>
#include <tlhelp32.h>

#include <stdexcept>

#include "base/win32/ModulePath.h"
#include "tests/support/win32/ChildProcess.h"
#include "tests/support/win32/Wait.h"

using Microsoft::WRL::ComPtr;

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string result;
    for (wchar_t c : text)
        result += c < 128 ? static_cast<char>(c) : '?';
    return result;
}

std::string Hex(unsigned long value)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08lX", value);
    return text;
}

// Owns one kernel handle.
class THandle {
public:
    explicit THandle(HANDLE handle = nullptr) : FHandle(handle) {}
    ~THandle()
    {
        if (FHandle && FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle && FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

// Waits for handle while serving this thread's messages: a server that ends
// releases the event sinks it holds here, which are calls into this thread.
bool WaitPumping(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool quit = false;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    quit = true;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            continue;
        }
        // A quit meant for this thread's own loop is handed back.
        if (quit)
            PostQuitMessage(0);
        return result == WAIT_OBJECT_0;
    }
}

} // namespace

TRigSimProcess::~TRigSimProcess()
{
    Stop();
}

std::wstring TRigSimProcess::ExePath()
{
    std::wstring dir = ModulePath();
    if (dir.empty())
        throw std::runtime_error("cannot find the test executable's path");
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + L"rigsim.exe";
}

void TRigSimProcess::Start(DWORD timeoutMs)
{
    Stop();
    // One that COM started for an earlier test's program ends with its last
    // client, a moment later: until then the next program would find it
    // registered as the running one, not this.
    if (!WaitUntilNoneRuns(5000))
        StopAll();
    const PROCESS_INFORMATION info = StartChild(ExePath(), L"");
    FProcess = info.hProcess;
    FProcessId = info.dwProcessId;
    FThreadId = info.dwThreadId;

    // The table may still hold an instance that was killed a moment ago:
    // wait for the one that reports this process id.
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HRESULT lastError = S_OK;
    for (;;) {
        ComPtr<IUnknown> active;
        lastError = GetActiveObject(__uuidof(OmniRigX), nullptr, &active);
        if (SUCCEEDED(lastError)) {
            ComPtr<IRigSimControl> control;
            LONG id = 0;
            lastError = active.As(&control);
            if (SUCCEEDED(lastError))
                lastError = control->GetServerProcessId(&id);
            if (SUCCEEDED(lastError) && static_cast<DWORD>(id) == FProcessId) {
                FControl = control;
                return;
            }
        }
        DWORD exitCode = 0;
        if (GetExitCodeProcess(FProcess, &exitCode) && exitCode != STILL_ACTIVE) {
            Kill();
            throw std::runtime_error("rigsim.exe ended at start with exit code " + std::to_string(exitCode));
        }
        if (GetTickCount64() >= deadline) {
            Kill();
            throw std::runtime_error("rigsim.exe did not answer within " + std::to_string(timeoutMs) +
                                     " ms; last error " + Hex(static_cast<unsigned long>(lastError)));
        }
        Sleep(50);
    }
}

void TRigSimProcess::Stop(DWORD timeoutMs)
{
    FControl.Reset();
    if (!FProcess)
        return;
    // The server's message loop runs on its main thread and ends on WM_QUIT.
    if (PostThreadMessageW(FThreadId, WM_QUIT, 0, 0) && WaitPumping(FProcess, timeoutMs)) {
        CloseHandle(FProcess);
        FProcess = nullptr;
        FProcessId = 0;
        FThreadId = 0;
        return;
    }
    Kill();
}

void TRigSimProcess::Kill()
{
    FControl.Reset();
    if (!FProcess)
        return;
    TerminateProcess(FProcess, 1);
    WaitForSingleObject(FProcess, 10000);
    CloseHandle(FProcess);
    FProcess = nullptr;
    FProcessId = 0;
    FThreadId = 0;
}

bool TRigSimProcess::Running() const
{
    return FProcess && WaitForSingleObject(FProcess, 0) == WAIT_TIMEOUT;
}

DWORD TRigSimProcess::RunTool(const std::wstring& args, DWORD timeoutMs)
{
    const PROCESS_INFORMATION info = StartChild(ExePath(), args);
    THandle process(info.hProcess);
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        throw std::runtime_error("rigsim.exe " + Narrow(args) + " did not end within " + std::to_string(timeoutMs) +
                                 " ms");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}

std::vector<DWORD> TRigSimProcess::RunningIds()
{
    std::vector<DWORD> ids;
    THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid())
        throw std::runtime_error("cannot list processes");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"rigsim.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

bool TRigSimProcess::WaitUntilNoneRuns(DWORD timeoutMs)
{
    return WaitFor([] { return RunningIds().empty(); }, timeoutMs);
}

void TRigSimProcess::StopAll(DWORD timeoutMs)
{
    const std::vector<DWORD> ids = RunningIds();
    if (ids.empty())
        return;
    {
        THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        if (snapshot.Valid()) {
            THREADENTRY32 entry{};
            entry.dwSize = sizeof(entry);
            for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
                for (DWORD id : ids) {
                    if (entry.th32OwnerProcessID == id)
                        PostThreadMessageW(entry.th32ThreadID, WM_QUIT, 0, 0);
                }
            }
        }
    }
    for (DWORD id : ids) {
        THandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process.Valid())
            continue;
        if (!WaitPumping(process.Get(), timeoutMs)) {
            TerminateProcess(process.Get(), 1);
            WaitForSingleObject(process.Get(), 5000);
        }
    }
}
