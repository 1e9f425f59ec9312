#include "ColourMatcher.h"

#include <algorithm>

#include "ColourSpace.h"

namespace brm {

namespace {

constexpr int kWindow = 13;

int halfSquare(int d) {
    return d * d / 2;
}

}  // namespace

void ColourMatcher::build(const uint8_t* palette, int count) {
    entries_.clear();
    count = std::clamp(count, 0, 256);
    for (int i = 0; i < count; ++i) {
        const uint8_t* q = palette + i * 4;
        const int r = q[2];
        const int g = q[1];
        const int b = q[0];
        entries_.push_back({static_cast<uint8_t>(lumaOf(r, g, b)),
                            static_cast<uint8_t>(cbSumOf(r, g, b) >> 14),
                            static_cast<uint8_t>(crSumOf(r, g, b) >> 14), static_cast<uint8_t>(i)});
    }
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.y < b.y; });
    // A palette shorter than the window is searched whole.
    window_ = std::min(count, kWindow);
    int first = 0;
    for (int v = 0; v < 256; ++v) {
        while (first < count && entries_[static_cast<size_t>(first)].y < v) {
            ++first;
        }
        int start = 0;
        if (count >= kWindow) {
            start = std::clamp(first, kWindow / 2, count - kWindow / 2 - 1) - kWindow / 2;
        }
        windowStart_[static_cast<size_t>(v)] = static_cast<uint16_t>(start);
    }
}

uint8_t ColourMatcher::match(int y, int cb, int cr) const {
    if (entries_.empty()) {
        return 0;
    }
    const int start = windowStart_[static_cast<size_t>(std::clamp(y, 0, 255))];
    int best = start;
    int bestDistance = 1 << 30;
    for (int i = start; i < start + window_; ++i) {
        const Entry& e = entries_[static_cast<size_t>(i)];
        const int d = halfSquare(y - e.y) + halfSquare(cb - e.cb) + halfSquare(cr - e.cr);
        if (d <= bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return entries_[static_cast<size_t>(best)].index;
}

}  // namespace brm
