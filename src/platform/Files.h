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

// Names are used as given: a bare name is in the current directory.
class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // The file's bytes; false when it is missing, cannot be opened or cannot
    // be read to its end.
    virtual bool Read(const std::string& name, std::string& data) = 0;
    // Creates the file, or empties an existing one; nullptr when it cannot.
    virtual std::unique_ptr<IFileWriter> Create(const std::string& name) = 0;
    // Moves the file `from` to `to` in one step, replacing an existing `to`;
    // false (and both left as they were) when it cannot.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;
    // False when there was nothing to remove or it could not be removed.
    virtual bool Remove(const std::string& name) = 0;
};
