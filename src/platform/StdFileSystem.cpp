#include "platform/StdFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

class TStdFileWriter : public IFileWriter {
public:
    explicit TStdFileWriter(std::FILE* file) : FFile(file) {}

    bool Write(const char* data, size_t size) override
    {
        return FFile && std::fwrite(data, 1, size, FFile.get()) == size;
    }

    bool Close() override
    {
        if (!FFile)
            return false;
        // Buffered bytes may fail only now (a full disk), so the flush and the
        // close both count.
        bool ok = std::fflush(FFile.get()) == 0 && !std::ferror(FFile.get());
        ok = std::fclose(FFile.release()) == 0 && ok;
        return ok;
    }

private:
    TFilePtr FFile;
};

} // namespace

TReadResult TStdFileSystem::Read(const std::string& name, std::string& data, size_t limit, std::string& reason)
{
    errno = 0;
    TFilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TReadResult::Missing;
        reason = std::strerror(errno);
        return TReadResult::Failed;
    }
    std::string content;
    char buffer[16384];
    size_t count;
    // At most one byte past the limit is read, whatever the file's size
    // claims (a device or a file still growing).
    auto room = [&] {
        const size_t left = limit - content.size();
        return left < sizeof buffer ? left + 1 : sizeof buffer;
    };
    while ((count = std::fread(buffer, 1, room(), file.get())) > 0) {
        content.append(buffer, count);
        if (content.size() > limit)
            return TReadResult::TooLarge;
    }
    // A directory opens on some systems and fails only when read.
    if (std::ferror(file.get())) {
        reason = std::strerror(errno ? errno : EIO);
        return TReadResult::Failed;
    }
    data = std::move(content);
    return TReadResult::Read;
}

std::unique_ptr<IFileWriter> TStdFileSystem::Create(const std::string& name)
{
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file)
        return nullptr;
    return std::make_unique<TStdFileWriter>(file);
}

bool TStdFileSystem::Replace(const std::string& from, const std::string& to)
{
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

bool TStdFileSystem::Rename(const std::string& name, const std::string& to)
{
    // The standard rename replaces an existing file; here it must not.
    std::error_code error;
    if (std::filesystem::symlink_status(to, error).type() != std::filesystem::file_type::not_found)
        return false;
    std::filesystem::rename(name, to, error);
    return !error;
}

bool TStdFileSystem::Duplicate(const std::string& name, const std::string& copy)
{
    std::error_code error;
    std::filesystem::create_hard_link(name, copy, error);
    if (!error)
        return true;
    if (error == std::errc::file_exists)
        return false;
    // A file system without hard links gets a copy.
    if (std::filesystem::copy_file(name, copy, error) && !error)
        return true;
    std::error_code ignored;
    if (error != std::errc::file_exists)
        std::filesystem::remove(copy, ignored);
    return false;
}

bool TStdFileSystem::Exists(const std::string& name)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(name, error));
}

bool TStdFileSystem::IsReadOnly(const std::string& name)
{
    // As the Windows build maps its read-only attribute: no write permission
    // for anyone.
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (error || !fs::is_regular_file(status))
        return false;
    const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & write) == fs::perms::none;
}

bool TStdFileSystem::Remove(const std::string& name)
{
    std::error_code error;
    return std::filesystem::remove(name, error) && !error;
}
