#include "support/LineSim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <vector>

#ifndef KRL_LINESIM_PATH
#error "KRL_LINESIM_PATH must name the linesim executable"
#endif

namespace krl::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr auto kStopTimeout = std::chrono::seconds(10);

std::string number(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

std::vector<std::string> commandLine(const LineSimOptions& o) {
    std::vector<std::string> args{LineSim::executable(),
                                  "cable",
                                  "--baud",
                                  std::to_string(o.baud),
                                  "--ber",
                                  number(o.bitErrorRate),
                                  "--drop",
                                  number(o.dropRate),
                                  "--latency",
                                  std::to_string(o.latencyMs),
                                  "--seed",
                                  std::to_string(o.seed),
                                  "--duration",
                                  std::to_string(o.durationSeconds)};
    args.insert(args.end(), o.extraArguments.begin(), o.extraArguments.end());
    return args;
}

// Waits for the child up to `timeout`; true when it has been reaped.
bool waitFor(pid_t pid, std::chrono::milliseconds timeout, int& status) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(5000);
    }
}

}  // namespace

std::string LineSim::executable() {
    return KRL_LINESIM_PATH;
}

LineSim::LineSim(const LineSimOptions& options) {
    std::vector<std::string> args = commandLine(options);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return;
    }
    if (pid == 0) {
        // The cable must not outlive a test process that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        // Nothing of the test's (other cables' devices, sockets) stays open in the cable.
        ::close_range(3, ~0u, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    pid_ = pid;
    stdoutFd_ = pipeFds[0];
    if (!readPaths(stdoutFd_))
        stop();
}

LineSim::~LineSim() {
    stop();
}

bool LineSim::readPaths(int fd) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    std::vector<std::string> lines;
    while (lines.size() < 2) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = "linesim did not print its device paths in time";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[256];
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "linesim ended before printing its device paths (" + executable() + ")";
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = text.find('\n')) != std::string::npos) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
    }
    pathA_ = lines[0];
    pathB_ = lines[1];
    return true;
}

int LineSim::waitForExit(int timeoutMs) {
    int status = -1;
    if (pid_ <= 0 || !waitFor(pid_, std::chrono::milliseconds(timeoutMs), status))
        return -1;
    pid_ = -1;
    return status;
}

int LineSim::stop() {
    int status = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!waitFor(pid_, kStopTimeout, status)) {
            ::kill(pid_, SIGKILL);
            waitFor(pid_, kStopTimeout, status);
        }
        pid_ = -1;
    }
    if (stdoutFd_ >= 0)
        ::close(stdoutFd_);
    stdoutFd_ = -1;
    return status;
}

}  // namespace krl::test
