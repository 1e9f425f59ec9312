#include "video/CaptureFormats.h"

#include <algorithm>

#include "link/VideoSettingsRecord.h"
#include "video/CaptureSource.h"

namespace krl {
namespace {

constexpr int kMaxWidth = static_cast<int>(VideoSettingsRecord::kMaxWidth);
constexpr int kMaxHeight = static_cast<int>(VideoSettingsRecord::kMaxHeight);

PictureSize fitted(PictureSize frame, PictureSize box) {
    PictureSize out;
    fitPictureSize(frame.width, frame.height, box.width, box.height, out.width, out.height);
    return out;
}

bool valid(PictureSize s) {
    return s.width > 0 && s.height > 0;
}

long area(PictureSize s) {
    return static_cast<long>(s.width) * s.height;
}

}  // namespace

const std::vector<PictureSize>& CaptureFormats::standardSizes() {
    static const std::vector<PictureSize> sizes = {{176, 144}, {160, 120}, {128, 96}, {96, 72}};
    return sizes;
}

std::vector<PictureSize> CaptureFormats::picturesFrom(PictureSize frame) {
    std::vector<PictureSize> out;
    if (!valid(frame))
        return out;
    if (frame.width <= kMaxWidth && frame.height <= kMaxHeight) {
        out.push_back(fitted(frame, {kMaxWidth, kMaxHeight}));
        return out;
    }
    for (PictureSize box : standardSizes()) {
        const PictureSize s = fitted(frame, box);
        if (std::find(out.begin(), out.end(), s) == out.end())
            out.push_back(s);
    }
    return out;
}

std::vector<PictureSize> CaptureFormats::offered(const std::vector<PictureSize>& deviceSizes) {
    std::vector<PictureSize> out;
    for (PictureSize frame : deviceSizes) {
        for (PictureSize s : picturesFrom(frame)) {
            if (std::find(out.begin(), out.end(), s) == out.end())
                out.push_back(s);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](PictureSize a, PictureSize b) {
        return area(a) != area(b) ? area(a) > area(b) : a.width > b.width;
    });
    return out;
}

std::optional<PictureSize> CaptureFormats::deviceSizeFor(
    const std::vector<PictureSize>& deviceSizes, PictureSize picture) {
    std::optional<PictureSize> best;
    for (PictureSize frame : deviceSizes) {
        const std::vector<PictureSize> pictures = picturesFrom(frame);
        if (std::find(pictures.begin(), pictures.end(), picture) == pictures.end())
            continue;
        if (!best || area(frame) < area(*best))
            best = frame;
    }
    return best;
}

int CaptureFormats::indexFor(const std::vector<PictureSize>& offered, PictureSize current) {
    int best = -1;
    for (int i = 0; i < static_cast<int>(offered.size()); ++i) {
        const PictureSize s = offered[static_cast<std::size_t>(i)];
        if (s == current)
            return i;
        if (s.width <= current.width && s.height <= current.height &&
            (best < 0 || area(s) > area(offered[static_cast<std::size_t>(best)])))
            best = i;
    }
    return best >= 0 ? best : 0;
}

}  // namespace krl
