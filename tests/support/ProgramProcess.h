#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace krl::test {

// How long an end-to-end step waits for what a user would see: two programs on a loaded machine.
inline constexpr int kProgramWaitMs = 90000;

// Waits up to ms for what a user would see (polled every 50 ms); whether it came.
inline bool waitUntil(const std::function<bool()>& condition, int ms = kProgramWaitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Where a process's standard streams go. Standard input is a pipe the test writes to, or
// /dev/null; output and errors go to the named files, or where the test's own go.
struct ProcessStreams {
    bool input = false;
    std::string output;
    std::string errors;
    // The largest file the process may write (RLIMIT_FSIZE), 0 for no limit.
    rlim_t fileSizeLimit = 0;
};

// One running program (a copy of Kestrelcall, krlcli), started with its own environment
// additions. A copy of Kestrelcall is driven over its test channel (KRL_TEST_CHANNEL) one command
// line at a time. Ended (SIGTERM, then SIGKILL) on destruction.
class ProgramProcess {
public:
    ProgramProcess(const std::string& executable, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment,
                   const ProcessStreams& streams = {});
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits up to timeoutMs for the process to end; its exit status as waitpid gives it, or
    // -1 when it is still running.
    int waitForExit(int timeoutMs);
    // The same wait; the exit code, 128 + the signal that ended it, or -1 while it runs.
    int exitCode(int timeoutMs);
    bool running();

    void signal(int number);
    // Writes to standard input (when it is a pipe), or ends it.
    void type(const std::string& text);
    void closeInput();

    // Sends one command to the channel at socketPath and returns the answer line (empty when
    // the channel cannot be reached).
    static std::string ask(const std::string& socketPath, const std::string& command);

private:
    pid_t pid_ = -1;
    int status_ = -1;
    int input_ = -1;
};

}  // namespace krl::test
