#include "video/VideoRates.h"

#include <cstdio>

namespace krl {

std::uint64_t VideoRates::framesPerSecondHundredths(std::uint64_t frames, std::uint64_t elapsedMs) {
    if (frames == 0 || elapsedMs == 0)
        return 0;
    // Whole integer arithmetic: 41 frames in 20000 ms is exactly 205 hundredths, where a
    // floating-point quotient would truncate to 204. Split so that no product overflows.
    return frames / elapsedMs * 100000 + (frames % elapsedMs) * 100000 / elapsedMs;
}

std::string VideoRates::formatFramesPerSecond(std::uint64_t frames, std::uint64_t elapsedMs) {
    std::uint64_t h = framesPerSecondHundredths(frames, elapsedMs);
    if (frames == 0 || elapsedMs == 0)
        return "0";
    char text[48];
    std::snprintf(text, sizeof text, "%llu.%02llu", static_cast<unsigned long long>(h / 100),
                  static_cast<unsigned long long>(h % 100));
    return text;
}

std::uint64_t VideoRates::bytesPerFrame(std::uint64_t bytes, std::uint64_t frames) {
    return frames == 0 ? 0 : bytes / frames;
}

std::uint64_t VideoRates::transferCps(std::uint64_t bytes, std::uint64_t elapsedMs) {
    if (elapsedMs < 1000 || bytes == 0)
        return 0;
    return bytes / elapsedMs * 1000 + (bytes % elapsedMs) * 1000 / elapsedMs;
}

std::uint32_t VideoRates::utilisationPercent(std::uint64_t bytesPerFrame,
                                             std::uint64_t fpsHundredths, std::uint64_t cps,
                                             std::uint64_t lineBitsPerSecond) {
    double bytesPerSecond =
        static_cast<double>(bytesPerFrame) * static_cast<double>(fpsHundredths) / 100.0 +
        static_cast<double>(cps);
    if (bytesPerSecond <= 0.0)
        return 0;
    if (lineBitsPerSecond == 0)
        return 100;
    double u = bytesPerSecond * 8.0 / static_cast<double>(lineBitsPerSecond);
    if (u >= 1.0)
        return 100;
    return static_cast<std::uint32_t>(u * 100.0);
}

}  // namespace krl
