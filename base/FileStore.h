#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace krl {

// The whole content of a stored file, or why it could not be read.
struct StoredFileRead {
    int error = 0;  // errno; ENOENT when the file does not exist, EFBIG when over the cap
    std::string bytes;
};

// The program's own stored files (address book, send queue, histories) are read whole and
// written whole through this seam, so their logic never touches the file system and tests can
// make the disk fill up. Paths are UTF-8, as the file system names them.
class FileStore {
public:
    virtual ~FileStore() = default;

    // Reads the whole file; a file larger than maxBytes is not read (EFBIG).
    virtual StoredFileRead read(const std::string& path, std::size_t maxBytes) = 0;

    // Replaces the file with bytes: they are written beside it and renamed into place, so the
    // file is either the old one or the new one, never half-written. Returns 0 or the errno;
    // on failure the old file is untouched and nothing is left beside it.
    virtual int replace(const std::string& path, std::string_view bytes) = 0;
};

}  // namespace krl
