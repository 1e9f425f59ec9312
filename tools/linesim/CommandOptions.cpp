#include "tools/linesim/CommandOptions.h"

#include <algorithm>
#include <iostream>
#include <random>

namespace krl::linesim {

std::string parseCommandOptions(const std::vector<std::string>& args, LineOptions& line,
                                std::initializer_list<std::string_view> names,
                                const OptionSetter& set) {
    std::vector<std::string> rest;
    std::string error = parseLineOptions(args, line, rest);
    if (!error.empty())
        return error;
    std::size_t i = 0;
    while (i < rest.size()) {
        std::string name, value;
        bool inline_ = false;
        if (!splitOption(rest, i, name, value, inline_))
            return "unknown argument " + rest[i];
        if (std::find(names.begin(), names.end(), name) == names.end())
            return "unknown option " + name;
        if (!takeOptionValue(rest, i, inline_, value))
            return name + " needs a value";
        error = set(name, value);
        if (!error.empty())
            return error;
    }
    return {};
}

void settleSeed(LineOptions& options, const std::string& command) {
    if (!options.seedGiven)
        options.line.seed = std::random_device{}();
    std::cerr << "linesim " << command << ": seed " << options.line.seed << "\n";
}

std::uint64_t endTimeUs(const LineOptions& options, const MonotonicClock& clock) {
    if (options.durationSeconds <= 0)
        return 0;
    return clock.nowUs() + static_cast<std::uint64_t>(options.durationSeconds * 1e6);
}

}  // namespace krl::linesim
