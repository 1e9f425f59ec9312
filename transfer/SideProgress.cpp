#include "transfer/SideProgress.h"

#include <algorithm>

namespace krl {

SideProgress progressOf(const TransferStatus& status, long rate, std::uint32_t lineBitsPerSecond) {
    SideProgress p;
    p.path = status.path;
    const std::uint64_t size = status.size == 0 ? 1 : status.size;
    const std::uint64_t done = std::min(status.bytesDone, size);
    p.percent = static_cast<int>(static_cast<double>(done) / static_cast<double>(size) * 100.0);
    if (rate > 0) {
        p.bytesPerSecond = rate;
        const std::uint64_t left = size - done;
        p.secondsLeft = static_cast<long>((left + static_cast<std::uint64_t>(rate) - 1) /
                                          static_cast<std::uint64_t>(rate));
        if (lineBitsPerSecond >= 10) {
            const std::uint64_t lineBytes = lineBitsPerSecond / 10;
            p.lineShare = static_cast<int>(static_cast<std::uint64_t>(rate) * 100 / lineBytes);
        }
    }
    return p;
}

std::string figuresText(const SideProgress& p) {
    if (p.bytesPerSecond <= 0)
        return {};
    std::string text = std::to_string(p.bytesPerSecond) + " CPS";
    if (p.lineShare >= 0)
        text += ", " + std::to_string(p.lineShare) + "% of the line";
    if (p.secondsLeft >= 0) {
        const long h = p.secondsLeft / 3600, m = p.secondsLeft / 60 % 60, s = p.secondsLeft % 60;
        auto two = [](long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
        text += ", " + (h > 0 ? std::to_string(h) + ":" + two(m) : std::to_string(m)) + ":" +
                two(s) + " left";
    }
    return text;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace krl
