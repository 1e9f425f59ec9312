#include "tools/common/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace krl::tools {

namespace {

constexpr auto kStopTimeout = std::chrono::seconds(10);

// Waits for the child up to `timeout`; true when it has been reaped (or cannot be waited for).
bool reap(pid_t pid, std::chrono::milliseconds timeout, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(5000);
    }
}

int msLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::start(const std::vector<std::string>& args) {
    stop();
    error_.clear();
    if (args.empty()) {
        error_ = "no program to start";
        return false;
    }
    // Everything the child needs is made before the fork: only async-signal-safe calls after.
    std::vector<std::string> owned = args;
    std::vector<char*> argv;
    for (std::string& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (pid == 0) {
        // The helper must not outlive a parent that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        // Nothing of the parent's (other helpers' devices, sockets) stays open in the child.
        ::close_range(3, ~0u, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    pid_ = pid;
    stdoutFd_ = pipeFds[0];
    return true;
}

bool ChildProcess::readLines(std::size_t count, std::chrono::milliseconds timeout,
                             std::vector<std::string>& lines, const std::string& who,
                             const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text;
    while (lines.size() < count) {
        const int left = msLeft(deadline);
        if (left <= 0) {
            error_ = who + " did not print " + what + " in time";
            return false;
        }
        pollfd p{stdoutFd_, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0)
            continue;  // interrupted, or the time is up: the check above decides
        char buffer[256];
        const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = who + " ended before printing " + what;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = text.find('\n')) != std::string::npos;) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
    }
    return true;
}

int ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    int status = -1;
    if (pid_ <= 0 || !reap(pid_, timeout, status))
        return -1;
    pid_ = -1;
    return status;
}

int ChildProcess::stop() {
    int status = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!reap(pid_, kStopTimeout, status)) {
            ::kill(pid_, SIGKILL);
            reap(pid_, kStopTimeout, status);
        }
        pid_ = -1;
    }
    if (stdoutFd_ >= 0)
        ::close(stdoutFd_);
    stdoutFd_ = -1;
    return status;
}

}  // namespace krl::tools
