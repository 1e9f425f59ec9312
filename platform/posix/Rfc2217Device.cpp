#include "platform/posix/Rfc2217Device.h"

#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace krl {

using namespace rfc2217;

namespace {

// A byte on the line: start bit, eight data bits, stop bit; in thousandths of a bit.

std::uint8_t parityCode(Parity parity) {
    switch (parity) {
        case Parity::None:
            return cpo::kParityNone;
        case Parity::Odd:
            return cpo::kParityOdd;
        case Parity::Even:
            return cpo::kParityEven;
        case Parity::Mark:
            return cpo::kParityMark;
        case Parity::Space:
            return cpo::kParitySpace;
    }
    return cpo::kParityNone;
}

std::uint8_t stopCode(StopBits stop) {
    switch (stop) {
        case StopBits::One:
            return cpo::kStopOne;
        case StopBits::OneAndHalf:
            return cpo::kStopOneAndHalf;
        case StopBits::Two:
            return cpo::kStopTwo;
    }
    return cpo::kStopOne;
}

}  // namespace

// A bounded wait: over when the tick source passes the deadline, or when the poll calls have
// slept as long as the wait allows, so that a clock standing still can never hold us here.
class Rfc2217Device::Wait {
public:
    Wait(Rfc2217Device& device, int timeoutMs)
        : device_(device),
          deadline_(device.clock_.nowMs() + static_cast<std::uint64_t>(std::max(timeoutMs, 0))),
          sleepLeftMs_(std::max(timeoutMs, 0)) {}
    bool over() const { return sleepLeftMs_ <= 0 || device_.clock_.nowMs() >= deadline_; }
    // Sleeps until the socket is ready for `events` or a short slice has passed.
    void sleep(short events) {
        const std::uint64_t now = device_.clock_.nowMs();
        const int slice = static_cast<int>(
            std::min<std::uint64_t>({deadline_ > now ? deadline_ - now : 0,
                                     static_cast<std::uint64_t>(std::max(sleepLeftMs_, 0)), 50}));
        sleepLeftMs_ -= device_.waitFor(events, slice) ? 1 : slice;
    }

private:
    Rfc2217Device& device_;
    std::uint64_t deadline_;
    int sleepLeftMs_;
};

Rfc2217Device::Rfc2217Device(const TickSource& clock) : Rfc2217Device(clock, Options{}) {}

Rfc2217Device::Rfc2217Device(const TickSource& clock, Options options)
    : clock_(clock), options_(options) {}

Rfc2217Device::~Rfc2217Device() {
    close();
}

bool Rfc2217Device::isRemoteName(const std::string& name) {
    const std::size_t n = std::strlen(kScheme);
    if (name.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != kScheme[i])
            return false;
    }
    return true;
}

bool Rfc2217Device::parseName(const std::string& name, std::string& host, std::uint16_t& port) {
    if (!isRemoteName(name))
        return false;
    std::string rest = name.substr(std::strlen(kScheme));
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::size_t colon;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return false;
        }
        host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos)
            return false;
        host = rest.substr(0, colon);
        if (host.find(':') != std::string::npos)
            return false;
    }
    const std::string digits = rest.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || value == 0 ||
        value > 65535 || host.empty()) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool Rfc2217Device::open(const std::string& name) {
    close();
    queue_.setLineRateHint(0, clock_.nowMs());
    std::string host;
    std::uint16_t port = 0;
    if (!parseName(name, host, port))
        return false;
    if (!connectTo(host, port) || !negotiate()) {
        close();
        return false;
    }
    return true;
}

bool Rfc2217Device::connectTo(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0)
        return false;
    for (addrinfo* ai = list; ai != nullptr && fd_ < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            ::close(fd);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::poll(&p, 1, options_.connectTimeoutMs) == 1 &&
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) == 0 && soError == 0) {
            fd_ = fd;
        } else {
            ::close(fd);
        }
    }
    freeaddrinfo(list);
    if (fd_ < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    failed_ = false;
    return true;
}

bool Rfc2217Device::negotiate() {
    std::vector<std::uint8_t> hello;
    appendOption(hello, telnet::kWill, telnet::kOptComPort);
    appendOption(hello, telnet::kWill, telnet::kOptBinary);
    appendOption(hello, telnet::kDo, telnet::kOptBinary);
    appendOption(hello, telnet::kWill, telnet::kOptSuppressGoAhead);
    appendOption(hello, telnet::kDo, telnet::kOptSuppressGoAhead);
    localComPort_ = localBinary_ = localSga_ = OptionState::Requested;
    remoteBinary_ = remoteSga_ = OptionState::Requested;
    queueControl(std::move(hello));

    Wait consent(*this, options_.connectTimeoutMs);
    for (;;) {
        flush();
        pumpInput();
        if (!alive() || comPortRefused_)
            return false;
        if (localComPort_ == OptionState::On)
            break;
        if (consent.over())
            return false;
        consent.sleep(POLLIN);
    }

    std::vector<std::uint8_t> setup;
    appendComPort(setup, cpo::kSetModemStateMask, 0xFF);
    // Opening a local port raises DTR and RTS; a remote one behaves the same.
    appendComPort(setup, cpo::kSetControl, cpo::kControlDtrOn);
    appendComPort(setup, cpo::kSetControl, cpo::kControlRtsOn);
    queueControl(std::move(setup));

    // Servers report the modem lines once the mask is set; give the first report a moment so
    // that the caller's first modem check sees real lines. A server that stays silent leaves
    // the lines unknown (-1), as a port without modem lines.
    Wait firstState(*this, options_.modemStateWaitMs);
    for (;;) {
        flush();
        pumpInput();
        if (modemState_ >= 0 || !alive() || firstState.over())
            break;
        firstState.sleep(POLLIN);
    }
    queue_.clear(clock_.nowMs());
    return alive();
}

void Rfc2217Device::onOption(std::uint8_t verb, std::uint8_t option) {
    OptionState* local = nullptr;
    OptionState* remote = nullptr;
    if (option == telnet::kOptComPort)
        local = &localComPort_;
    if (option == telnet::kOptBinary)
        local = &localBinary_, remote = &remoteBinary_;
    if (option == telnet::kOptSuppressGoAhead)
        local = &localSga_, remote = &remoteSga_;

    std::vector<std::uint8_t> reply;
    switch (verb) {
        case telnet::kDo:
            if (local == nullptr) {
                appendOption(reply, telnet::kWont, option);
            } else {
                if (*local == OptionState::Off)
                    appendOption(reply, telnet::kWill, option);
                *local = OptionState::On;
            }
            break;
        case telnet::kDont:
            if (local != nullptr) {
                if (*local == OptionState::On)
                    appendOption(reply, telnet::kWont, option);
                *local = OptionState::Off;
            }
            if (option == telnet::kOptComPort)
                comPortRefused_ = true;
            break;
        case telnet::kWill:
            if (remote == nullptr) {
                appendOption(reply, telnet::kDont, option);
            } else {
                if (*remote == OptionState::Off)
                    appendOption(reply, telnet::kDo, option);
                *remote = OptionState::On;
            }
            break;
        case telnet::kWont:
            if (remote != nullptr) {
                if (*remote == OptionState::On)
                    appendOption(reply, telnet::kDont, option);
                *remote = OptionState::Off;
            }
            break;
        default:
            break;
    }
    if (!reply.empty())
        queueControl(std::move(reply));
}

void Rfc2217Device::onSubnegotiation(const std::uint8_t* data, std::size_t count) {
    if (count < 2 || data[0] != telnet::kOptComPort)
        return;
    const std::uint8_t code = data[1];
    if (count >= 3 &&
        (code == cpo::kNotifyModemState + cpo::kServerOffset || code == cpo::kNotifyModemState)) {
        modemState_ = data[2] & cpo::kModemStateLines;
    } else if (code == cpo::kPurgeData + cpo::kServerOffset) {
        purgeAcknowledged_ = true;
    } else if (code == cpo::kFlowControlSuspend + cpo::kServerOffset ||
               code == cpo::kFlowControlSuspend) {
        suspended_ = true;
    } else if (code == cpo::kFlowControlResume + cpo::kServerOffset ||
               code == cpo::kFlowControlResume) {
        suspended_ = false;
    }
    // Acknowledgements of our settings and line-state reports need no action.
}

void Rfc2217Device::queueControl(std::vector<std::uint8_t> bytes) {
    pendingBytes_ += bytes.size();
    outbound_.push_back(Segment{true, std::move(bytes), 0});
}

void Rfc2217Device::sendControl(std::uint8_t code, std::uint8_t value) {
    std::vector<std::uint8_t> bytes;
    appendComPort(bytes, code, value);
    queueControl(std::move(bytes));
    flush();
}

void Rfc2217Device::pumpInput() {
    if (!alive())
        return;
    std::uint8_t chunk[4096];
    while (inbound_.size() - inboundHead_ < kMaxInbound) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            if (inboundHead_ > 0 && inboundHead_ * 2 >= inbound_.size()) {
                inbound_.erase(inbound_.begin(), inbound_.begin() + inboundHead_);
                inboundHead_ = 0;
            }
            decoder_.decode(chunk, static_cast<std::size_t>(n), inbound_, *this);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        failed_ = true;  // orderly close by the server, or a socket error
        break;
    }
}

void Rfc2217Device::flush() {
    const bool held = heldOff();
    while (alive() && !outbound_.empty()) {
        Segment& s = outbound_.front();
        // Held data waits, and what follows it waits behind it, in order. A segment the socket
        // has partly taken is finished so that the telnet stream stays well formed.
        if (held && !s.control && s.sent == 0)
            return;
        const ssize_t n = ::send(fd_, s.bytes.data() + s.sent, s.bytes.size() - s.sent,
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                failed_ = true;
            return;
        }
        s.sent += static_cast<std::size_t>(n);
        pendingBytes_ -= static_cast<std::size_t>(n);
        if (s.sent < s.bytes.size())
            return;
        outbound_.pop_front();
    }
}

bool Rfc2217Device::waitFor(short events, int timeoutMs) {
    if (fd_ < 0)
        return false;
    pollfd p{fd_, events, 0};
    const int r = ::poll(&p, 1, std::max(timeoutMs, 0));
    return r > 0;
}

bool Rfc2217Device::configure(const LineSettings& settings) {
    if (!alive() || settings.baudRate == 0 || settings.dataBits < 5 || settings.dataBits > 8) {
        return false;
    }
    std::vector<std::uint8_t> bytes;
    appendComPortU32(bytes, cpo::kSetBaudRate, settings.baudRate);
    appendComPort(bytes, cpo::kSetDataSize, settings.dataBits);
    appendComPort(bytes, cpo::kSetParity, parityCode(settings.parity));
    appendComPort(bytes, cpo::kSetStopSize, stopCode(settings.stopBits));
    appendComPort(bytes, cpo::kSetControl,
                  settings.ctsRtsFlowControl ? cpo::kControlHardwareFlow : cpo::kControlNoFlow);
    queueControl(std::move(bytes));
    flush();
    queue_.setPort(settings, clock_.nowMs());
    hardwareFlow_ = settings.ctsRtsFlowControl;
    return alive();
}

long Rfc2217Device::read(std::uint8_t* buffer, std::size_t count) {
    if (fd_ < 0)
        return -1;
    flush();
    pumpInput();
    const std::size_t available = inbound_.size() - inboundHead_;
    if (available > 0) {
        const std::size_t n = std::min(available, count);
        std::memcpy(buffer, inbound_.data() + inboundHead_, n);
        inboundHead_ += n;
        if (inboundHead_ == inbound_.size()) {
            inbound_.clear();
            inboundHead_ = 0;
        }
        return static_cast<long>(n);
    }
    return failed_ ? -1 : 0;
}

long Rfc2217Device::write(const std::uint8_t* data, std::size_t count) {
    if (!alive())
        return -1;
    std::size_t accepted = 0;
    Wait blocked(*this, options_.writeTimeoutMs);
    for (;;) {
        if (accepted < count && pendingBytes_ + 2 <= kMaxPendingOutput) {
            Segment segment;
            while (accepted < count &&
                   pendingBytes_ + segment.bytes.size() + 2 <= kMaxPendingOutput) {
                segment.bytes.push_back(data[accepted]);
                if (data[accepted] == telnet::kIac)
                    segment.bytes.push_back(telnet::kIac);
                ++accepted;
            }
            pendingBytes_ += segment.bytes.size();
            outbound_.push_back(std::move(segment));
        }
        flush();
        if (!alive()) {
            queue_.add(accepted, clock_.nowMs());
            return accepted > 0 ? static_cast<long>(accepted) : -1;
        }
        if (accepted == count || blocked.over())
            break;
        // Keep reading while we wait, so the server's own messages (the release from a hold
        // among them) never deadlock us.
        blocked.sleep(writeWaitEvents());
        pumpInput();
    }
    queue_.add(accepted, clock_.nowMs());
    return static_cast<long>(accepted);
}

void Rfc2217Device::setLineRateHint(std::uint32_t bitsPerSecond) {
    queue_.setLineRateHint(bitsPerSecond, clock_.nowMs());
}

std::size_t Rfc2217Device::socketBacklog() const {
    // Bytes the socket has not sent yet: they wait while the server takes no more (its window
    // is shut). Bytes sent and not yet acknowledged are on their way and are not counted.
    int unsent = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCOUTQNSD, &unsent) != 0 || unsent < 0)
        return 0;
    return static_cast<std::size_t>(unsent);
}

bool Rfc2217Device::heldOff() const {
    if (suspended_)
        return true;
    return hardwareFlow_ && modemState_ > 0 && (modemState_ & modem_line::kCts) == 0;
}

short Rfc2217Device::writeWaitEvents() const {
    const bool room = inbound_.size() - inboundHead_ < kMaxInbound;
    short events = room ? POLLIN : 0;
    if (!heldOff() || (!outbound_.empty() && outbound_.front().control))
        events |= POLLOUT;
    return events;
}

long Rfc2217Device::outputQueueBytes() {
    if (fd_ < 0)
        return 0;
    // The server's latest word on CTS decides whether what we hold may go.
    pumpInput();
    flush();
    return static_cast<long>(
        std::max<std::uint64_t>(queue_.bytes(clock_.nowMs()), pendingBytes_ + socketBacklog()));
}

long Rfc2217Device::modemStatus() {
    if (fd_ < 0)
        return -1;
    flush();
    pumpInput();
    // A server that has gone away has taken the modem with it: no lines at all.
    if (failed_)
        return 0;
    return modemState_;
}

bool Rfc2217Device::setDtr(bool on) {
    if (!alive())
        return false;
    sendControl(cpo::kSetControl, on ? cpo::kControlDtrOn : cpo::kControlDtrOff);
    return alive();
}

bool Rfc2217Device::setRts(bool on) {
    if (!alive())
        return false;
    sendControl(cpo::kSetControl, on ? cpo::kControlRtsOn : cpo::kControlRtsOff);
    return alive();
}

void Rfc2217Device::purge() {
    if (!alive())
        return;
    // Data not yet handed to the socket is dropped; a segment already partly sent is finished
    // so that the telnet stream stays well formed.
    for (auto it = outbound_.begin(); it != outbound_.end();) {
        if (!it->control && it->sent == 0) {
            pendingBytes_ -= it->bytes.size();
            it = outbound_.erase(it);
        } else {
            ++it;
        }
    }
    queue_.clear(clock_.nowMs());
    purgeAcknowledged_ = false;
    sendControl(cpo::kPurgeData, cpo::kPurgeBoth);
    // Everything that reaches us before the server confirms was on its way before the purge;
    // once it confirms, what follows is new. A server that never confirms costs one wait.
    Wait confirmation(*this, options_.purgeWaitMs);
    for (;;) {
        pumpInput();
        inbound_.clear();
        inboundHead_ = 0;
        if (purgeAcknowledged_ || !alive() || confirmation.over())
            break;
        flush();
        confirmation.sleep(POLLIN);
    }
}

void Rfc2217Device::close() {
    if (fd_ < 0)
        return;
    // Give queued bytes (a hang-up command written just before) a short, bounded chance.
    Wait drain(*this, 500);
    flush();
    while (alive() && !outbound_.empty() && !drain.over()) {
        drain.sleep(writeWaitEvents());
        pumpInput();
        flush();
    }
    ::close(fd_);
    fd_ = -1;
    failed_ = false;
    decoder_.reset();
    outbound_.clear();
    pendingBytes_ = 0;
    inbound_.clear();
    inboundHead_ = 0;
    modemState_ = -1;
    hardwareFlow_ = false;
    suspended_ = false;
    queue_.clear(clock_.nowMs());
    queue_.setLineRateHint(0, clock_.nowMs());
    comPortRefused_ = false;
    localComPort_ = localBinary_ = localSga_ = OptionState::Off;
    remoteBinary_ = remoteSga_ = OptionState::Off;
}

}  // namespace krl
