#pragma once

#include <cstdint>
#include <string>

namespace krl {

// What the Connection Statistics dialog reads when it opens.
struct StatisticsInput {
    struct Direction {
        bool transferRunning = false;
        std::uint64_t transferBytes = 0;
        std::uint64_t transferElapsedMs = 0;
        bool videoFlowing = false;  // the link's video state for this direction is "sending"
        std::uint64_t videoFrames = 0;
        std::uint64_t videoBytes = 0;
        std::uint64_t videoElapsedMs = 0;
        std::int64_t packetErrors = 0;
    };
    bool connected = false;
    std::uint64_t lineBitsPerSecond = 0;
    std::string name;   // UTF-8
    std::string phone;  // UTF-8
    Direction sending;
    Direction receiving;
};

// The dialog's texts, one per field.
struct StatisticsTexts {
    struct Direction {
        std::string framesPerSecond = "0";
        std::string bytesPerFrame = "0";
        std::string transferCps = "0";
        std::string utilisation = "0";
        std::string packetErrors = "0";
    };
    std::string name;
    std::string phone;
    std::string speed = "0 bps";
    Direction sending;
    Direction receiving;

    static StatisticsTexts from(const StatisticsInput& in);
};

}  // namespace krl
