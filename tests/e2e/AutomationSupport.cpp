#include "AutomationSupport.h"

#include <winternl.h>

#include <cwctype>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "base/win32/ModulePath.h"
#include "tests/support/win32/ChildProcess.h"
#include "tests/support/win32/VelkorProcess.h"

std::vector<std::pair<std::wstring, std::wstring>> ExpectedClassEntries(const std::wstring& command)
{
    return {
        {kClsidKey, L"VelkorCom Object"},
        {kClsidKey + L"\\LocalServer32", command},
        {kProgId, L"VelkorCom Object"},
        {std::wstring(kProgId) + L"\\Clsid", kClsidText},
        {kClsidKey + L"\\ProgID", kProgId},
        {kClsidKey + L"\\Version", L"1.0"},
        {kClsidKey + L"\\TypeLib", kLibIdText},
    };
}

HRESULT CreateVelkorCom(Microsoft::WRL::ComPtr<IVelkorCom>& object)
{
    object.Reset();
    CLSID clsid{};
    const HRESULT found = CLSIDFromProgID(kProgId, &clsid);
    if (FAILED(found))
        return found;
    return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&object));
}

std::wstring VelkorExePath()
{
    return (std::filesystem::path(ModulePath()).parent_path() / L"velkor.exe").wstring();
}

DWORD RunVelkor(const std::wstring& args, DWORD timeoutMs, const std::wstring& exe, DWORD* processId)
{
    const PROCESS_INFORMATION info = StartChild(exe.empty() ? VelkorExePath() : exe, args);
    if (processId)
        *processId = info.dwProcessId;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hProcess);
    if (code == STILL_ACTIVE)
        throw std::runtime_error("the program did not end");
    return code;
}

DWORD StartVelkor(const std::wstring& args)
{
    const PROCESS_INFORMATION info = StartChild(VelkorExePath(), args);
    CloseHandle(info.hProcess);
    return info.dwProcessId;
}

bool EndEveryVelkor()
{
    bool asTheOperator = true;
    for (DWORD id : VelkorProcessIds())
        asTheOperator = EndVelkor(id) && asTheOperator;
    return asTheOperator;
}

DWORD VelkorWithWindow()
{
    DWORD found = 0;
    WaitFor(
        [&] {
            for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, kMainCaption); window;
                 window = FindWindowExW(nullptr, window, nullptr, kMainCaption))
                if (IsWindowVisible(window)) {
                    GetWindowThreadProcessId(window, &found);
                    return true;
                }
            return false;
        },
        10000);
    return found;
}

TProcess::TProcess(DWORD id)
    : FId(id), FHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE,
                                   FALSE, id))
{
}

TProcess::~TProcess()
{
    if (FHandle)
        CloseHandle(FHandle);
}

DWORD TProcess::WaitForExit(DWORD milliseconds) const
{
    DWORD code = STILL_ACTIVE;
    if (FHandle && WaitForSingleObject(FHandle, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(FHandle, &code);
    return code;
}

std::wstring TProcess::CurrentDirectory() const
{
    // PEB.ProcessParameters, then RTL_USER_PROCESS_PARAMETERS.CurrentDirectory
    // (a UNICODE_STRING), as 64-bit Windows lays them out.
    PROCESS_BASIC_INFORMATION basic{};
    if (!FHandle || NtQueryInformationProcess(FHandle, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return {};
    auto read = [&](const void* at, void* into, size_t size) {
        SIZE_T got = 0;
        return ReadProcessMemory(FHandle, at, into, size, &got) && got == size;
    };
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const char* parameters = nullptr;
    UNICODE_STRING folder{};
    if (!read(peb + 0x20, &parameters, sizeof(parameters)) || !read(parameters + 0x38, &folder, sizeof(folder)))
        return {};
    std::wstring text(folder.Length / sizeof(wchar_t), L'\0');
    if (!text.empty() && !read(folder.Buffer, text.data(), folder.Length))
        return {};
    return text;
}

std::wstring TProcess::ImagePath() const
{
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    return FHandle && QueryFullProcessImageNameW(FHandle, 0, path, &size) ? std::wstring(path, size) : std::wstring();
}

void TProcess::Kill() const
{
    if (FHandle) {
        TerminateProcess(FHandle, 98);
        WaitForSingleObject(FHandle, 5000);
    }
}

std::optional<std::wstring> ClassesValue(const std::wstring& key, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool ClassesKeyExists(const std::wstring& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}


bool SamePath(const std::wstring& a, const std::wstring& b)
{
    auto longForm = [](const std::wstring& path) {
        wchar_t buffer[MAX_PATH * 2] = {};
        const DWORD length = GetLongPathNameW(path.c_str(), buffer, MAX_PATH * 2);
        return length ? std::wstring(buffer, length) : path;
    };
    return _wcsicmp(longForm(a).c_str(), longForm(b).c_str()) == 0;
}

std::wstring MessageBoxText(HWND box)
{
    // The message is the box's static text control (id 0xFFFF).
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

int MessageBoxDefaultButton(HWND box)
{
    // The default button is drawn as one; the box may still report its own.
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (HWND button = GetDlgItem(box, id))
            if ((GetWindowLongW(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
                return id;
    return 0;
}
