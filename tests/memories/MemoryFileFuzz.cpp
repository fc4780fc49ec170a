// Deterministic mutation fuzzing of the memory file's load and save: memory
// files, and the same turned binary (NUL bytes, UTF-16), mutated, now and then
// blown up to around the size limit; first a few huge files, through the
// standard library's files too. Whatever the bytes: a file is loaded exactly
// when it is text as Velkor writes it and within the limit, anything else
// leaves the list as built and says why, no read takes more than the limit,
// and what loads saves, keeps the file it replaces (unless it is the same
// bytes: then nothing is written), and loads back the same.
//
//   memories_file_fuzz [rounds] [seed]

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "memories/MemoryFile.h"
#include "platform/StdFileSystem.h"
#include "tests/memories/GridSupport.h"
#include "tests/support/FakeFileSystem.h"
#include "tests/support/Fuzz.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace Fuzz;
using MemoryTests::CellsOf;
using MemoryTests::MemoryGrid;

bool LooksLikeText(const std::string& bytes)
{
    return bytes.find('\0') == std::string::npos && bytes.rfind("\xFF\xFE", 0) != 0 && bytes.rfind("\xFE\xFF", 0) != 0;
}

void LoadOne(const std::string& input, IFileSystem& files, const std::string& name, size_t* mostRead)
{
    TStringAlignGrid grid = MemoryGrid();
    const TMemoryFileState state = LoadMemoryFile(grid, files, name);
    if (mostRead)
        Check(*mostRead <= kMaxMemoryFileSize, "no read takes more than the limit", input);
    const bool text = input.size() <= kMaxMemoryFileSize && LooksLikeText(input);
    if (state.Kind != TMemoryFileState::Read) {
        Check(state.Kind == TMemoryFileState::Unreadable && !state.Cause.empty(), "a refusal says why", input);
        Check(CellsOf(grid) == CellsOf(MemoryGrid()), "a refused file leaves the list as built", input);
        // Beyond the file's own size, only the grid it would make is refused.
        Check(!text || state.Cause.rfind("as a memory list", 0) == 0, "text within the limit loads", input);
        return;
    }
    Check(text && state.Bytes == input, "only text within the limit loads, as it is", input);

    // What loads saves, the file it replaces kept, and loads back the same.
    const std::string saved = SaveMemoryFile(grid, files, name);
    Check(saved.size() <= kMaxMemoryFileSize, "what is saved is within the limit", input);
    Check(ReadMemoryFile(files, name).SameFile({TMemoryFileState::Read, saved, {}}), "the save is on disk", input);
    // A file as Velkor writes it is saved as it is: nothing to write, no backup.
    const TMemoryFileState backup = ReadMemoryFile(files, MemoryBackupFileName(name));
    if (saved == input)
        Check(backup.Kind == TMemoryFileState::Missing, "saving the same bytes makes no backup", input);
    else
        Check(backup.Bytes == input, "the backup is the file replaced", input);
    TStringAlignGrid again = MemoryGrid();
    Check(LoadMemoryFile(again, files, name).Kind == TMemoryFileState::Read && CellsOf(again) == CellsOf(grid),
          "what is saved loads back the same", input);
}

void RunOne(const std::string& seed, TRandom& random)
{
    std::string input = seed;
    switch (random.Below(40)) {
    case 0: // UTF-16, as an editor may save it
        input = "\xFF\xFE";
        for (char c : seed)
            input += std::string{c, '\0'};
        break;
    case 1: // blown up to around the limit, whole lines repeated
        if (!input.empty() && random.Below(25) == 0) {
            const size_t size = kMaxMemoryFileSize - 2000 + random.Below(4000);
            while (input.size() < size)
                input += input.substr(0, size - input.size());
        }
        break;
    default:
        break;
    }
    TFakeFileSystem files;
    files.Files["velkor.mem"] = input;
    LoadOne(input, files, "velkor.mem", &files.MostBytesRead);
}

// Huge files, each once: refused or loaded, never more read than the limit.
void RunHuge(const std::string& memory)
{
    auto repeated = [](const std::string& piece, size_t size) {
        std::string text;
        while (text.size() < size)
            text += piece;
        text.resize(size);
        return text;
    };
    const std::string huge[] = {
        repeated(memory, kMaxMemoryFileSize),      repeated(memory, kMaxMemoryFileSize + 1),
        repeated("\n", kMaxMemoryFileSize),        repeated("\t", kMaxMemoryFileSize),
        repeated("\t", 200000) + repeated("\n", 10), repeated(memory, 100u << 20),
    };
    for (const std::string& input : huge) {
        TFakeFileSystem files;
        files.Files["velkor.mem"] = input;
        LoadOne(input, files, "velkor.mem", &files.MostBytesRead);
    }

    // A real 100 MB file on disk.
    const TTempFolder folder("velkor-fuzz");
    const std::string name = folder.Name("velkor.mem");
    {
        std::ofstream out(name, std::ios::binary);
        const std::string block = repeated(memory, 1u << 20);
        for (int i = 0; i < 100; ++i)
            out << block;
    }
    TStdFileSystem disk;
    TStringAlignGrid grid = MemoryGrid();
    const TMemoryFileState state = LoadMemoryFile(grid, disk, name);
    Check(state.Kind == TMemoryFileState::Unreadable && CellsOf(grid) == CellsOf(MemoryGrid()),
          "a 100 MB file on disk is refused", "100 MB");
}

} // namespace

const char kSpecial[] = "\t\r\n\0\xFF\xFE.,-09 ";

int main(int argc, char** argv)
{
    const std::string header = "Caption\tMode\tVFO A\tVFO B\t\r\n";
    const std::string memory = "Home\tDIGI\t7.074.000\t\t\r\n";
    RunHuge(memory);
    return RunMutations(argc, argv, {20000, 20240601},
        {"", header, header + memory + "New freq\tUSB\t14250000\t-1\t\r\n", header + "\t\t\t\t\r\n",
         "Caption\tMode\tVFO A\tVFO B\t\na\tCW\t1\t2\t\nb\n", std::string("h\r\nx\tUSB\0\t9\t\r\n", 14),
         "h\r\na\tCW\t1\t2\textra\t\r\n", "\xEF\xBB\xBF" + header, "\r\n\r\n\r\n", "\t\t\t\t\t\t\t\t"},
        {.Special = std::string(kSpecial, sizeof kSpecial - 1), .MaxSize = 2000}, RunOne);
}
