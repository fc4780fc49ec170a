#pragma once
// The file seam on the system's files: names in the ANSI code page, files
// read while other programs hold them open, a save's temporary file moved
// over the old one in one step and written through to the disk before the
// move reports success.

#include "platform/Files.h"

class TWin32FileSystem : public IFileSystem {
public:
    TReadResult Read(const std::string& name, std::string& data, size_t limit, std::string& reason) override;
    std::unique_ptr<IFileWriter> Create(const std::string& name) override;
    bool Replace(const std::string& from, const std::string& to) override;
    bool Rename(const std::string& name, const std::string& to) override;
    bool Duplicate(const std::string& name, const std::string& copy) override;
    bool Exists(const std::string& name) override;
    bool IsReadOnly(const std::string& name) override;
    bool Remove(const std::string& name) override;
};
