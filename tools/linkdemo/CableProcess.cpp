#include "tools/linkdemo/CableProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace krl::linkdemo {
namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 10000;

bool reap(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
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

CableProcess::CableProcess(const std::string& executable, const std::vector<std::string>& options) {
    std::vector<std::string> args{executable, "cable"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the demo
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    outFd_ = fds[0];
    if (!readPaths())
        stop();
}

CableProcess::~CableProcess() {
    stop();
}

bool CableProcess::readPaths() {
    std::string text;
    std::vector<std::string> lines;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (lines.size() < 2) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            error_ = "linesim did not print its device paths in time";
            return false;
        }
        pollfd p{outFd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
        if (n <= 0) {
            error_ = "linesim ended before printing its device paths";
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = text.find('\n')) != std::string::npos;) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
    }
    pathA_ = lines[0];
    pathB_ = lines[1];
    return true;
}

void CableProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!reap(pid_, kStopTimeoutMs)) {
            ::kill(pid_, SIGKILL);
            reap(pid_, kStopTimeoutMs);
        }
        pid_ = -1;
    }
    if (outFd_ >= 0)
        ::close(outFd_);
    outFd_ = -1;
}

}  // namespace krl::linkdemo
