#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "base/win32/ComUtil.h"
#include "base/win32/Handle.h"

namespace {

class TWin32FileWriter : public IFileWriter {
public:
    explicit TWin32FileWriter(TKernelHandle file) : FFile(std::move(file)) {}

    bool Write(const char* data, size_t size) override
    {
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD written = 0;
            if (!FFile || !WriteFile(FFile.Get(), data, chunk, &written, nullptr) || written != chunk)
                return false;
            data += chunk;
            size -= chunk;
        }
        return true;
    }

    bool Close() override
    {
        if (!FFile)
            return false;
        // On the disk before the old file is replaced by this one.
        const bool flushed = FlushFileBuffers(FFile.Get()) != FALSE;
        return FFile.Close() && flushed;
    }

private:
    TKernelHandle FFile;
};

} // namespace

TReadResult TWin32FileSystem::Read(const std::string& name, std::string& data, size_t limit, std::string& reason)
{
    auto failed = [&reason] {
        reason = OleErrorText(HRESULT_FROM_WIN32(GetLastError()));
        return TReadResult::Failed;
    };
    // A reader lets others read, write, rename and delete meanwhile: a
    // spreadsheet or an editor holding the file open does not stop the load.
    TKernelHandle file(CreateFileW(AnsiToWide(name).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return TReadResult::Missing;
        return failed();
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return failed();
    if (size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > limit)
        return TReadResult::TooLarge;
    std::string content;
    char buffer[65536];
    // Bounded also when the file grows while it is read.
    for (;;) {
        const size_t left = limit - content.size();
        const DWORD want = static_cast<DWORD>(left < sizeof buffer ? left + 1 : sizeof buffer);
        DWORD count = 0;
        if (!ReadFile(file.Get(), buffer, want, &count, nullptr))
            return failed();
        if (count == 0)
            break;
        content.append(buffer, count);
        if (content.size() > limit)
            return TReadResult::TooLarge;
    }
    data = std::move(content);
    return TReadResult::Read;
}

std::unique_ptr<IFileWriter> TWin32FileSystem::Create(const std::string& name)
{
    TKernelHandle file(CreateFileW(AnsiToWide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return nullptr;
    return std::make_unique<TWin32FileWriter>(std::move(file));
}

bool TWin32FileSystem::Replace(const std::string& from, const std::string& to)
{
    return MoveFileExW(AnsiToWide(from).c_str(), AnsiToWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool TWin32FileSystem::Rename(const std::string& name, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` fails the move.
    return MoveFileExW(AnsiToWide(name).c_str(), AnsiToWide(to).c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool TWin32FileSystem::Duplicate(const std::string& name, const std::string& copy)
{
    const std::wstring from = AnsiToWide(name);
    const std::wstring to = AnsiToWide(copy);
    if (CreateHardLinkW(to.c_str(), from.c_str(), nullptr))
        return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return false;
    // A volume without hard links (FAT, some network shares) gets a copy.
    return CopyFileW(from.c_str(), to.c_str(), TRUE) != FALSE;
}

bool TWin32FileSystem::Exists(const std::string& name)
{
    return GetFileAttributesW(AnsiToWide(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool TWin32FileSystem::IsReadOnly(const std::string& name)
{
    const DWORD attributes = GetFileAttributesW(AnsiToWide(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_READONLY);
}

bool TWin32FileSystem::Remove(const std::string& name) { return DeleteFileW(AnsiToWide(name).c_str()) != FALSE; }
