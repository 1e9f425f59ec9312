#pragma once

#include <ctime>

namespace krl {

// The calendar clock, for the date and time written in the connection log.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual std::time_t now() const = 0;
};

class SystemWallClock : public WallClock {
public:
    std::time_t now() const override { return std::time(nullptr); }
};

}  // namespace krl
