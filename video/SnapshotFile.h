#pragma once

#include <string>

namespace krl {

// A snapshot on its way to the user: written under a temporary name, then either given its
// final name (OK), a name picked with Save As, or removed (Cancel). Only the temporary file is
// ever deleted; a file the user already had is replaced only when the user chose it in the
// Save As box, which asks before replacing.
class SnapshotFile {
public:
    // The first free "snapshotN.bmp" in the folder, N from 0.
    static std::string nextFreeName(const std::string& folder);
    // The temporary name: the path with its extension (last four characters) replaced by
    // ".tmp"; a path of four characters or fewer as it is.
    static std::string temporaryName(const std::string& path);

    // Takes a freshly written picture file: moves it to its temporary name. False when it
    // could not be moved (nothing is left behind then).
    bool take(const std::string& writtenPath);
    const std::string& temporaryPath() const { return temp_; }
    const std::string& target() const { return target_; }

    // Save As: the picture is to be stored under a chosen name that the user confirmed (the
    // name "*.*" changes nothing).
    void chooseTarget(const std::string& path);
    // OK with the name from the edit box. A typed name that names another existing file is
    // refused (false) rather than overwritten.
    bool keep(const std::string& name);
    // Cancel: the temporary file goes; everything else stays as it was.
    void discard();

private:
    std::string temp_;
    std::string target_;
    bool targetConfirmed_ = false;
};

}  // namespace krl
