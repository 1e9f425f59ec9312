#include "platform/ffmpeg/CameraCaptureSource.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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

bool CameraCaptureSource::open(const std::string& path, int width, int height, std::string& error) {
    if (!reader_.open(path, error, "video4linux2"))
        return false;
    fitPictureSize(reader_.width(), reader_.height(), std::clamp(width, 8, 176),
                   std::clamp(height, 8, 144), width_, height_);
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
