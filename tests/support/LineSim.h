#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/ChildProcess.h"

namespace krl::test {

// What the virtual cable does to the bytes it carries.
struct LineSimOptions {
    std::uint32_t baud = 115200;
    double bitErrorRate = 0.0;
    double dropRate = 0.0;
    std::uint32_t latencyMs = 0;
    std::uint64_t seed = 1;
    // The cable stops by itself after this long even if the test never ends it.
    std::uint32_t durationSeconds = 1800;
    // Further arguments for "linesim cable", e.g. {"--link-a", "/tmp/portA"}.
    std::vector<std::string> extraArguments = {};
};

// A running "linesim cable": two pseudo-terminals joined by a simulated serial line. Starts
// the tool on construction and ends it on destruction; it also ends if the test process dies.
//
//   krl::test::LineSim cable({.baud = 38400});
//   ASSERT_TRUE(cable.ok()) << cable.error();
//   open cable.pathA() at one end and cable.pathB() at the other.
class LineSim {
public:
    explicit LineSim(const LineSimOptions& options = {});
    ~LineSim();
    LineSim(const LineSim&) = delete;
    LineSim& operator=(const LineSim&) = delete;

    bool ok() const { return process_.running() && !pathA_.empty() && !pathB_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& pathA() const { return pathA_; }
    const std::string& pathB() const { return pathB_; }
    pid_t pid() const { return process_.pid(); }

    // Ends the cable now (both devices vanish under whoever has them open) and waits for it.
    // Returns the tool's exit status as waitpid gives it, or -1 when it was not running.
    int stop();
    // Waits up to timeoutMs for the cable to end by itself (its duration ran out). Returns the
    // exit status as waitpid gives it, or -1 when it is still running (it is then left running).
    int waitForExit(int timeoutMs);

    // The linesim executable the tests were built with.
    static std::string executable();

private:
    tools::ChildProcess process_;
    std::string pathA_;
    std::string pathB_;
    std::string error_;
};

}  // namespace krl::test
