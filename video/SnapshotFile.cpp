#include "video/SnapshotFile.h"

#include <filesystem>

namespace krl {
namespace fs = std::filesystem;

std::string SnapshotFile::nextFreeName(const std::string& folder) {
    for (int n = 0; n < 1000000; ++n) {
        fs::path p = fs::path(folder) / ("snapshot" + std::to_string(n) + ".bmp");
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(p, ec)))
            return p.string();
    }
    return {};
}

std::string SnapshotFile::temporaryName(const std::string& path) {
    if (path.size() <= 4)
        return path;
    return path.substr(0, path.size() - 4) + ".tmp";
}

bool SnapshotFile::take(const std::string& writtenPath) {
    target_ = writtenPath;
    targetConfirmed_ = false;
    temp_ = temporaryName(writtenPath);
    std::error_code ec;
    if (temp_ == writtenPath)
        return true;
    // A file of the user's that happens to have the temporary name is left alone.
    for (int n = 1; fs::exists(fs::symlink_status(temp_, ec)) && n < 1000; ++n)
        temp_ = temporaryName(writtenPath) + std::to_string(n);
    fs::rename(writtenPath, temp_, ec);
    if (ec) {
        fs::remove(writtenPath, ec);
        temp_.clear();
        return false;
    }
    return true;
}

void SnapshotFile::chooseTarget(const std::string& path) {
    if (path.empty() || path == "*.*")
        return;
    target_ = path;
    targetConfirmed_ = true;
}

bool SnapshotFile::keep(const std::string& name) {
    if (temp_.empty())
        return false;
    std::string final = name.empty() ? target_ : name;
    std::error_code ec;
    bool exists = fs::exists(fs::symlink_status(final, ec));
    bool confirmed = targetConfirmed_ && final == target_;
    if (exists && !confirmed && final != temp_)
        return false;
    if (final != temp_) {
        fs::rename(temp_, final, ec);
        if (ec) {
            // Another file system: copy, then drop the temporary file.
            fs::copy_file(temp_, final, fs::copy_options::overwrite_existing, ec);
            if (ec)
                return false;
            fs::remove(temp_, ec);
        }
    }
    target_ = final;
    temp_.clear();
    return true;
}

void SnapshotFile::discard() {
    if (temp_.empty())
        return;
    std::error_code ec;
    fs::remove(temp_, ec);
    temp_.clear();
}

}  // namespace krl
