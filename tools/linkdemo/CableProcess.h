#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace krl::linkdemo {

// A running "linesim cable": started with the given options, stopped (SIGTERM) on destruction.
class CableProcess {
public:
    CableProcess(const std::string& executable, const std::vector<std::string>& options);
    ~CableProcess();
    CableProcess(const CableProcess&) = delete;
    CableProcess& operator=(const CableProcess&) = delete;

    bool ok() const { return pid_ > 0 && !pathB_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& pathA() const { return pathA_; }
    const std::string& pathB() const { return pathB_; }

    // Ends the cable and waits for it.
    void stop();

private:
    bool readPaths();

    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string pathA_;
    std::string pathB_;
    std::string error_;
};

}  // namespace krl::linkdemo
