// Bitmap files as they arrive (card pictures from a peer, snapshots on disk): whatever the
// bytes say, a picture read is whole, and written back and read again it is the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/TempFolder.h"
#include "video/BmpFile.h"

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Removed when the fuzzer ends.
    static const krl::test::TempFolder scratch;
    static const std::string in = (scratch / "in.bmp").string();
    static const std::string again = (scratch / "again.bmp").string();
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    krl::Picture p;
    if (!krl::BmpFile::read(in, p))
        return 0;
    require(!p.empty() && p.bits.size() == p.imageBytes());
    require(p.bitCount == 24 || (p.bitCount == 8 && p.colours.size() <= 256));
    require(krl::BmpFile::write(again, p));
    krl::Picture q;
    require(krl::BmpFile::read(again, q));
    require(q.width == p.width && q.height == p.height && q.bitCount == p.bitCount &&
            q.bits == p.bits);
    return 0;
}
