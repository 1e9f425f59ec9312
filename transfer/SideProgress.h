#pragma once

#include <cstdint>
#include <string>

#include "link/TransferStates.h"

namespace krl {

// What the panes show of one side's file: how far, how fast, what share of the line that is and
// how long the rest will take. Figures not known yet are -1.
struct SideProgress {
    std::string path;  // UTF-8; empty when nothing moves
    int percent = 0;   // 0..100, truncated
    long bytesPerSecond = -1;
    int lineShare = -1;     // bytesPerSecond against the line's bytes per second, in percent
    long secondsLeft = -1;  // the bytes still to come at bytesPerSecond, rounded up

    bool operator==(const SideProgress&) const = default;
};

// The figures for a status. rate: the last measured bytes per second of this file (-1 for
// none); lineBitsPerSecond: the line's speed (0 when unknown). A serial line carries a byte in
// ten bits (start, eight data bits, stop).
SideProgress progressOf(const TransferStatus& status, long rate, std::uint32_t lineBitsPerSecond);

// The figures as the panes write them beside the percentage: "3100 CPS, 27% of the line,
// 0:15 left"; empty until a rate is known.
std::string figuresText(const SideProgress& progress);

// The file name part of a path, as the panes show it.
std::string fileNameOf(const std::string& path);

}  // namespace krl
