// Draws the copying animation vi_copy.avi of the file transfer window: a sheet of paper that
// leaves the folder on the left, travels in an arc and drops into the folder on the right,
// 12 frames of 160x40 at 8 frames a second.
// Usage: krl_make_copy_clip OUTPUT
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ffmpeg/AviRecorder.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 40;
constexpr int kFrames = 12;
constexpr int kFramesPerSecond = 8;

struct Colour {
    unsigned char r, g, b;
};

// Rows are stored bottom-up; y counts from the top.
void fill(krl::Picture& p, int x, int y, int w, int h, Colour c) {
    for (int row = std::max(0, y); row < std::min(kHeight, y + h); ++row) {
        for (int col = std::max(0, x); col < std::min(kWidth, x + w); ++col) {
            unsigned char* px =
                &p.bits[static_cast<std::size_t>((kHeight - 1 - row) * kWidth + col) * 3];
            px[0] = c.b;
            px[1] = c.g;
            px[2] = c.r;
        }
    }
}

void folder(krl::Picture& p, int x) {
    const Colour dark{0xB0, 0x80, 0x20}, light{0xE8, 0xB8, 0x40};
    fill(p, x, 12, 14, 4, dark);        // the tab
    fill(p, x, 15, 36, 20, dark);       // the back
    fill(p, x + 2, 19, 34, 16, light);  // the front
}

void sheet(krl::Picture& p, int x, int y) {
    const Colour edge{0x40, 0x40, 0x50}, paper{0xFA, 0xFA, 0xFA}, line{0x80, 0x90, 0xC0};
    fill(p, x, y, 14, 18, edge);
    fill(p, x + 1, y + 1, 12, 16, paper);
    for (int l = 0; l < 4; ++l)
        fill(p, x + 3, y + 4 + 3 * l, 8, 1, line);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: krl_make_copy_clip OUTPUT\n");
        return 2;
    }
    krl::AviRecorder recorder;
    std::string error;
    if (!recorder.open(argv[1], kWidth, kHeight, kFramesPerSecond, error)) {
        std::fprintf(stderr, "krl_make_copy_clip: %s\n", error.c_str());
        return 1;
    }
    for (int n = 0; n < kFrames; ++n) {
        krl::Picture p;
        p.reset(kWidth, kHeight, 24);
        fill(p, 0, 0, kWidth, kHeight, {0xD4, 0xD0, 0xC8});
        folder(p, 8);
        folder(p, kWidth - 44);
        // From above the left folder to above the right one, highest half way.
        const int x = 19 + (kWidth - 44 - 19 + 11) * n / (kFrames - 1);
        const int t = n * 2 - (kFrames - 1);
        const int y =
            14 - (14 * ((kFrames - 1) * (kFrames - 1) - t * t)) / ((kFrames - 1) * (kFrames - 1));
        sheet(p, x, std::max(0, y + 4));
        // The folders' fronts stay in front of the sheet at both ends.
        if (n == 0 || n == kFrames - 1)
            fill(p, (n == 0 ? 8 : kWidth - 44) + 2, 23, 34, 12, {0xE8, 0xB8, 0x40});
        if (!recorder.write(p, static_cast<std::uint64_t>(n) * 1000 / kFramesPerSecond)) {
            std::fprintf(stderr, "krl_make_copy_clip: cannot write frame %d\n", n);
            return 1;
        }
    }
    if (!recorder.finish()) {
        std::fprintf(stderr, "krl_make_copy_clip: cannot finish %s\n", argv[1]);
        return 1;
    }
    return 0;
}
