#include "tools/linesim/Rfc2217Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace krl::linesim {

using namespace rfc2217;

Rfc2217Server::Rfc2217Server(Listener& listener) : listener_(listener) {}

Rfc2217Server::~Rfc2217Server() {
    if (clientFd_ >= 0)
        ::close(clientFd_);
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

bool Rfc2217Server::listen(std::uint16_t port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return false;
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never reachable from outside this machine
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(addr.sin_port);
    return true;
}

void Rfc2217Server::onListenReadable() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (clientFd_ >= 0 || refusing_) {
        ::close(fd);  // the port is in use, or not served
        return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    clientFd_ = fd;
    decoder_.reset();
    out_.clear();
    outSent_ = 0;
    modemMask_ = 0xFF;
    lineMask_ = 0;
    dtr_ = rts_ = true;  // opening a port raises both
    for (bool& b : localOn_)
        b = false;
    for (bool& b : remoteOn_)
        b = false;
    listener_.onClientConnected();
}

void Rfc2217Server::onClientReadable() {
    if (clientFd_ < 0)
        return;
    std::uint8_t chunk[4096];
    const ssize_t n = ::recv(clientFd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        dropClient();
        return;
    }
    if (n < 0)
        return;
    decoded_.clear();
    decoder_.decode(chunk, static_cast<std::size_t>(n), decoded_, *this);
    deliverDecoded();
    flush();
}

void Rfc2217Server::deliverDecoded() {
    if (!decoded_.empty() && clientFd_ >= 0)
        listener_.onData(decoded_.data(), decoded_.size());
    decoded_.clear();
}

void Rfc2217Server::onClientWritable() {
    flush();
}

void Rfc2217Server::flush() {
    while (clientFd_ >= 0 && outSent_ < out_.size()) {
        const ssize_t n = ::send(clientFd_, out_.data() + outSent_, out_.size() - outSent_,
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                dropClient();
            return;
        }
        outSent_ += static_cast<std::size_t>(n);
    }
    if (outSent_ == out_.size()) {
        out_.clear();
        outSent_ = 0;
    }
}

void Rfc2217Server::dropClient() {
    if (clientFd_ < 0)
        return;
    ::close(clientFd_);
    clientFd_ = -1;
    out_.clear();
    outSent_ = 0;
    dtr_ = rts_ = false;
    listener_.onClientGone();
}

void Rfc2217Server::sendData(const std::uint8_t* data, std::size_t count) {
    if (clientFd_ < 0 || count == 0)
        return;
    if (out_.size() - outSent_ + count > kMaxOutput)
        return;
    appendEscaped(out_, data, count);
    flush();
}

void Rfc2217Server::setModemLines(std::uint8_t lines) {
    lines &= cpo::kModemStateLines;
    if (lines == lines_)
        return;
    const std::uint8_t before = lines_;
    lines_ = lines;
    // Change flags: CTS 0x01, DSR 0x02, ring trailing edge 0x04, carrier 0x08.
    std::uint8_t changes = static_cast<std::uint8_t>(((before ^ lines) >> 4) & 0x0B);
    if ((before & 0x40) && !(lines & 0x40))
        changes |= 0x04;
    notifyModemState(changes);
}

void Rfc2217Server::notifyModemState(std::uint8_t changes) {
    if (clientFd_ < 0)
        return;
    appendComPort(out_, cpo::kNotifyModemState + cpo::kServerOffset,
                  static_cast<std::uint8_t>((lines_ | changes) & modemMask_));
    flush();
}

void Rfc2217Server::reply(std::uint8_t code, std::uint8_t value) {
    appendComPort(out_, code + cpo::kServerOffset, value);
}

void Rfc2217Server::onOption(std::uint8_t verb, std::uint8_t option) {
    const bool supported = option == telnet::kOptComPort || option == telnet::kOptBinary ||
                           option == telnet::kOptSuppressGoAhead;
    switch (verb) {
        case telnet::kWill:  // the client offers: we want COM-PORT, BINARY and SGA from it
            if (supported) {
                if (!remoteOn_[option])
                    appendOption(out_, telnet::kDo, option);
                remoteOn_[option] = true;
            } else {
                appendOption(out_, telnet::kDont, option);
            }
            break;
        case telnet::kWont:
            if (remoteOn_[option])
                appendOption(out_, telnet::kDont, option);
            remoteOn_[option] = false;
            break;
        case telnet::kDo:
            if (supported && option != telnet::kOptComPort) {
                if (!localOn_[option])
                    appendOption(out_, telnet::kWill, option);
                localOn_[option] = true;
            } else {
                appendOption(out_, telnet::kWont, option);
            }
            break;
        case telnet::kDont:
            if (localOn_[option])
                appendOption(out_, telnet::kWont, option);
            localOn_[option] = false;
            break;
        default:
            break;
    }
    flush();
}

void Rfc2217Server::onSubnegotiation(const std::uint8_t* data, std::size_t count) {
    if (count < 2 || data[0] != telnet::kOptComPort)
        return;
    deliverDecoded();  // the bytes that came before this command act first
    handleComPort(data[1], data + 2, count - 2);
    flush();
}

void Rfc2217Server::handleComPort(std::uint8_t code, const std::uint8_t* value, std::size_t count) {
    if (code == cpo::kSetBaudRate) {
        if (count < 4)
            return;
        const std::uint32_t baud = (std::uint32_t{value[0]} << 24) |
                                   (std::uint32_t{value[1]} << 16) |
                                   (std::uint32_t{value[2]} << 8) | value[3];
        if (baud != 0) {
            baud_ = baud;
            listener_.onBaudRate(baud);
        }
        appendComPortU32(out_, cpo::kSetBaudRate + cpo::kServerOffset, baud_);
        return;
    }
    if (count < 1)
        return;
    const std::uint8_t v = value[0];
    switch (code) {
        case cpo::kSetDataSize:
            if (v >= 5 && v <= 8)
                dataSize_ = v;
            reply(code, dataSize_);
            break;
        case cpo::kSetParity:
            if (v >= 1 && v <= 5)
                parity_ = v;
            reply(code, parity_);
            break;
        case cpo::kSetStopSize:
            if (v >= 1 && v <= 3)
                stopSize_ = v;
            reply(code, stopSize_);
            break;
        case cpo::kSetControl:
            if (v == 0) {
                reply(code, flow_);
            } else if (v <= 3) {
                flow_ = v;
                reply(code, v);
            } else if (v == 7) {
                reply(code, dtr_ ? cpo::kControlDtrOn : cpo::kControlDtrOff);
            } else if (v == cpo::kControlDtrOn || v == cpo::kControlDtrOff) {
                dtr_ = v == cpo::kControlDtrOn;
                reply(code, v);
                listener_.onDtr(dtr_);
            } else if (v == 10) {
                reply(code, rts_ ? cpo::kControlRtsOn : cpo::kControlRtsOff);
            } else if (v == cpo::kControlRtsOn || v == cpo::kControlRtsOff) {
                rts_ = v == cpo::kControlRtsOn;
                reply(code, v);
                listener_.onRts(rts_);
            } else {
                reply(code, v);  // break and inbound flow control: acknowledged, no effect
            }
            break;
        case cpo::kSetLineStateMask:
            lineMask_ = v;
            reply(code, v);
            break;
        case cpo::kSetModemStateMask:
            modemMask_ = v;
            reply(code, v);
            // The client learns the present lines at once, not only at the next change.
            notifyModemState(0);
            break;
        case cpo::kPurgeData:
            if (v >= 1 && v <= 3)
                listener_.onPurge(v);
            reply(code, v);
            break;
        default:
            break;  // flow-control suspend/resume and anything unknown: nothing to do
    }
}

}  // namespace krl::linesim
