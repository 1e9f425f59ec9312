#pragma once

#include <string>
#include <vector>

#include "tools/common/ChildProcess.h"

namespace krl::linkdemo {

// A running "linesim cable": started with the given options, stopped (SIGTERM) on destruction.
class CableProcess {
public:
    CableProcess(const std::string& executable, const std::vector<std::string>& options);

    bool ok() const { return process_.running() && !pathB_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& pathA() const { return pathA_; }
    const std::string& pathB() const { return pathB_; }

    // Ends the cable and waits for it.
    void stop() { process_.stop(); }

private:
    tools::ChildProcess process_;
    std::string pathA_;
    std::string pathB_;
    std::string error_;
};

}  // namespace krl::linkdemo
