#include "platform/posix/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace krl {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the one StopSignals of the process; the handler may use nothing else.
volatile sig_atomic_t writeEnd = -1;

void onStopSignal(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    if (writeEnd >= 0)
        (void)!::write(writeEnd, &number, 1);
    errno = saved;
}

}  // namespace

// A handler that writes the signal's number into a pipe, rather than a blocked signal read
// through signalfd: a blocked signal would stay blocked in every program the process starts
// (a viewer opened on a received file could not then be stopped).
StopSignals::StopSignals() {
    ::signal(SIGXFSZ, SIG_IGN);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    fd_ = ends[0];
    writeFd_ = ends[1];
    writeEnd = writeFd_;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kStopSignals)
        ::sigaction(s, &action, nullptr);
}

StopSignals::~StopSignals() {
    release();
    writeEnd = -1;
    if (fd_ >= 0)
        ::close(fd_);
    if (writeFd_ >= 0)
        ::close(writeFd_);
}

int StopSignals::take() {
    unsigned char number = 0;
    if (fd_ < 0 || ::read(fd_, &number, 1) != 1)
        return 0;
    return number;
}

void StopSignals::release() {
    if (fd_ < 0)
        return;
    for (int s : kStopSignals)
        ::signal(s, SIG_DFL);
}

}  // namespace krl
