#include "tests/support/win32/VelkorProcess.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "base/win32/ModulePath.h"
#include "tests/support/win32/ChildProcess.h"

namespace {

std::wstring ExeDirectory() { return std::filesystem::path(ModulePath()).parent_path().wstring(); }

} // namespace

TVelkorProcess::TVelkorProcess(const std::wstring& directory, const std::wstring& switches,
                               const std::wstring& exe)
    : FInfo(StartChild(exe.empty() ? ExeDirectory() + L"\\velkor.exe" : exe, switches, directory))
{
}

TVelkorProcess::~TVelkorProcess()
{
    if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT && !EndVelkor(Id()))
        ADD_FAILURE() << "velkor.exe did not close within 10 s and was killed";
    CloseHandle(FInfo.hProcess);
}

DWORD TVelkorProcess::WaitForExit(DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(FInfo.hProcess, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(FInfo.hProcess, &code);
    return code;
}

HWND TVelkorProcess::MainWindow() const
{
    HWND window = nullptr;
    WaitFor(
        [&] {
            for (HWND candidate : WindowsOf(Id(), nullptr, kMainCaption))
                if (IsWindowVisible(candidate))
                    window = candidate;
            return window != nullptr;
        },
        10000);
    return window;
}

std::vector<HWND> WindowsOf(DWORD process, const wchar_t* windowClass, const wchar_t* caption)
{
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, caption); window;
         window = FindWindowExW(nullptr, window, windowClass, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process)
            found.push_back(window);
    }
    return found;
}

HWND MessageBoxOf(DWORD process, const wchar_t* caption)
{
    for (HWND box : WindowsOf(process, L"#32770", caption))
        if (IsWindowVisible(box))
            return box;
    return nullptr;
}

void AnswerMessageBox(HWND box, int button)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

bool EndVelkor(DWORD id)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
    if (!process)
        return true;
    for (HWND window : WindowsOf(id, nullptr, kMainCaption)) {
        PostMessageW(window, WM_CANCELMODE, 0, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const bool ended = WaitFor(
        [&] {
            for (HWND box : WindowsOf(id, L"#32770", nullptr)) {
                if (!IsWindowVisible(box))
                    continue;
                wchar_t caption[64] = {};
                GetWindowTextW(box, caption, 64);
                if (wcscmp(caption, kWarningCaption) == 0) {
                    AnswerMessageBox(box, IDYES);
                    continue;
                }
                // Anything else is left as it stands: No, or Cancel, or OK.
                for (int button : {IDNO, IDCANCEL, IDOK})
                    if (GetDlgItem(box, button)) {
                        AnswerMessageBox(box, button);
                        break;
                    }
            }
            return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        10000);
    if (!ended) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return ended;
}

long Calls(IRigSimControl* control, TIface iface, int slot)
{
    long count = 0;
    control->GetCallCount(static_cast<LONG>(iface), slot, &count);
    return count;
}

void ForgetStoredSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kWindowPosKey); }

void StoreSetting(const wchar_t* name, const wchar_t* value)
{
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    if (RegSetKeyValueW(HKEY_CURRENT_USER, kWindowPosKey, name, REG_SZ, value, bytes) != ERROR_SUCCESS)
        throw std::runtime_error("cannot store a setting");
}

std::vector<DWORD> VelkorProcessIds()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"velkor.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

bool SaveScreen(const RECT& r, const std::wstring& path)
{
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    BITMAPINFOHEADER header{sizeof(header), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPINFO info{};
    info.bmiHeader = header;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
        SelectObject(memory, old);
        GdiFlush();
        const DWORD size = static_cast<DWORD>(width * height * 4);
        BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(file) + sizeof(header) + size), 0, 0,
                             sizeof(file) + sizeof(header)};
        std::ofstream out(std::filesystem::path(path), std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof(file));
        out.write(reinterpret_cast<const char*>(&header), sizeof(header));
        out.write(static_cast<const char*>(bits), size);
        ok = ok && out.good();
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}
