#pragma once
// The file seam on the system's files: names in the ANSI code page, a save's
// temporary file moved over the old one in one step and written through to
// the disk before the move reports success.

#include "platform/Files.h"

class TWin32FileSystem : public IFileSystem {
public:
    bool Read(const std::string& name, std::string& data) override;
    std::unique_ptr<IFileWriter> Create(const std::string& name) override;
    bool Replace(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& name) override;
};
