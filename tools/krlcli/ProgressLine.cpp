#include "tools/krlcli/ProgressLine.h"

#include <cstdio>

namespace krl::cli {

void ProgressLine::show(const std::string& label, std::uint64_t done, std::uint64_t total,
                        double bytesPerSecond) {
    if (!enabled_)
        return;
    int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    char text[256];
    std::snprintf(text, sizeof text, "%-32.32s %3d%% %12llu/%llu bytes %9.0f B/s", label.c_str(),
                  percent, static_cast<unsigned long long>(done),
                  static_cast<unsigned long long>(total), bytesPerSecond);
    std::string line = text;
    std::size_t width = line.size();
    if (width < shownWidth_)
        line.append(shownWidth_ - width, ' ');
    out_ << '\r' << line << std::flush;
    shownWidth_ = width;
}

void ProgressLine::clear() {
    if (!enabled_ || shownWidth_ == 0)
        return;
    out_ << '\n' << std::flush;
    shownWidth_ = 0;
}

}  // namespace krl::cli
