#pragma once
// The memory file "velkor.mem": the memory grid's cell texts, header row
// included, one line per row, every cell followed by a TAB, every line ended
// by CR LF. Nothing is converted or checked on the way in or out.

#include <string>

#include "memories/StringAlignGrid.h"
#include "platform/Files.h"

inline constexpr char kMemoryFileName[] = "velkor.mem";

// The file a save writes first, beside the memory file.
std::string MemoryTempFileName(const std::string& fileName);

// Reads the file into the grid from cell (0, 0), without limits. A missing or
// unreadable file changes nothing. Errors are swallowed; false when nothing
// was read.
bool LoadMemoryFile(TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName = kMemoryFileName);

// Writes the whole grid. The bytes go to a temporary file beside the memory
// file, which then replaces the old file in one step; on any failure the old
// file stays as it was, the temporary file is removed, and EFCreateError
// "Cannot create file %s" (the temporary file or the memory file could not be
// made) or EWriteError "Stream write error" (the bytes did not all go out) is
// raised.
void SaveMemoryFile(const TStringAlignGrid& grid, IFileSystem& files, const std::string& fileName = kMemoryFileName);
