#include "tests/support/TempFolder.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TTempFolder::TTempFolder(const fs::path& name, TFolderName kind)
{
    const fs::path base = fs::temp_directory_path() / name;
    if (kind == TFolderName::AsGiven) {
        FPath = base;
        fs::create_directories(FPath);
        return;
    }
    // The number only has to vary: making the folder is what proves it is
    // no other test's, in this process or another.
    std::mt19937_64 numbers(std::random_device{}() ^
                            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    do {
        FPath = base;
        FPath += "-" + std::to_string(numbers() % 1000000000);
    } while (!fs::create_directory(FPath));
}

TTempFolder::~TTempFolder() { Remove(); }

void TTempFolder::Write(const fs::path& name, std::string_view bytes) const
{
    const fs::path file = FPath / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string TTempFolder::Read(const fs::path& name) const
{
    std::ifstream in(FPath / name, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool TTempFolder::Remove() const
{
    std::error_code ignored;
    // The system refuses to delete a read-only file, and a folder it cannot
    // read stays whole.
    std::error_code error;
    for (fs::recursive_directory_iterator it(FPath, error), end; !error && it != end; it.increment(error))
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(FPath, ignored);
    std::error_code unknown;
    return !fs::exists(FPath, unknown) && !unknown;
}
