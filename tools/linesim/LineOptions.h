#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/linesim/LineConfig.h"

namespace krl::linesim {

// The options every subcommand that runs a line understands.
struct LineOptions {
    LineConfig line;
    bool seedGiven = false;
    // Seconds until the tool stops by itself; 0 runs until killed.
    double durationSeconds = 0;
};

// Parses the line options out of `args` and leaves the ones it does not know in `rest` (in
// order), for the subcommand's own parser. Empty on success, else the message for the user.
std::string parseLineOptions(const std::vector<std::string>& args, LineOptions& options,
                             std::vector<std::string>& rest);

// The --help lines of the line options.
const char* lineOptionsHelp();

// Splits the option at args[i] ("--name VALUE" or "--name=VALUE") into its name and, for the
// second form, its value (inline_ set). False when args[i] is not an option.
bool splitOption(const std::vector<std::string>& args, std::size_t i, std::string& name,
                 std::string& value, bool& inline_);
// Takes the option's value (from the next argument unless inline_) and moves i past it. False
// when the value is missing.
bool takeOptionValue(const std::vector<std::string>& args, std::size_t& i, bool inline_,
                     std::string& value);

}  // namespace krl::linesim
