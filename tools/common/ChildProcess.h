#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace krl::tools {

// A helper program run as a child process, such as linesim for a test or a demo. Its standard
// output comes back through a pipe so that the lines it prints at start (device paths, ports)
// can be read; standard input and error are the parent's. It keeps none of the parent's other
// descriptors, dies with the parent, and is ended (SIGTERM, then SIGKILL) on destruction.
//
//   ChildProcess child;
//   std::vector<std::string> lines;
//   if (!child.start({"/path/linesim", "cable"}) ||
//       !child.readLines(2, std::chrono::seconds(30), lines, "linesim", "its device paths"))
//       report(child.error());
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts args[0] (a path, not searched for) with args[1..] as its arguments. False when it
    // could not be started; error() then says why. A program that cannot be executed shows as
    // a child that ends at once with status 127.
    bool start(const std::vector<std::string>& args);

    // Appends the lines (without their line ends) that the child prints until at least `count`
    // have come. False when the child ends first or the time-out passes; error() then says so,
    // naming the program as `who` and what it should have printed as `what`.
    bool readLines(std::size_t count, std::chrono::milliseconds timeout,
                   std::vector<std::string>& lines, const std::string& who,
                   const std::string& what);

    // Waits up to `timeout` for the child to end by itself. Returns its exit status as waitpid
    // gives it, or -1 when it is still running (it is then left running) or was not running.
    int waitForExit(std::chrono::milliseconds timeout);

    // Ends the child now (SIGTERM, SIGKILL when it does not end within ten seconds) and waits
    // for it. Returns the exit status as waitpid gives it, or -1 when it was not running.
    int stop();

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& error() const { return error_; }

private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    std::string error_;
};

}  // namespace krl::tools
