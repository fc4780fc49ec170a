#pragma once
// What the automation server's end-to-end tests share: velkor.exe run with
// switches or started by COM, its processes, their folders, the class's
// registry entries, and message boxes of another process.

#include <windows.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Velkor_TLB.h"

inline constexpr wchar_t kClsidText[] = L"{CAD05301-DA07-4E2F-B881-F05A6583402A}";
inline constexpr wchar_t kLibIdText[] = L"{A1B5FCD3-A2FE-4AC5-8224-D851D4594C24}";
inline constexpr wchar_t kIidText[] = L"{808B79B3-A7DF-45A7-8205-9CE8D5BBA855}";
inline constexpr wchar_t kProgId[] = L"Velkor.VelkorCom";
inline const std::wstring kClsidKey = std::wstring(L"CLSID\\") + kClsidText;
inline const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kLibIdText;

// The seven class entries (key below HKEY_CLASSES_ROOT, default value) as an
// installer expects them after /regserver; command is the LocalServer32 value.
std::vector<std::pair<std::wstring, std::wstring>> ExpectedClassEntries(const std::wstring& command);

// A client's object made by ProgID, as a logger makes it; the failing HRESULT
// when there is none.
HRESULT CreateVelkorCom(Microsoft::WRL::ComPtr<IVelkorCom>& object);

// velkor.exe beside the test.
std::wstring VelkorExePath();
// Runs exe (velkor.exe by default) with args and its standard handles on
// NUL; the exit code, and its process id in *processId when asked. Raises
// std::runtime_error when it does not end within the time (it is killed then).
DWORD RunVelkor(const std::wstring& args, DWORD timeoutMs = 20000, const std::wstring& exe = {},
                DWORD* processId = nullptr);

// Starts velkor.exe with args and its standard handles on NUL; its id.
DWORD StartVelkor(const std::wstring& args);

// Ends every running velkor.exe as the operator ends it (EndVelkor); false
// when one had to be killed.
bool EndEveryVelkor();
// The process whose visible main window is up, waiting up to 10 s; 0 when none.
DWORD VelkorWithWindow();

// A process opened to wait for and to read; closed when it goes.
class TProcess {
public:
    explicit TProcess(DWORD id);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    bool Valid() const { return FHandle != nullptr; }
    DWORD Id() const { return FId; }
    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD milliseconds) const;
    // Its current folder, read from its process parameters.
    std::wstring CurrentDirectory() const;
    std::wstring ImagePath() const;
    // Ends it, for a test that failed half way.
    void Kill() const;

private:
    DWORD FId;
    HANDLE FHandle;
};

// A REG_SZ value under HKEY_CLASSES_ROOT (the default one when name is null).
std::optional<std::wstring> ClassesValue(const std::wstring& key, const wchar_t* name = nullptr);
bool ClassesKeyExists(const std::wstring& key);

// The text of a message box, and its default button's id.
std::wstring MessageBoxText(HWND box);
int MessageBoxDefaultButton(HWND box);

// Compares paths as the file system does: their long forms, without regard
// to case.
bool SamePath(const std::wstring& a, const std::wstring& b);
