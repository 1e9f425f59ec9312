#include "support/LineSim.h"

#include <chrono>

#include "support/LineArguments.h"

#ifndef KRL_LINESIM_PATH
#error "KRL_LINESIM_PATH must name the linesim executable"
#endif

namespace krl::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);

std::vector<std::string> commandLine(const LineSimOptions& o) {
    std::vector<std::string> args{LineSim::executable(), "cable"};
    const std::vector<std::string> line = lineArguments(o);
    args.insert(args.end(), line.begin(), line.end());
    args.insert(args.end(), o.extraArguments.begin(), o.extraArguments.end());
    return args;
}

}  // namespace

std::string LineSim::executable() {
    return KRL_LINESIM_PATH;
}

LineSim::LineSim(const LineSimOptions& options) {
    std::vector<std::string> lines;
    if (!process_.start(commandLine(options)) ||
        !process_.readLines(2, kStartTimeout, lines, "linesim", "its device paths")) {
        error_ = process_.error() + " (" + executable() + ")";
        process_.stop();
        return;
    }
    pathA_ = lines[0];
    pathB_ = lines[1];
}

LineSim::~LineSim() {
    stop();
}

int LineSim::waitForExit(int timeoutMs) {
    return process_.waitForExit(std::chrono::milliseconds(timeoutMs));
}

int LineSim::stop() {
    return process_.stop();
}

}  // namespace krl::test
