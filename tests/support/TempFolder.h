#pragma once
// Test support: a folder of the test's own under the system's temporary
// folder, made when the object is and removed, with all it holds, when it
// goes; and a file's bytes written and read back whole.

#include <filesystem>
#include <string>
#include <string_view>

enum class TFolderName {
    Unique,  // the name given, a dash and a number no other folder there has
    AsGiven, // the name itself, for a test that relies on it; taken as it is when it exists
};

class TTempFolder {
public:
    // Raises std::filesystem::filesystem_error when the folder cannot be made.
    explicit TTempFolder(const std::filesystem::path& name, TFolderName kind = TFolderName::Unique);
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return FPath / name; }
    // A file's name in the folder, as the file seam takes it.
    std::string Name(const std::filesystem::path& name) const { return (FPath / name).string(); }

    // The bytes written over the file (a name in the folder, or a full one);
    // raises std::runtime_error when they cannot all be written.
    void Write(const std::filesystem::path& name, std::string_view bytes) const;
    // The file's bytes; empty when it cannot be read.
    std::string Read(const std::filesystem::path& name) const;

    // Removes the folder now, read-only files too; false when some of it stays.
    bool Remove() const;

private:
    std::filesystem::path FPath;
};
