#include "memories/MemoryFile.h"

#include <exception>

std::string MemoryTempFileName(const std::string& fileName) { return fileName + ".tmp"; }

bool LoadMemoryFile(TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName)
{
    try {
        std::string text;
        if (!files.Read(fileName, text))
            return false;
        grid.ImportCellsFromText(text, '\t', -1, -1, -1, -1);
        return true;
    } catch (const std::exception&) {
        // A memory file that cannot be read leaves the list as it is, silently.
        return false;
    }
}

void SaveMemoryFile(const TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName)
{
    const std::string text = grid.ExportCellsAsText('\t', -1, -1, -1, -1);
    const std::string tempName = MemoryTempFileName(fileName);

    // Program rule: the old file is replaced only once every byte is written,
    // so a failed save never leaves a truncated memory file.
    std::unique_ptr<IFileWriter> writer = files.Create(tempName);
    if (!writer)
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    const bool written = writer->Write(text.data(), text.size());
    const bool closed = writer->Close();
    writer.reset();
    if (!written || !closed) {
        files.Remove(tempName);
        throw EWriteError("Stream write error");
    }
    if (!files.Replace(tempName, fileName)) {
        files.Remove(tempName);
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
}
