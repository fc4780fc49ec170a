#pragma once
// The file seam: a whole file read at once, a file written through a writer,
// and a written file moved over an old one. Saves write a temporary file and
// replace the old one only when every byte is out, so a failure never leaves
// half a file behind. The native build uses the standard library's files
// (TStdFileSystem); tests use an in-memory store that fails on request.

#include <cstddef>
#include <memory>
#include <string>

#include "base/SysUtils.h"

// "Cannot create file %s".
class EFCreateError : public Exception {
    using Exception::Exception;
};

// "Stream write error".
class EWriteError : public Exception {
    using Exception::Exception;
};

// An open file being written. A writer dropped without Close closes the file
// and leaves it as far as it was written.
class IFileWriter {
public:
    virtual ~IFileWriter() = default;
    // False when not every byte was written.
    virtual bool Write(const char* data, size_t size) = 0;
    // Flushes and closes; false when that failed. Call it once.
    virtual bool Close() = 0;
};

// What a read found. "No file" (a first run) and "a file that cannot be read"
// are told apart, so that only the second is reported.
enum class TReadResult {
    Read,     // the bytes are in data
    Missing,  // no such file, or no such folder
    TooLarge, // more bytes than the limit; nothing was read
    Failed,   // there is something by that name that cannot be opened or read to its end
};

// Names are used as given: a bare name is in the current directory.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // The file's bytes, at most `limit` of them, read while other programs
    // may have it open for reading and writing. On Failed, `reason` has the
    // system's words for it; data is changed only on Read.
    virtual TReadResult Read(const std::string& name, std::string& data, size_t limit, std::string& reason) = 0;
    // Creates the file, or empties an existing one; nullptr when it cannot.
    virtual std::unique_ptr<IFileWriter> Create(const std::string& name) = 0;
    // Moves the file `from` to `to` in one step, replacing an existing `to`;
    // false (and both left as they were) when it cannot.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;
    // Gives `name` a new name `to` that no file has yet; false, and nothing
    // moved, when `to` exists or the move cannot be made.
    virtual bool Rename(const std::string& name, const std::string& to) = 0;
    // Makes `copy` hold the bytes of the file `name` (a second name of the
    // same file where the system allows, else a copy); false, with no `copy`
    // made, when it cannot or `copy` exists.
    virtual bool Duplicate(const std::string& name, const std::string& copy) = 0;
    // True when there is a file (or anything else) by that name.
    virtual bool Exists(const std::string& name) = 0;
    // True when `name` is a file marked read-only: Windows' read-only
    // attribute, elsewhere no write permission for anyone. Windows refuses to
    // replace, remove or overwrite such a file, so a save asks this to say
    // what is in its way.
    virtual bool IsReadOnly(const std::string& name) = 0;
    // False when there was nothing to remove or it could not be removed.
    virtual bool Remove(const std::string& name) = 0;
};
