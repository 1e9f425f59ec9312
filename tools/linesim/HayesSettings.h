#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace krl::linesim {

// The result codes of a Hayes modem; the numbers are what it prints with V0.
enum class HayesResult : std::uint8_t {
    Ok = 0,
    Connect = 1,
    Ring = 2,
    NoCarrier = 3,
    Error = 4,
    NoDialtone = 6,
    Busy = 7,
    NoAnswer = 8,
};

// The settings of a Hayes modem that ATZ and AT&F restore (the S-registers and the E, Q, V, X,
// &C and &D settings), the commands that change or show them, and how they shape what the
// modem prints to the computer.
struct HayesSettings {
    enum class Outcome : std::uint8_t { Done, Refused, Restored };

    HayesSettings() { restore(); }
    // The factory settings.
    void restore();
    // Runs the command letter c of a command line (upper case) whose values start at line[i],
    // moving i past them; what it shows goes to out. Refused for a command that is not one of
    // these or a value out of range; Restored after AT&F.
    Outcome run(char c, const std::string& line, std::size_t& i, std::vector<std::uint8_t>& out);
    // The result code as the settings print it (nothing when quiet); rate is the connect rate.
    void printResult(HayesResult result, std::uint32_t rate, std::vector<std::uint8_t>& out) const;
    // A line of text between line ends.
    void printText(const std::string& text, std::vector<std::uint8_t>& out) const;
    // The escape guard time in milliseconds.
    std::uint64_t guardMs() const { return static_cast<std::uint64_t>(s[12]) * 20; }

    std::array<std::uint8_t, 256> s{};
    bool echo = true;
    bool quiet = false;
    bool verbose = true;
    int resultLevel = 4;  // ATX
    int dcdMode = 1;      // AT&C
    int dtrMode = 2;      // AT&D
};

}  // namespace krl::linesim
