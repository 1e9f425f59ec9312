#include "platform/posix/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace krl {

namespace {

void makeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &t);
}

std::unique_ptr<PseudoTerminal> fail(std::string* error, const char* what) {
    if (error != nullptr)
        *error = std::string(what) + ": " + std::strerror(errno);
    return nullptr;
}

}  // namespace

PseudoTerminal::PseudoTerminal(int master, int slave, std::string slavePath)
    : master_(master), slave_(slave), slavePath_(std::move(slavePath)) {}

PseudoTerminal::~PseudoTerminal() {
    close();
}

std::unique_ptr<PseudoTerminal> PseudoTerminal::create(std::string* error) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        return fail(error, "posix_openpt");
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        auto result = fail(error, "pseudo-terminal set-up");
        ::close(master);
        return result;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        auto result = fail(error, "open pseudo-terminal slave");
        ::close(master);
        return result;
    }
    makeRaw(slave);
    makeRaw(master);
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave, name));
}

void PseudoTerminal::close() {
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

}  // namespace krl
