#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace krl::cli {

// One line of progress on a terminal, rewritten in place.
class ProgressLine {
public:
    ProgressLine(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

    void show(const std::string& label, std::uint64_t done, std::uint64_t total,
              double bytesPerSecond);
    // Ends the line (if one is showing) so that other output starts on a fresh line.
    void clear();

private:
    std::ostream& out_;
    bool enabled_;
    std::size_t shownWidth_ = 0;
};

}  // namespace krl::cli
