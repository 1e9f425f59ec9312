#include "video/StatisticsFigures.h"

#include "video/VideoRates.h"

namespace krl {
namespace {

StatisticsTexts::Direction directionTexts(const StatisticsInput::Direction& d,
                                          std::uint64_t lineBitsPerSecond) {
    StatisticsTexts::Direction t;
    t.packetErrors = std::to_string(d.packetErrors);
    std::uint64_t cps = 0;
    if (d.transferRunning) {
        cps = VideoRates::transferCps(d.transferBytes, d.transferElapsedMs);
        t.transferCps = std::to_string(cps);
    }
    std::uint64_t frames = d.videoFlowing ? d.videoFrames : 0;
    std::uint64_t bytes = d.videoFlowing ? d.videoBytes : 0;
    std::uint64_t elapsed = d.videoFlowing ? d.videoElapsedMs : 0;
    std::uint64_t fps = VideoRates::framesPerSecondHundredths(frames, elapsed);
    t.framesPerSecond = VideoRates::formatFramesPerSecond(frames, elapsed);
    std::uint64_t bpf = VideoRates::bytesPerFrame(bytes, frames);
    t.bytesPerFrame = std::to_string(bpf);
    t.utilisation =
        std::to_string(VideoRates::utilisationPercent(bpf, fps, cps, lineBitsPerSecond));
    return t;
}

}  // namespace

StatisticsTexts StatisticsTexts::from(const StatisticsInput& in) {
    StatisticsTexts t;
    if (!in.connected)
        return t;
    t.speed = std::to_string(in.lineBitsPerSecond) + " bps";
    t.name = in.name;
    t.phone = in.phone;
    t.sending = directionTexts(in.sending, in.lineBitsPerSecond);
    t.receiving = directionTexts(in.receiving, in.lineBitsPerSecond);
    return t;
}

}  // namespace krl
