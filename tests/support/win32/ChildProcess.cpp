#include "tests/support/win32/ChildProcess.h"

#include <stdexcept>

PROCESS_INFORMATION StartChild(const std::wstring& exe, const std::wstring& args, const std::wstring& directory)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open NUL for a child's standard handles");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    std::wstring command = L"\"" + exe + L"\"";
    if (!args.empty())
        command += L" " + args;
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        directory.empty() ? nullptr : directory.c_str(), &startup, &info);
    const DWORD error = GetLastError();
    CloseHandle(nul);
    if (!started) {
        std::string name;
        for (wchar_t c : exe)
            name += c < 128 ? static_cast<char>(c) : '?';
        throw std::runtime_error("cannot start " + name + ": error " + std::to_string(error));
    }
    CloseHandle(info.hThread);
    info.hThread = nullptr;
    return info;
}
