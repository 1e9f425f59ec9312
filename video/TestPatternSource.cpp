#include "video/TestPatternSource.h"

#include <algorithm>
#include <cstdlib>

namespace krl {
namespace {

struct Bgr {
    std::uint8_t b, g, r;
};

constexpr Bgr kBars[] = {{235, 235, 235}, {16, 235, 235}, {235, 235, 16}, {16, 235, 16},
                         {235, 16, 235},  {16, 16, 235},  {235, 16, 16},  {40, 40, 40}};

}  // namespace

TestPatternSource::TestPatternSource(int width, int height) {
    fitPictureSize(width, height, 176, 144, width_, height_);
}

bool TestPatternSource::grab(std::uint64_t nowMs, Picture& out) {
    draw(width_, height_, nowMs, out);
    return true;
}

void TestPatternSource::draw(int width, int height, std::uint64_t timeMs, Picture& out) {
    out.reset(width, height, 24);
    const int squareSize = std::max(8, height / 4);
    const int travelX = std::max(1, width - squareSize);
    const int travelY = std::max(1, height - squareSize);
    // A square that bounces from wall to wall and a line that sweeps down.
    auto bounce = [](std::uint64_t t, int travel) {
        int p = static_cast<int>(t % static_cast<std::uint64_t>(2 * travel));
        return p < travel ? p : 2 * travel - p;
    };
    const int sx = bounce(timeMs / 20, travelX);
    const int sy = bounce(timeMs / 30, travelY);
    const int line = static_cast<int>((timeMs / 25) % static_cast<std::uint64_t>(height));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row =
            out.bits.data() + static_cast<std::size_t>(height - 1 - y) * out.rowBytes();
        for (int x = 0; x < width; ++x) {
            Bgr c;
            if (y < height * 2 / 3) {
                c = kBars[x * 8 / width];
            } else {
                auto v = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
                c = {v, v, v};
            }
            if (x >= sx && x < sx + squareSize && y >= sy && y < sy + squareSize) {
                bool check = (((x - sx) / 4) + ((y - sy) / 4)) % 2 == 0;
                c = check ? Bgr{20, 20, 200} : Bgr{240, 240, 240};
            }
            if (y == line || y == (line + 1) % height)
                c = {0, 0, 0};
            row[x * 3] = c.b;
            row[x * 3 + 1] = c.g;
            row[x * 3 + 2] = c.r;
        }
    }
}

}  // namespace krl
