#include "tools/common/StopSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace krl::tools {
namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

StopSignals::StopSignals() {
    sigset_t set = stopSet();
    if (sigprocmask(SIG_BLOCK, &set, nullptr) == 0)
        fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

StopSignals::~StopSignals() {
    if (fd_ >= 0)
        ::close(fd_);
}

int StopSignals::take() {
    signalfd_siginfo info{};
    if (fd_ < 0 || ::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return 0;
    return static_cast<int>(info.ssi_signo);
}

void StopSignals::release() {
    sigset_t set = stopSet();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace krl::tools
