#pragma once

#include "base/FileStore.h"

namespace krl {

// Stored files on a POSIX file system. A replacement is written to a temporary file in the
// same folder ("<name>.XXXXXX"), flushed to the disk, given the old file's permissions (0600
// for a new file: these files hold the user's contacts and transfers) and renamed over the
// old file.
class PosixFileStore : public FileStore {
public:
    StoredFileRead read(const std::string& path, std::size_t maxBytes) override;
    int replace(const std::string& path, std::string_view bytes) override;
};

}  // namespace krl
