// Picture files as they arrive (card pictures from a peer, pictures the user picks): whatever
// the bytes say, a picture read has sane sides and every pixel of it can be read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "controls/DibPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto p = krl::DibPicture::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!p)
        return 0;
    if (p->width <= 0 || p->height <= 0 || p->width > krl::DibPicture::kMaxSide ||
        p->height > krl::DibPicture::kMaxSide || p->colours.size() > 256)
        std::abort();
    unsigned sum = 0;
    for (int y = 0; y < p->height; y += 7)
        for (int x = 0; x < p->width; x += 7)
            sum += p->pixel(x, y).red;
    p->pixel(p->width - 1, p->height - 1);
    return static_cast<int>(sum & 0);
}
