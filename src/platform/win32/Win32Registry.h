#pragma once
// The registry seam on the system's registry. Text crosses in the ANSI code
// page, paths in UTF-8; the program's base name comes from the module file
// name.

#include <string>

#include "platform/Registry.h"

class TWin32Registry : public IRegistry {
public:
    TRegStatus OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                       std::unique_ptr<IRegistryKey>& key) override;
    TRegStatus CreateKey(TRegRoot root, const std::string& path) override;
    TRegStatus DeleteKey(TRegRoot root, const std::string& path) override;
    std::string ProgramBaseName() override;
};
