#include "support/ModemSim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>

#include "support/LineSim.h"

namespace krl::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr auto kStopTimeout = std::chrono::seconds(10);
constexpr int kControlTimeoutMs = 10000;

std::string number(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

std::vector<std::string> commandLine(const ModemSimOptions& o) {
    return {LineSim::executable(),
            "modems",
            "--number-a",
            o.numberA,
            "--number-b",
            o.numberB,
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
            "--ring-ms",
            std::to_string(o.ringMs),
            "--dial-ms",
            std::to_string(o.dialMs),
            "--handshake-ms",
            std::to_string(o.handshakeMs),
            "--duration",
            std::to_string(o.durationSeconds)};
}

int msLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ModemSim::ModemSim(const ModemSimOptions& options) {
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
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return;
    }
    if (pid == 0) {
        // The emulator must not outlive a test process that crashed.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    pid_ = pid;
    stdoutFd_ = pipeFds[0];
    std::vector<std::string> lines;
    if (!readStartLines(stdoutFd_, lines) || !connectControl(lines[2])) {
        stop();
        return;
    }
    portA_ = lines[0];
    portB_ = lines[1];
}

ModemSim::~ModemSim() {
    stop();
}

bool ModemSim::readStartLines(int fd, std::vector<std::string>& lines) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (lines.size() < 3) {
        const int left = msLeft(deadline);
        if (left <= 0) {
            error_ = "linesim modems did not print its ports in time";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready <= 0)
            continue;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            error_ =
                "linesim modems ended before printing its ports (" + LineSim::executable() + ")";
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = text.find('\n')) != std::string::npos) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
    }
    return true;
}

bool ModemSim::connectControl(const std::string& address) {
    const std::string prefix = "tcp://127.0.0.1:";
    if (address.rfind(prefix, 0) != 0) {
        error_ = "unexpected control address " + address;
        return false;
    }
    const int port = std::atoi(address.c_str() + prefix.size());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = "cannot reach the control port " + address;
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    controlFd_ = fd;
    return true;
}

std::string ModemSim::control(const std::string& command) {
    if (controlFd_ < 0)
        return {};
    const std::string line = command + "\n";
    if (::send(controlFd_, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
        return {};
    }
    std::string answer;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kControlTimeoutMs);
    for (;;) {
        pollfd p{controlFd_, POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) <= 0)
            return {};
        char c;
        if (::recv(controlFd_, &c, 1, 0) != 1)
            return {};
        if (c == '\n')
            return answer;
        answer.push_back(c);
    }
}

int ModemSim::stop() {
    if (controlFd_ >= 0) {
        ::close(controlFd_);
        controlFd_ = -1;
    }
    int status = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        auto wait = [this, &status] {
            const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
            for (;;) {
                const pid_t r = ::waitpid(pid_, &status, WNOHANG);
                if (r == pid_ || (r < 0 && errno != EINTR))
                    return true;
                if (std::chrono::steady_clock::now() >= deadline)
                    return false;
                ::usleep(5000);
            }
        };
        if (!wait()) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        pid_ = -1;
    }
    if (stdoutFd_ >= 0) {
        ::close(stdoutFd_);
        stdoutFd_ = -1;
    }
    return status;
}

}  // namespace krl::test
