#include "memories/MemoryFile.h"

#include <cstdint>
#include <exception>
#include <optional>

std::string MemoryTempFileName(const std::string& fileName) { return fileName + ".tmp"; }

std::string MemoryBackupFileName(const std::string& fileName) { return fileName + ".bak"; }

namespace {

TMemoryFileState Unreadable(std::string cause)
{
    TMemoryFileState state;
    state.Kind = TMemoryFileState::Unreadable;
    state.Cause = std::move(cause);
    return state;
}

// Why the bytes are not text as Velkor writes it; empty when they are.
std::string NotVelkorsText(const std::string& bytes)
{
    if (bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        return "it is saved as Unicode (UTF-16) text, and Velkor reads ANSI text only";
    if (bytes.find('\0') != std::string::npos)
        return "it holds NUL bytes, so it is not a text file as Velkor writes it";
    return {};
}

// The grid's file, or nothing when it would be larger than a memory file may
// be. Every row is written with every column, so a line of many fields and
// many short lines make a file far larger than the one read; that is told
// from the grid's shape before a byte is written.
std::optional<std::string> FileText(const TStringAlignGrid& grid)
{
    const uint64_t frame = static_cast<uint64_t>(grid.RowCount()) * (static_cast<uint64_t>(grid.ColCount()) + 2);
    if (frame > kMaxMemoryFileSize)
        return std::nullopt;
    std::string text = grid.ExportCellsAsText('\t', -1, -1, -1, -1);
    if (text.size() > kMaxMemoryFileSize)
        return std::nullopt;
    return text;
}

std::string TooLarge(const char* what)
{
    return Format("%s larger than %d MB, more than any memory list holds", what, static_cast<int>(kMaxMemoryFileMB));
}

} // namespace

TMemoryFileState ReadMemoryFile(IFileSystem& files, const std::string& fileName)
{
    TMemoryFileState state;
    std::string reason;
    switch (files.Read(fileName, state.Bytes, kMaxMemoryFileSize, reason)) {
    case TReadResult::Missing:
        return state;
    case TReadResult::TooLarge:
        return Unreadable(TooLarge("it is"));
    case TReadResult::Failed:
        return Unreadable(reason.empty() ? "it cannot be read" : reason);
    case TReadResult::Read:
        break;
    }
    const std::string notText = NotVelkorsText(state.Bytes);
    if (!notText.empty())
        return Unreadable(notText);
    state.Kind = TMemoryFileState::Read;
    return state;
}

TMemoryFileState LoadMemoryFile(TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName)
{
    TMemoryFileState state = ReadMemoryFile(files, fileName);
    if (state.Kind != TMemoryFileState::Read)
        return state;
    TStringAlignGrid built = grid;
    try {
        grid.ImportCellsFromText(state.Bytes, '\t', -1, -1, -1, -1);
    } catch (const std::exception& error) {
        // Half a list would look like the whole one, and a save would make
        // that final.
        grid = std::move(built);
        return Unreadable(error.what());
    }
    // Program rule: what loads can be saved, and what is saved loads again.
    if (!FileText(grid)) {
        grid = std::move(built);
        return Unreadable(TooLarge("as a memory list it would be"));
    }
    return state;
}

std::string MemoryFileText(const TStringAlignGrid& grid, const std::string& fileName)
{
    std::optional<std::string> text = FileText(grid);
    if (!text)
        throw EFCreateError(Format("Cannot create file %s: it would be larger than %d MB and not load again",
                                   fileName.c_str(), static_cast<int>(kMaxMemoryFileMB)));
    return std::move(*text);
}

namespace {

// Windows refuses to replace a read-only file, every time and in words that
// do not name it; the save stops before a byte is written and says so.
void RefuseReadOnly(IFileSystem& files, const std::string& name, const char* orElse)
{
    if (files.IsReadOnly(name))
        throw EFCreateError(Format("Cannot create file %s: it is read-only. Clear its read-only attribute (in the "
                                   "file's Properties)%s, then save again",
                                   name.c_str(), orElse));
}

// A temporary file that a save cut off left behind, in the way of `failing`.
[[noreturn]] void LeftoverInTheWay(IFileSystem& files, const std::string& failing, const std::string& leftover)
{
    if (files.IsReadOnly(leftover))
        throw EFCreateError(Format("Cannot create file %s: %s, left over from an earlier save, is read-only. "
                                   "Delete it, then save again",
                                   failing.c_str(), leftover.c_str()));
    throw EFCreateError(Format("Cannot create file %s: %s, left over from an earlier save, is in the way and "
                               "cannot be removed. Delete it, or close the program that holds it open, then save "
                               "again",
                               failing.c_str(), leftover.c_str()));
}

} // namespace

void WriteMemoryFile(IFileSystem& files, const std::string& fileName, const std::string& text,
                     const std::string& keepOldAs)
{
    const std::string tempName = MemoryTempFileName(fileName);
    const std::string backupName = MemoryBackupFileName(fileName);
    const std::string stagedName = MemoryTempFileName(backupName);
    const bool backUp = keepOldAs.empty() && files.Exists(fileName);
    RefuseReadOnly(files, fileName, "");
    // Not overwritten either: the file made from it would be read-only too.
    if (files.IsReadOnly(tempName))
        LeftoverInTheWay(files, fileName, tempName);
    if (backUp) {
        RefuseReadOnly(files, backupName, " or move it to another folder to keep it");
        // Left by a save that was cut off: a second name of the memory file.
        if (!files.Remove(stagedName) && files.Exists(stagedName))
            LeftoverInTheWay(files, backupName, stagedName);
    }

    // Program rule: the old file is replaced only once every byte is written,
    // so a failed save never leaves a truncated memory file.
    std::unique_ptr<IFileWriter> writer = files.Create(tempName);
    if (!writer) {
        if (files.Exists(tempName))
            LeftoverInTheWay(files, fileName, tempName);
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
    const bool written = writer->Write(text.data(), text.size());
    const bool closed = writer->Close();
    writer.reset();
    if (!written || !closed) {
        files.Remove(tempName);
        throw EWriteError("Stream write error");
    }

    if (!keepOldAs.empty()) {
        // Program rule: a file kept at the operator's word has a name of its
        // own, which no later save replaces.
        if (files.Exists(fileName) && !files.Rename(fileName, keepOldAs)) {
            files.Remove(tempName);
            throw EFCreateError(Format("Cannot create file %s: %s cannot be renamed to it. Close any program that "
                                       "has %s open, then save again",
                                       keepOldAs.c_str(), fileName.c_str(), fileName.c_str()));
        }
        if (!files.Replace(tempName, fileName)) {
            files.Remove(tempName);
            if (files.Exists(keepOldAs) && !files.Exists(fileName) && !files.Rename(keepOldAs, fileName))
                throw EFCreateError(Format("Cannot create file %s. The file it was to replace is kept as %s",
                                           fileName.c_str(), keepOldAs.c_str()));
            throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
        }
        return;
    }
    // Program rule: the file being replaced stays as the backup, so that one
    // wrong save can be undone by hand. The new backup is made beside the old
    // one and moved over it, so there is always one.
    if (backUp) {
        if (!files.Duplicate(fileName, stagedName) || !files.Replace(stagedName, backupName)) {
            files.Remove(stagedName);
            files.Remove(tempName);
            throw EFCreateError(Format("Cannot create file %s", backupName.c_str()));
        }
    }
    if (!files.Replace(tempName, fileName)) {
        files.Remove(tempName);
        throw EFCreateError(Format("Cannot create file %s", fileName.c_str()));
    }
}

std::string SaveMemoryFile(const TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName,
                           const std::string& keepOldAs)
{
    std::string text = MemoryFileText(grid, fileName);
    // Program rule: a save that changes nothing writes nothing, so that
    // saving twice never makes the backup a copy of the file itself.
    const TMemoryFileState onDisk = ReadMemoryFile(files, fileName);
    if (onDisk.Kind == TMemoryFileState::Read && onDisk.Bytes == text)
        return text;
    WriteMemoryFile(files, fileName, text, keepOldAs);
    return text;
}

namespace {

std::string FreeKeptFileName(IFileSystem& files, const std::string& fileName, const char* kind,
                             const std::string& date)
{
    const std::string base = fileName + "." + kind + "-" + date;
    std::string name = base;
    // A thousand kept files a day is past any use; the rename then fails.
    for (int n = 2; n <= 1000 && files.Exists(name); ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

} // namespace

std::string FreeBadFileName(IFileSystem& files, const std::string& fileName, const std::string& date)
{
    return FreeKeptFileName(files, fileName, "bad", date);
}

std::string FreeChangedFileName(IFileSystem& files, const std::string& fileName, const std::string& date)
{
    return FreeKeptFileName(files, fileName, "changed", date);
}
