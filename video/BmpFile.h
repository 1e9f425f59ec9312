#pragma once

#include <string>

#include "video/Picture.h"

namespace krl {

// Device-independent bitmap files: the snapshot format.
class BmpFile {
public:
    // Writes the picture (rows padded to four bytes as the format wants). Replaces the file;
    // false when any write fails (the partial file is removed).
    static bool write(const std::string& path, const Picture& picture);
    // Reads a 24-bit or 8-bit uncompressed bitmap; false for anything else.
    static bool read(const std::string& path, Picture& out);
};

}  // namespace krl
