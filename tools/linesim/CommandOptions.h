#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tools/linesim/LineOptions.h"
#include "tools/linesim/MonotonicClock.h"

namespace krl::linesim {

// Takes one of a subcommand's own options with its value; returns the message for the user
// when the value is wrong, else empty.
using OptionSetter = std::function<std::string(const std::string& name, const std::string& value)>;

// Parses the line options out of `args`, then the subcommand's own options, each
// "--name VALUE" or "--name=VALUE" with a name from `names`, handed to `set`. Empty on success,
// else the message for the user.
std::string parseCommandOptions(const std::vector<std::string>& args, LineOptions& line,
                                std::initializer_list<std::string_view> names,
                                const OptionSetter& set);

// Picks a random seed when none was given and tells it on stderr ("linesim cable: seed N"), so
// that a run with faults can be repeated.
void settleSeed(LineOptions& options, const std::string& command);

// When the line is to stop by itself (microseconds of `clock`), or 0 to run until stopped.
std::uint64_t endTimeUs(const LineOptions& options, const MonotonicClock& clock);

}  // namespace krl::linesim
