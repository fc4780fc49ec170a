#include "platform/Registry.h"

#include "platform/ProgramKey.h"

#include "base/SysUtils.h"

std::string RegRelativePath(const std::string& path)
{
    const size_t start = path.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : path.substr(start);
}

std::string FileBaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

namespace {

bool ReadText(IRegistryKey& key, TRegStatus (IRegistryKey::*read)(const std::string&, TRegValue&),
              const std::string& name, std::string& value)
{
    TRegValue stored;
    if ((key.*read)(name, stored) != TRegStatus::Ok)
        return false;
    if (stored.Type != RegType::kSz && stored.Type != RegType::kExpandSz)
        throw ERegistryException(Format("Invalid data type for '%s'", name.c_str()));
    value = std::move(stored.Data);
    return true;
}

} // namespace

bool ReadRegString(IRegistryKey& key, const std::string& name, std::string& value)
{
    return ReadText(key, &IRegistryKey::ReadValue, name, value);
}

bool ReadRegStringUtf8(IRegistryKey& key, const std::string& name, std::string& value)
{
    return ReadText(key, &IRegistryKey::ReadValueUtf8, name, value);
}

void WriteRegString(IRegistryKey& key, const std::string& name, const std::string& value)
{
    if (key.WriteString(name, value) != TRegStatus::Ok)
        throw ERegistryException(Format("Failed to set data for '%s'", name.c_str()));
}

void CreateRegKey(IRegistry& registry, TRegRoot root, const std::string& path)
{
    if (registry.CreateKey(root, path) != TRegStatus::Ok)
        throw ERegistryException(Format("Failed to create key %s", path.c_str()));
}

bool ReadProgramValue(IRegistry& registry, const std::string& name, TRegValue& value)
{
    std::unique_ptr<IRegistryKey> key;
    return registry.OpenKey(TRegRoot::CurrentUser, kProgramKey, TRegAccess::Read, key) == TRegStatus::Ok &&
           key->ReadValue(name, value) == TRegStatus::Ok;
}
