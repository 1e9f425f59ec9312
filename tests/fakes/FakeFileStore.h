#pragma once

#include <cerrno>
#include <map>
#include <string>

#include "base/FileStore.h"

namespace krl::test {

// Stored files in memory, with failures on demand: a file that cannot be read, and a disk that
// refuses every replacement (as a full disk does).
class FakeFileStore : public FileStore {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, int> readErrors;  // path -> errno its reads fail with
    int replaceError = 0;                   // errno every replacement fails with, 0 for none
    int replacements = 0;                   // replacements that succeeded

    StoredFileRead read(const std::string& path, std::size_t maxBytes) override {
        if (auto e = readErrors.find(path); e != readErrors.end())
            return {e->second, {}};
        auto f = files.find(path);
        if (f == files.end())
            return {ENOENT, {}};
        if (f->second.size() > maxBytes)
            return {EFBIG, {}};
        return {0, f->second};
    }

    int replace(const std::string& path, std::string_view bytes) override {
        if (replaceError != 0)
            return replaceError;
        files[path] = std::string(bytes);
        ++replacements;
        return 0;
    }
};

}  // namespace krl::test
