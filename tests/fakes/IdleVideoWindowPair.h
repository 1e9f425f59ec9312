#pragma once

#include "video/VideoWindowPair.h"

namespace krl::test {

// A video window pair that shows nothing: for frame tests that do not look at video.
class IdleVideoWindowPair : public VideoWindowPair {
public:
    void idle() override {}
    void setup(Connection&, const VideoSettings&, const std::string&) override {}
    void start() override {}
    void closeVideo() override {}
    void setHoldMark(HoldSide, bool) override {}
    void closeWindows() override {}
};

}  // namespace krl::test
