#pragma once
// The memory file "velkor.mem": the memory grid's cell texts, header row
// included, one line per row, every cell followed by a TAB, every line ended
// by CR LF. Nothing is converted or checked on the way in or out, but a file
// that is not such text (NUL bytes, a UTF-16 byte-order mark) or that no
// memory list could have written (its size) is refused, never half read.

#include <cstddef>
#include <string>

#include "memories/StringAlignGrid.h"
#include "platform/Files.h"

inline constexpr char kMemoryFileName[] = "velkor.mem";

// Far more than any memory list writes (10,000 memories are about 400 kB); a
// larger file is refused unread, so that a wrong file costs bounded time and
// memory (the grid of a megabyte of line breaks is a million rows).
inline constexpr size_t kMaxMemoryFileMB = 1;
inline constexpr size_t kMaxMemoryFileSize = kMaxMemoryFileMB << 20;

// The file a save writes first, beside the memory file.
std::string MemoryTempFileName(const std::string& fileName);
// The previous file, kept by every successful save.
std::string MemoryBackupFileName(const std::string& fileName);

// The memory file as it was read or written.
struct TMemoryFileState {
    enum TKind {
        Missing,    // no file: a first run
        Read,       // Bytes holds the file
        Unreadable, // there is a file, and Cause says why it was not read
    };
    TKind Kind = Missing;
    std::string Bytes;
    std::string Cause; // in the operator's words, without a full stop

    // The same file: both missing, both unreadable, or the same bytes.
    bool SameFile(const TMemoryFileState& other) const
    {
        return Kind == other.Kind && (Kind != Read || Bytes == other.Bytes);
    }
};

// The file as it is on disk now, at most kMaxMemoryFileSize bytes of it.
TMemoryFileState ReadMemoryFile(IFileSystem& files, const std::string& fileName = kMemoryFileName);

// Reads the file into the grid from cell (0, 0), without limits. Only a file
// read whole and holding text as Velkor writes it is imported; an import that
// fails part way, or a grid whose file would be over kMaxMemoryFileSize (many
// fields in a line and many short lines), puts the grid back as it was and
// makes the file Unreadable. The grid changes only when the answer is Read.
TMemoryFileState LoadMemoryFile(TStringAlignGrid& grid, IFileSystem& files,
                                const std::string& fileName = kMemoryFileName);

// The bytes a save of the grid writes; EFCreateError "Cannot create file %s:
// it would be larger than ..." when they would be over kMaxMemoryFileSize,
// which no load would take.
std::string MemoryFileText(const TStringAlignGrid& grid, const std::string& fileName = kMemoryFileName);

// Writes `text` as the memory file; the caller has found that the file on
// disk does not hold exactly these bytes already. The bytes go to a temporary file beside the memory file; then the old
// file, if any, is kept: as `keepOldAs` when that is given (a name no file
// has, which no later save replaces), else as the backup file (replacing the
// older backup in one step); and the temporary file replaces the old file in
// one step. On any failure the old file stays where it was, the temporary
// file is removed, and EFCreateError "Cannot create file %s" or EWriteError
// "Stream write error" (the bytes did not all go out) is raised. A read-only
// memory file or backup, and a temporary file of an earlier save that cannot
// be removed, are named in the error with what to do about them.
void WriteMemoryFile(IFileSystem& files, const std::string& fileName, const std::string& text,
                     const std::string& keepOldAs = {});

// MemoryFileText and WriteMemoryFile of the whole grid, writing nothing and
// making no backup when the file on disk holds these bytes; answers them.
std::string SaveMemoryFile(const TStringAlignGrid& grid, IFileSystem& files,
                           const std::string& fileName = kMemoryFileName, const std::string& keepOldAs = {});

// The names under which a memory file is kept aside, the first of
// "<fileName>.<kind>-<date>", then with "-2", "-3" and so on after it, that
// no file has: kind "bad" for a file that could not be read, "changed" for
// one that another program changed and the operator replaced.
std::string FreeBadFileName(IFileSystem& files, const std::string& fileName, const std::string& date);
std::string FreeChangedFileName(IFileSystem& files, const std::string& fileName, const std::string& date);
