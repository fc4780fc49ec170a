#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <limits>
#include <utility>

#include "base/win32/ComUtil.h"

namespace {

// One file handle.
class TFileHandle {
public:
    explicit TFileHandle(HANDLE handle) : FHandle(handle) {}
    ~TFileHandle() { Close(); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    HANDLE Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != INVALID_HANDLE_VALUE; }
    bool Close()
    {
        return FHandle == INVALID_HANDLE_VALUE || CloseHandle(std::exchange(FHandle, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE FHandle;
};

class TWin32FileWriter : public IFileWriter {
public:
    explicit TWin32FileWriter(HANDLE handle) : FFile(handle) {}

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
    TFileHandle FFile;
};

} // namespace

bool TWin32FileSystem::Read(const std::string& name, std::string& data)
{
    TFileHandle file(CreateFileW(AnsiToWide(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max() / 2)
        return false;
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr))
            return false;
        if (count == 0)
            break;
        content.append(buffer, count);
    }
    data = std::move(content);
    return true;
}

std::unique_ptr<IFileWriter> TWin32FileSystem::Create(const std::string& name)
{
    HANDLE handle = CreateFileW(AnsiToWide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<TWin32FileWriter>(handle);
}

bool TWin32FileSystem::Replace(const std::string& from, const std::string& to)
{
    return MoveFileExW(AnsiToWide(from).c_str(), AnsiToWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool TWin32FileSystem::Remove(const std::string& name) { return DeleteFileW(AnsiToWide(name).c_str()) != FALSE; }
