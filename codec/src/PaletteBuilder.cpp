#include "PaletteBuilder.h"

#include <algorithm>

namespace brm {

void PaletteBuilder::add(Rgb pixel) {
    if (!started_) {
        std::fill(std::begin(heads_), std::end(heads_), -1);
        started_ = true;
    }
    const uint8_t r = pixel.r & 252;
    const uint8_t g = pixel.g & 252;
    const uint8_t b = pixel.b & 252;
    const int bucket = (r + g + b) % 512;
    int last = -1;
    for (int i = heads_[bucket]; i >= 0; i = colours_[static_cast<size_t>(i)].next) {
        Colour& c = colours_[static_cast<size_t>(i)];
        if (c.c[0] == r && c.c[1] == g && c.c[2] == b) {
            ++c.count;
            return;
        }
        last = i;
    }
    if (static_cast<int>(colours_.size()) >= kMaxColours) {
        // Past the limit a new colour is counted on the last colour of its chain.
        const int target = last >= 0 ? last : static_cast<int>(colours_.size()) - 1;
        ++colours_[static_cast<size_t>(target)].count;
        return;
    }
    colours_.push_back({{r, g, b}, 1, -1});
    const int index = static_cast<int>(colours_.size()) - 1;
    if (last >= 0) {
        colours_[static_cast<size_t>(last)].next = index;
    } else {
        heads_[bucket] = index;
    }
}

void PaletteBuilder::measure(Box& box) const {
    int lo[3] = {255, 255, 255};
    int hi[3] = {0, 0, 0};
    box.count = 0;
    for (int i = box.begin; i < box.end; ++i) {
        const Colour& c = colours_[static_cast<size_t>(order_[static_cast<size_t>(i)])];
        box.count += c.count;
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min<int>(lo[k], c.c[k]);
            hi[k] = std::max<int>(hi[k], c.c[k]);
        }
    }
    for (int k = 0; k < 3; ++k) {
        box.range[k] = box.end > box.begin ? hi[k] - lo[k] : 0;
    }
}

bool PaletteBuilder::split(Box& box, Box& rest) {
    int axis = 0;
    if (box.range[1] > box.range[0]) {
        axis = 1;
    }
    if (box.range[2] > box.range[0] && box.range[2] > box.range[1]) {
        axis = 2;
    }
    if (box.range[axis] == 0) {
        return false;
    }
    auto first = order_.begin() + box.begin;
    auto last = order_.begin() + box.end;
    std::stable_sort(first, last, [&](int a, int b) {
        return colours_[static_cast<size_t>(a)].c[axis] < colours_[static_cast<size_t>(b)].c[axis];
    });
    auto value = [&](int i) {
        return colours_[static_cast<size_t>(order_[static_cast<size_t>(i)])].c[axis];
    };
    auto countAt = [&](int i) {
        return uint64_t{colours_[static_cast<size_t>(order_[static_cast<size_t>(i)])].count};
    };
    // Compare against half the box's pixel count in doubled units to stay exact.
    const uint64_t total = box.count;
    uint64_t running = countAt(box.begin);
    int recorded = box.begin;
    uint64_t recordedRunning = 0;
    int stop = -1;
    uint64_t stopRunning = 0;
    for (int i = box.begin + 1; i < box.end; ++i) {
        running += countAt(i);
        if (value(i) <= value(i - 1)) {
            continue;
        }
        if (2 * running < total) {
            recorded = i;
            recordedRunning = running;
            continue;
        }
        stop = i;
        stopRunning = running;
        break;
    }
    int cut;
    if (stop >= 0) {
        const bool nearer =
            recorded == box.begin || (total >= 2 * recordedRunning &&
                                      total - 2 * recordedRunning >= 2 * stopRunning - total);
        cut = nearer ? stop : recorded;
    } else {
        if (recorded == box.begin) {
            return false;
        }
        cut = recorded;
    }
    rest = Box{cut, box.end, 0, {0, 0, 0}};
    box.end = cut;
    measure(box);
    measure(rest);
    return true;
}

int PaletteBuilder::build(int wanted, uint8_t* palette) {
    wanted = std::clamp(wanted, 0, 255);
    const int distinct = static_cast<int>(colours_.size());
    auto write = [&](int slot, const Colour& c) {
        palette[slot * 4] = c.c[2];
        palette[slot * 4 + 1] = c.c[1];
        palette[slot * 4 + 2] = c.c[0];
    };
    if (distinct <= wanted) {
        for (int i = 0; i < distinct; ++i) {
            write(i, colours_[static_cast<size_t>(i)]);
        }
        return distinct;
    }
    order_.resize(static_cast<size_t>(distinct));
    for (int i = 0; i < distinct; ++i) {
        order_[static_cast<size_t>(i)] = i;
    }
    std::vector<Box> boxes;
    boxes.push_back({0, distinct, 0, {0, 0, 0}});
    measure(boxes[0]);
    std::vector<bool> unsplittable(1, false);
    while (static_cast<int>(boxes.size()) < wanted) {
        int pick = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (unsplittable[i] || boxes[i].end - boxes[i].begin < 2) {
                continue;
            }
            if (pick < 0 || boxes[i].count > boxes[static_cast<size_t>(pick)].count) {
                pick = static_cast<int>(i);
            }
        }
        if (pick < 0) {
            break;
        }
        Box rest{};
        if (!split(boxes[static_cast<size_t>(pick)], rest)) {
            unsplittable[static_cast<size_t>(pick)] = true;
            continue;
        }
        boxes.push_back(rest);
        unsplittable.push_back(false);
    }
    for (size_t i = 0; i < boxes.size(); ++i) {
        write(static_cast<int>(i),
              colours_[static_cast<size_t>(order_[static_cast<size_t>(boxes[i].begin)])]);
    }
    return static_cast<int>(boxes.size());
}

}  // namespace brm
