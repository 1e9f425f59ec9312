#include "platform/ffmpeg/CameraCaptureSource.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "video/CaptureFormats.h"

namespace krl {

std::vector<CameraCaptureSource::Device> CameraCaptureSource::devices() {
    std::vector<Device> found;
    for (int i = 0; i <= 9; ++i) {
        std::string path = "/dev/video" + std::to_string(i);
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        v4l2_capability cap{};
        if (::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
            std::uint32_t caps =
                (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
            if (caps & V4L2_CAP_VIDEO_CAPTURE) {
                std::string card(reinterpret_cast<const char*>(cap.card),
                                 strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
                found.push_back({path, card.empty() ? path : card + " (" + path + ")"});
            }
        }
        ::close(fd);
    }
    return found;
}

std::vector<PictureSize> CameraCaptureSource::frameSizes(const std::string& path) {
    std::vector<PictureSize> sizes;
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return sizes;
    auto add = [&sizes](std::uint32_t w, std::uint32_t h) {
        PictureSize s{static_cast<int>(std::min<std::uint32_t>(w, 1u << 15)),
                      static_cast<int>(std::min<std::uint32_t>(h, 1u << 15))};
        if (s.width > 0 && s.height > 0 && std::find(sizes.begin(), sizes.end(), s) == sizes.end())
            sizes.push_back(s);
    };
    // Bounded loops: a driver that never says "no more" must not hang the window.
    for (std::uint32_t f = 0; f < 64; ++f) {
        v4l2_fmtdesc format{};
        format.index = f;
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (::ioctl(fd, VIDIOC_ENUM_FMT, &format) != 0)
            break;
        for (std::uint32_t n = 0; n < 256; ++n) {
            v4l2_frmsizeenum size{};
            size.index = n;
            size.pixel_format = format.pixelformat;
            if (::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) != 0)
                break;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                add(size.discrete.width, size.discrete.height);
                continue;
            }
            const auto& range = size.stepwise;
            for (PictureSize s : CaptureFormats::standardSizes()) {
                const auto w = static_cast<std::uint32_t>(s.width);
                const auto h = static_cast<std::uint32_t>(s.height);
                if (w >= range.min_width && w <= range.max_width && h >= range.min_height &&
                    h <= range.max_height)
                    add(w, h);
            }
            add(range.max_width, range.max_height);
            break;  // a range is the format's only entry
        }
    }
    ::close(fd);
    return sizes;
}

bool CameraCaptureSource::open(const std::string& path, int width, int height, std::string& error) {
    const PictureSize wanted{std::clamp(width, 8, 176), std::clamp(height, 8, 144)};
    const auto device = CaptureFormats::deviceSizeFor(frameSizes(path), wanted);
    std::string frameSize;
    if (device)
        frameSize = std::to_string(device->width) + "x" + std::to_string(device->height);
    bool atFrameSize = reader_.open(path, error, "video4linux2", frameSize);
    if (!atFrameSize && (frameSize.empty() || !reader_.open(path, error, "video4linux2")))
        return false;
    if (atFrameSize && device && reader_.width() == device->width &&
        reader_.height() == device->height) {
        // The picture offered for this frame size, exactly as the Format dialog showed it.
        width_ = wanted.width;
        height_ = wanted.height;
    } else {
        fitPictureSize(reader_.width(), reader_.height(), wanted.width, wanted.height, width_,
                       height_);
    }
    Picture first;
    if (!reader_.readNext(first, width_, height_)) {
        error = path + ": the camera delivers no picture";
        reader_.close();
        return false;
    }
    return true;
}

bool CameraCaptureSource::grab(std::uint64_t, Picture& out) {
    return reader_.readNext(out, width_, height_);
}

}  // namespace krl
