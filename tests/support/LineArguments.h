#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace krl::test {

// The line options of a linesim subcommand ("--baud", "--ber", "--drop", "--latency", "--seed",
// "--duration") from options that carry those fields (LineSimOptions, ModemSimOptions).
template <typename Options>
std::vector<std::string> lineArguments(const Options& o) {
    // Rates are written with every digit so that the tool gets the value the test chose.
    const auto rate = [](double value) {
        std::ostringstream out;
        out.precision(17);
        out << value;
        return out.str();
    };
    return {"--baud", std::to_string(o.baud), "--ber",      rate(o.bitErrorRate),
            "--drop", rate(o.dropRate),       "--latency",  std::to_string(o.latencyMs),
            "--seed", std::to_string(o.seed), "--duration", std::to_string(o.durationSeconds)};
}

}  // namespace krl::test
