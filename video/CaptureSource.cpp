#include "video/CaptureSource.h"

#include <strings.h>

#include "video/CaptureFormats.h"

namespace krl {

std::vector<PictureSize> CaptureSourceFactory::frameSizes(const std::string& name) {
    if (::strcasecmp(name.c_str(), kTestPattern) == 0)
        return CaptureFormats::standardSizes();
    return {};
}

}  // namespace krl
