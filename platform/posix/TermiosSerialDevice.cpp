#include "platform/posix/TermiosSerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/posix/CustomBaud.h"
#include "platform/posix/PortName.h"

namespace krl {

namespace {

struct SpeedEntry {
    std::uint32_t rate;
    speed_t constant;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// The termios constant of a rate, or B0 when it has none.
speed_t speedConstant(std::uint32_t rate) {
    auto it = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                           [rate](const SpeedEntry& e) { return e.rate == rate; });
    return it == std::end(kSpeeds) ? B0 : it->constant;
}

tcflag_t dataBitsFlag(std::uint8_t bits) {
    switch (bits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t parityFlags(Parity parity) {
    switch (parity) {
        case Parity::None:
            return 0;
        case Parity::Odd:
            return PARENB | PARODD;
        case Parity::Even:
            return PARENB;
        case Parity::Mark:
            return PARENB | PARODD | CMSPAR;
        case Parity::Space:
            return PARENB | CMSPAR;
    }
    return 0;
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}

}  // namespace

TermiosSerialDevice::TermiosSerialDevice(const TickSource& ticks, TermiosOptions options)
    : ticks_(ticks), options_(options) {}

TermiosSerialDevice::~TermiosSerialDevice() {
    close();
}

bool TermiosSerialDevice::open(const std::string& name) {
    close();
    std::string path = posixDevicePath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    // A port starts empty, as a receiver that was off while the port was closed: nothing sent
    // to it before it was opened (a relay keeps a pseudo-terminal's far end alive) is read.
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    hungUp_ = false;
    queue_.clear(ticks_.nowMs());
    queue_.setLineRateHint(0, ticks_.nowMs());
    return true;
}

bool TermiosSerialDevice::configure(const LineSettings& settings) {
    if (fd_ < 0 || settings.baudRate == 0 || settings.dataBits < 5 || settings.dataBits > 8) {
        return false;
    }
    termios current{};
    if (::tcgetattr(fd_, &current) != 0)
        return false;
    termios wanted = current;
    wanted.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                        IXANY | INPCK | IUCLC | IMAXBEL);
    wanted.c_oflag &= ~OPOST;
    wanted.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    wanted.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    wanted.c_cflag |=
        CLOCAL | CREAD | dataBitsFlag(settings.dataBits) | parityFlags(settings.parity);
    if (settings.stopBits != StopBits::One)
        wanted.c_cflag |= CSTOPB;
    if (settings.ctsRtsFlowControl)
        wanted.c_cflag |= CRTSCTS;
    wanted.c_cc[VMIN] = 0;
    wanted.c_cc[VTIME] = 0;
    wanted.c_cc[VSTART] = 0x11;
    wanted.c_cc[VSTOP] = 0x13;
    speed_t speed = speedConstant(settings.baudRate);
    if (speed != B0) {
        ::cfsetispeed(&wanted, speed);
        ::cfsetospeed(&wanted, speed);
    }
    if (!sameSettings(current, wanted) && ::tcsetattr(fd_, TCSANOW, &wanted) != 0)
        return false;
    if (speed == B0 && !setCustomBaud(fd_, settings.baudRate))
        return false;
    queue_.setPort(settings, ticks_.nowMs());
    return true;
}

void TermiosSerialDevice::setLineRateHint(std::uint32_t bitsPerSecond) {
    queue_.setLineRateHint(bitsPerSecond, ticks_.nowMs());
}

bool TermiosSerialDevice::hungUp() const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

long TermiosSerialDevice::read(std::uint8_t* buffer, std::size_t count) {
    if (fd_ < 0)
        return -1;
    if (count == 0)
        return 0;
    ssize_t got = ::read(fd_, buffer, count);
    if (got > 0) {
        hungUp_ = false;
        return static_cast<long>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        hungUp_ = false;
        return 0;
    }
    // A raw port with nothing waiting reads 0 bytes, and so does one that has been hung up
    // (an unplugged adapter): only the latter also signals a hang-up. A terminal whose far end
    // is gone fails the read outright (EIO).
    hungUp_ = got < 0 || hungUp();
    return hungUp_ ? -1 : 0;
}

bool TermiosSerialDevice::waitWritable() const {
    pollfd p{fd_, POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, static_cast<int>(options_.writeStallMs));
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & POLLOUT) != 0;
}

long TermiosSerialDevice::write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0)
        return -1;
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            if (done == 0)
                return -1;
            break;
        }
        if (!waitWritable())
            break;
    }
    queue_.add(done, ticks_.nowMs());
    return static_cast<long>(done);
}

long TermiosSerialDevice::outputQueueBytes() {
    if (fd_ < 0)
        return 0;
    int reported = 0;
    if (::ioctl(fd_, TIOCOUTQ, &reported) != 0 || reported < 0)
        reported = 0;
    return std::max(static_cast<long>(reported), static_cast<long>(queue_.bytes(ticks_.nowMs())));
}

long TermiosSerialDevice::modemStatus() {
    int lines = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &lines) != 0)
        return -1;
    long status = 0;
    if (lines & TIOCM_CTS)
        status |= modem_line::kCts;
    if (lines & TIOCM_DSR)
        status |= modem_line::kDsr;
    if (lines & TIOCM_RNG)
        status |= modem_line::kRing;
    if (lines & TIOCM_CAR)
        status |= modem_line::kDcd;
    return status;
}

bool TermiosSerialDevice::setModemLine(int line, bool on) {
    return fd_ >= 0 && ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool TermiosSerialDevice::setDtr(bool on) {
    return setModemLine(TIOCM_DTR, on);
}

bool TermiosSerialDevice::setRts(bool on) {
    return setModemLine(TIOCM_RTS, on);
}

void TermiosSerialDevice::purge() {
    if (fd_ < 0)
        return;
    ::tcflush(fd_, TCIOFLUSH);
    queue_.clear(ticks_.nowMs());
}

void TermiosSerialDevice::close() {
    if (fd_ < 0)
        return;
    // The exclusive mark stays on the terminal while anyone else holds it open (a relay keeps a
    // pseudo-terminal open): clear it so the port can be opened again.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    hungUp_ = false;
    queue_.setLineRateHint(0, ticks_.nowMs());
}

}  // namespace krl
