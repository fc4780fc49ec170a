#pragma once
// The registry seam: keys under the system's roots, values with their type,
// text values written. The Win32 store works on the real registry; the
// in-memory store stands in for it in tests.

#include <cstdint>
#include <memory>
#include <string>

enum class TRegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig, DynData };

// Value types; the numbers are the system's.
namespace RegType {
constexpr uint32_t kNone = 0;
constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDWord = 4;
constexpr uint32_t kMultiSz = 7;
constexpr uint32_t kQWord = 11;
} // namespace RegType

// A value as stored: REG_SZ and REG_EXPAND_SZ hold their text without the
// closing NUL, the other types their bytes.
struct TRegValue {
    uint32_t Type = RegType::kNone;
    std::string Data;
    bool operator==(const TRegValue&) const = default;
};

enum class TRegStatus {
    Ok,
    NotFound,
    // Refused for lack of access.
    Denied,
    // Failed for another reason.
    Failed
};

enum class TRegAccess { Read, Full };

// An open key; closed when it goes.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;
    // The empty name is the key's default value. Text comes in the ANSI
    // code page, as the program's strings are.
    virtual TRegStatus ReadValue(const std::string& name, TRegValue& value) = 0;
    // As REG_SZ; fails on a key opened for reading.
    virtual TRegStatus WriteString(const std::string& name, const std::string& value) = 0;
    // The same with the text in UTF-8: for file and folder paths, which the
    // code page may not hold. The system's store keeps the same characters
    // either way; a path the code page holds is stored as ANSI text would be.
    virtual TRegStatus ReadValueUtf8(const std::string& name, TRegValue& value) = 0;
    virtual TRegStatus WriteStringUtf8(const std::string& name, const std::string& value) = 0;
    virtual TRegStatus DeleteValue(const std::string& name) = 0;
};

// Paths are relative to the root, their parts separated by "\"; leading
// backslashes are ignored.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens an existing key: NotFound when it is missing, Denied or Failed
    // when it cannot be opened with that access.
    virtual TRegStatus OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                               std::unique_ptr<IRegistryKey>& key) = 0;
    // Makes the key and its missing parents; Ok when it exists afterwards,
    // even if it could not be opened for writing.
    virtual TRegStatus CreateKey(TRegRoot root, const std::string& path) = 0;
    // Removes one key with its values. A key that has subkeys stays (Failed):
    // they may be another program's.
    virtual TRegStatus DeleteKey(TRegRoot root, const std::string& path) = 0;

    // The program file's name without folder and extension ("velkor").
    virtual std::string ProgramBaseName() = 0;
};

// A value under the program's key of the current user (kProgramKey); false
// when the key or the value is missing or cannot be read.
bool ReadProgramValue(IRegistry& registry, const std::string& name, TRegValue& value);

// A file's name without folder and extension: "C:\dir\velkor.exe" gives "velkor".
std::string FileBaseName(const std::string& path);

// A leading backslash stripped, as every store reads a path.
std::string RegRelativePath(const std::string& path);

// Reads a text value (REG_SZ or REG_EXPAND_SZ, taken as it stands). False when
// the value is missing or cannot be read; a value of another type raises
// ERegistryException "Invalid data type for '%s'".
bool ReadRegString(IRegistryKey& key, const std::string& name, std::string& value);
// The same in UTF-8 (ReadValueUtf8), for a path.
bool ReadRegStringUtf8(IRegistryKey& key, const std::string& name, std::string& value);
// Raises ERegistryException "Failed to set data for '%s'" when the write fails.
void WriteRegString(IRegistryKey& key, const std::string& name, const std::string& value);
// Raises ERegistryException "Failed to create key %s" when the key cannot be made.
void CreateRegKey(IRegistry& registry, TRegRoot root, const std::string& path);
