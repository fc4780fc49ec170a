#pragma once
// The file seam on the C++ standard library's files.

#include "platform/Files.h"

class TStdFileSystem : public IFileSystem {
public:
    bool Read(const std::string& name, std::string& data) override;
    std::unique_ptr<IFileWriter> Create(const std::string& name) override;
    bool Replace(const std::string& from, const std::string& to) override;
    bool Remove(const std::string& name) override;
};
