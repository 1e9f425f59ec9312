#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace krl::linesim {

// The command line a Hayes modem assembles from the computer's bytes in command mode: "AT"
// starts one, the carriage return ends it, backspace takes a character back and "A/" runs the
// last line again. A line longer than 255 characters is spoilt: it ends in an error.
class AtCommandLine {
public:
    enum class Event : std::uint8_t { None, LineEnded, Overflowed };

    // Takes one character (parity stripped); carriageReturn and backspace are the modem's S3
    // and S5. On LineEnded the line to run is line().
    Event add(char ch, char carriageReturn, char backspace);
    // The line that ended last (or is run again by "A/").
    const std::string& line() const { return lastLine_; }
    // Drops a line being typed.
    void clear();

private:
    enum class Prefix : std::uint8_t { None, GotA, InLine };
    Prefix prefix_ = Prefix::None;
    std::string buffer_;
    std::string lastLine_;
    bool overflow_ = false;
};

// Reads an optional decimal number at line[i], moving i past it; absent reads as 0. -1 when it
// is absurdly long.
int readAtNumber(const std::string& line, std::size_t& i);

}  // namespace krl::linesim
