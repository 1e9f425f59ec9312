#include "tools/linesim/LineOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace krl::linesim {

namespace {

bool parseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && out <= max;
}

bool parseFraction(const std::string& text, double& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out) && out >= 0 && out <= 1;
}

bool parseSeconds(const std::string& text, double& out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out) && out >= 0 && out < 1e9;
}

}  // namespace

bool splitOption(const std::vector<std::string>& args, std::size_t i, std::string& name,
                 std::string& value, bool& inline_) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
        return false;
    std::size_t eq = arg.find('=');
    inline_ = eq != std::string::npos;
    name = arg.substr(0, eq);
    value = inline_ ? arg.substr(eq + 1) : std::string();
    return true;
}

bool takeOptionValue(const std::vector<std::string>& args, std::size_t& i, bool inline_,
                     std::string& value) {
    if (inline_) {
        ++i;
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    value = args[i + 1];
    i += 2;
    return true;
}

namespace {

std::string applyLineOption(const std::string& name, const std::string& value,
                            LineOptions& options) {
    std::uint64_t number = 0;
    if (name == "--baud") {
        if (!parseUnsigned(value, 100000000, number) || number < 50) {
            return "--baud needs a rate from 50 to 100000000";
        }
        options.line.baud = static_cast<std::uint32_t>(number);
    } else if (name == "--ber") {
        if (!parseFraction(value, options.line.bitErrorRate)) {
            return "--ber needs a bit error rate from 0 to 1";
        }
    } else if (name == "--drop") {
        if (!parseFraction(value, options.line.dropRate)) {
            return "--drop needs a byte loss rate from 0 to 1";
        }
    } else if (name == "--latency") {
        if (!parseUnsigned(value, 60000, number))
            return "--latency needs milliseconds from 0 to 60000";
        options.line.latencyMs = static_cast<std::uint32_t>(number);
    } else if (name == "--seed") {
        if (!parseUnsigned(value, UINT64_MAX, options.line.seed)) {
            return "--seed needs an unsigned number";
        }
        options.seedGiven = true;
    } else if (name == "--duration") {
        if (!parseSeconds(value, options.durationSeconds)) {
            return "--duration needs seconds (0 runs until killed)";
        }
    }
    return {};
}

bool isLineOption(const std::string& name) {
    for (const char* known : {"--baud", "--ber", "--drop", "--latency", "--seed", "--duration"}) {
        if (name == known)
            return true;
    }
    return false;
}

}  // namespace

std::string parseLineOptions(const std::vector<std::string>& args, LineOptions& options,
                             std::vector<std::string>& rest) {
    std::size_t i = 0;
    while (i < args.size()) {
        std::string name, value;
        bool inline_ = false;
        if (!splitOption(args, i, name, value, inline_) || !isLineOption(name)) {
            rest.push_back(args[i++]);
            continue;
        }
        if (!takeOptionValue(args, i, inline_, value))
            return name + " needs a value";
        std::string error = applyLineOption(name, value, options);
        if (!error.empty())
            return error;
    }
    return {};
}

const char* lineOptionsHelp() {
    return "Line options:\n"
           "  --baud N        line rate in bits a second, 10 bits a byte (default 115200)\n"
           "  --ber R         chance that a data bit arrives inverted (0..1, default 0)\n"
           "  --drop R        chance that a byte is lost (0..1, default 0)\n"
           "  --latency MS    added one-way delay in milliseconds (default 0)\n"
           "  --seed N        seed of the fault generator (default: random, printed on stderr)\n"
           "  --duration S    stop after S seconds (default 0: run until killed)\n";
}

}  // namespace krl::linesim
