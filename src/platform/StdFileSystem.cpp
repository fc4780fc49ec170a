#include "platform/StdFileSystem.h"

#include <cstdio>
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

bool TStdFileSystem::Read(const std::string& name, std::string& data)
{
    TFilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file)
        return false;
    std::string content;
    char buffer[16384];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        content.append(buffer, count);
    // A directory opens on some systems and fails only when read.
    if (std::ferror(file.get()))
        return false;
    data = std::move(content);
    return true;
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

bool TStdFileSystem::Remove(const std::string& name)
{
    std::error_code error;
    return std::filesystem::remove(name, error) && !error;
}
