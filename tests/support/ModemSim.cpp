#include "support/ModemSim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "support/LineArguments.h"
#include "support/LineSim.h"

namespace krl::test {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr int kControlTimeoutMs = 10000;

std::vector<std::string> commandLine(const ModemSimOptions& o) {
    std::vector<std::string> args{LineSim::executable(), "modems",
                                  "--number-a",          o.numberA,
                                  "--number-b",          o.numberB,
                                  "--ring-ms",           std::to_string(o.ringMs),
                                  "--dial-ms",           std::to_string(o.dialMs),
                                  "--handshake-ms",      std::to_string(o.handshakeMs)};
    const std::vector<std::string> line = lineArguments(o);
    args.insert(args.end(), line.begin(), line.end());
    return args;
}

int msLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ModemSim::ModemSim(const ModemSimOptions& options) {
    std::vector<std::string> lines;
    if (!process_.start(commandLine(options)) ||
        !process_.readLines(3, kStartTimeout, lines, "linesim modems", "its ports")) {
        error_ = process_.error() + " (" + LineSim::executable() + ")";
        stop();
        return;
    }
    if (!connectControl(lines[2])) {
        stop();
        return;
    }
    portA_ = lines[0];
    portB_ = lines[1];
}

ModemSim::~ModemSim() {
    stop();
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
    return process_.stop();
}

}  // namespace krl::test
