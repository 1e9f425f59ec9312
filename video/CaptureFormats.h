#pragma once

#include <optional>
#include <vector>

#include "video/PictureSize.h"

namespace krl {

// The picture sizes the Video Format dialog offers for a capture source, and the frame size a
// camera is best opened at for one of them. Pictures are at most 176x144 in multiples of 8; a
// camera's larger frames are scaled down keeping their shape.
class CaptureFormats {
public:
    // The sizes small enough to send: what the test pattern draws, and the boxes a larger frame
    // is scaled into.
    static const std::vector<PictureSize>& standardSizes();

    // The pictures one device frame size gives: the frame itself when it fits, else the frame
    // scaled into each standard box.
    static std::vector<PictureSize> picturesFrom(PictureSize frame);

    // What can be asked of a source whose device delivers these frame sizes: a frame that
    // already fits is offered as it is, a larger one scaled into each standard box. Largest
    // first, each size once.
    static std::vector<PictureSize> offered(const std::vector<PictureSize>& deviceSizes);

    // The smallest device frame size among whose pictures this one is; nothing when none is
    // (the device's own default then serves, scaled to fit).
    static std::optional<PictureSize> deviceSizeFor(const std::vector<PictureSize>& deviceSizes,
                                                    PictureSize picture);

    // The offered entry to select for the picture size in use: the same size, else the largest
    // one that is not bigger, else the first.
    static int indexFor(const std::vector<PictureSize>& offered, PictureSize current);
};

}  // namespace krl
