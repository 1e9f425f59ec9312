#include "tools/linesim/ModemEmulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include "serial/SerialDevice.h"
#include "tools/linesim/LineChannel.h"

namespace krl::linesim {

namespace {

// Lines longer than this on the control port are refused, not buffered.
constexpr std::size_t kMaxControlLine = 256;
constexpr std::size_t kMaxControlClients = 8;

// One direction of the telephone line over the cable's line model: rate, faults, latency.
// The model takes bytes only as fast as the line passes them; the rest wait here.
class ChannelDirection : public LineDirection {
public:
    ChannelDirection(const LineConfig& config, std::uint64_t stream)
        : config_(config), stream_(stream) {
        clear();
    }
    void setRate(std::uint32_t bitsPerSecond) override {
        config_.baud = bitsPerSecond;
        clear();
    }
    void push(const std::uint8_t* data, std::size_t count, std::uint64_t nowMs) override {
        waiting_.insert(waiting_.end(), data, data + count);
        feed(nowMs);
    }
    std::vector<std::uint8_t> pull(std::uint64_t nowMs) override {
        feed(nowMs);
        std::vector<std::uint8_t> out(channel_->backlog());
        const std::size_t n = channel_->peekArrived(out.data(), out.size(), nowMs * 1000);
        channel_->consume(n);
        out.resize(n);
        feed(nowMs);
        return out;
    }
    std::size_t queued() const override { return waiting_.size() + channel_->backlog(); }
    void clear() override {
        // Each call gets a fresh fault sequence of its own from the one seed.
        channel_ = std::make_unique<LineChannel>(config_, stream_ + 2 * calls_++);
        waiting_.clear();
        leftOver_.reset();
    }

private:
    void feed(std::uint64_t nowMs) {
        const std::uint64_t nowUs = nowMs * 1000;
        // Bytes left over at the last pass have been ready since then: the modem's transmitter
        // did not wait for this pass to come round. Bytes pushed since are ready now.
        std::size_t offset = 0;
        if (leftOver_ && !waiting_.empty()) {
            const std::size_t early = std::min(leftOver_->bytes, waiting_.size());
            offset = channel_->send(waiting_.data(), early, nowUs, leftOver_->sinceUs);
            if (offset == early)
                offset += channel_->send(waiting_.data() + offset, waiting_.size() - offset, nowUs);
        } else if (!waiting_.empty()) {
            offset = channel_->send(waiting_.data(), waiting_.size(), nowUs);
        }
        waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(offset));
        if (leftOver_ && offset < leftOver_->bytes) {
            leftOver_->bytes -= offset;
        } else {
            leftOver_.reset();
            if (!waiting_.empty())
                leftOver_ = LeftOver{nowUs, waiting_.size()};
        }
    }

    struct LeftOver {
        std::uint64_t sinceUs;
        std::size_t bytes;
    };

    LineConfig config_;
    std::uint64_t stream_;
    std::uint64_t calls_ = 0;
    std::unique_ptr<LineChannel> channel_;
    std::vector<std::uint8_t> waiting_;
    std::optional<LeftOver> leftOver_;
};

int listenLoopback(std::uint16_t port, std::uint16_t& bound) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    bound = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

// One modem's serial port: the RFC 2217 server and what its client does to the modem.
class ModemEmulator::Port : public Rfc2217Server::Listener {
public:
    Port(ModemEmulator& owner, int side) : owner_(owner), side_(side), server_(*this) {}

    Rfc2217Server& server() { return server_; }
    HayesModem& modem() { return owner_.exchange_->modem(side_); }

    void onClientConnected() override { modem().setDtr(true, owner_.nowMs()); }
    // A program that closes the port (or dies) drops DTR with it.
    void onClientGone() override {
        modem().setDtr(false, owner_.nowMs());
        owner_.exchange_->setDteRate(side_, 0);  // the next program sets its own rate
    }
    void onData(const std::uint8_t* data, std::size_t count) override {
        modem().fromDte(data, count, owner_.nowMs());
    }
    void onDtr(bool on) override { modem().setDtr(on, owner_.nowMs()); }
    void onRts(bool) override {}
    void onBaudRate(std::uint32_t baud) override { owner_.exchange_->setDteRate(side_, baud); }
    void onPurge(std::uint8_t) override {}

    // The modem's buffer towards the line: CTS drops when it holds a fifth of a second of the
    // line's data and rises again at half that, as a modem with hardware flow control does.
    // The computer's port holds its output meanwhile, so the computer sees its queue grow.
    void updateClearToSend() {
        const std::size_t queued = owner_.exchange_->inFlightFrom(side_);
        const std::size_t high = highWater();
        if (queued >= high)
            holdingOff_ = true;
        else if (queued <= high / 2)
            holdingOff_ = false;
    }
    std::uint32_t adjustLines(std::uint32_t lines) const {
        return holdingOff_ ? lines & ~modem_line::kCts : lines;
    }
    // Bytes already on their way when CTS dropped still fit. A computer that ignores CTS is
    // read until the buffer holds twice the mark and a kilobyte more; then TCP holds it back,
    // its bytes waiting in the sockets where it cannot see them (a real modem would lose them).
    bool acceptsInput() const {
        return owner_.exchange_->inFlightFrom(side_) < highWater() * 2 + kOverrunAllowance;
    }

private:
    static constexpr std::size_t kOverrunAllowance = 1024;
    std::size_t highWater() const {
        return std::max<std::size_t>(64, owner_.exchange_->modem(side_).connectRate() / 50);
    }

    ModemEmulator& owner_;
    int side_;
    Rfc2217Server server_;
    bool holdingOff_ = false;
};

ModemEmulator::ModemEmulator(const Config& config, const MonotonicClock& clock)
    : clock_(clock),
      configPorts_{config.portA, config.portB},
      configControlPort_(config.controlPort) {
    ModemExchange::Config xc;
    xc.numberA = config.numberA;
    xc.numberB = config.numberB;
    xc.lineRate = config.line.baud;
    xc.timing = config.timing;
    exchange_ =
        std::make_unique<ModemExchange>(xc, std::make_unique<ChannelDirection>(config.line, 0),
                                        std::make_unique<ChannelDirection>(config.line, 1));
    ports_[0] = std::make_unique<Port>(*this, 0);
    ports_[1] = std::make_unique<Port>(*this, 1);
    // Nobody has the ports open yet.
    exchange_->modem(0).setDtr(false, nowMs());
    exchange_->modem(1).setDtr(false, nowMs());
}

ModemEmulator::~ModemEmulator() {
    for (ControlClient& c : controlClients_)
        ::close(c.fd);
    if (controlFd_ >= 0)
        ::close(controlFd_);
}

std::string ModemEmulator::start() {
    for (int side = 0; side < 2; ++side) {
        if (!ports_[side]->server().listen(configPorts_[side])) {
            return "cannot listen on 127.0.0.1:" + std::to_string(configPorts_[side]);
        }
    }
    controlFd_ = listenLoopback(configControlPort_, controlPort_);
    if (controlFd_ < 0)
        return "cannot listen on 127.0.0.1:" + std::to_string(configControlPort_);
    return {};
}

std::string ModemEmulator::portUrl(int side) const {
    return "rfc2217://127.0.0.1:" + std::to_string(ports_[side]->server().port());
}

void ModemEmulator::run(std::uint64_t deadlineUs, int stopFd) {
    bool stopped = false;
    while (!stopped && (deadlineUs == 0 || clock_.nowUs() < deadlineUs)) {
        step(5, stopFd, &stopped);
    }
}

void ModemEmulator::serviceModems() {
    const std::uint64_t now = nowMs();
    exchange_->tick(now);
    for (int side = 0; side < 2; ++side) {
        HayesModem& modem = exchange_->modem(side);
        Rfc2217Server& server = ports_[side]->server();
        const std::vector<std::uint8_t> out = modem.takeDteOutput();
        if (!out.empty())
            server.sendData(out.data(), out.size());
        ports_[side]->updateClearToSend();
        server.setModemLines(
            static_cast<std::uint8_t>(ports_[side]->adjustLines(modem.modemLines(now))));
    }
}

void ModemEmulator::step(int timeoutMs, int stopFd, bool* stopped) {
    serviceModems();

    std::vector<pollfd> fds;
    enum class Kind { Stop, Listen, Client, ControlListen, Control };
    struct Entry {
        Kind kind;
        int side;
    };
    std::vector<Entry> entries;
    auto add = [&](int fd, short events, Kind kind, int side) {
        fds.push_back(pollfd{fd, events, 0});
        entries.push_back(Entry{kind, side});
    };
    if (stopFd >= 0)
        add(stopFd, POLLIN, Kind::Stop, 0);
    for (int side = 0; side < 2; ++side) {
        Rfc2217Server& server = ports_[side]->server();
        add(server.listenFd(), POLLIN, Kind::Listen, side);
        if (server.hasClient()) {
            short events = server.wantsWrite() ? POLLOUT : 0;
            if (ports_[side]->acceptsInput())
                events |= POLLIN;
            add(server.clientFd(), events, Kind::Client, side);
        }
    }
    add(controlFd_, POLLIN, Kind::ControlListen, 0);
    for (std::size_t i = 0; i < controlClients_.size(); ++i) {
        add(controlClients_[i].fd, POLLIN, Kind::Control, static_cast<int>(i));
    }

    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return;
    bool controlChanged = false;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0)
            continue;
        const Entry e = entries[i];
        switch (e.kind) {
            case Kind::Stop:
                if (stopped != nullptr)
                    *stopped = true;
                break;
            case Kind::Listen:
                ports_[e.side]->server().onListenReadable();
                break;
            case Kind::Client: {
                Rfc2217Server& server = ports_[e.side]->server();
                if (fds[i].revents & POLLOUT)
                    server.onClientWritable();
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    server.onClientReadable();
                break;
            }
            case Kind::ControlListen:
                acceptControl();
                break;
            case Kind::Control:
                readControl(controlClients_[static_cast<std::size_t>(e.side)]);
                controlChanged = true;
                break;
        }
    }
    if (controlChanged) {
        controlClients_.erase(std::remove_if(controlClients_.begin(), controlClients_.end(),
                                             [](const ControlClient& c) { return c.fd < 0; }),
                              controlClients_.end());
    }
    serviceModems();
}

void ModemEmulator::acceptControl() {
    const int fd = ::accept4(controlFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    if (controlClients_.size() >= kMaxControlClients) {
        ::close(fd);
        return;
    }
    controlClients_.push_back(ControlClient{fd, {}});
}

// Commands for the port servers rather than the modems: "close A" ends the connection of A's
// program, "refuse A" turns away every new one until "serve A". True when it was one of them.
bool ModemEmulator::portCommand(const std::string& line) {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos || space + 2 != line.size())
        return false;
    const std::string verb = line.substr(0, space);
    const char which = static_cast<char>(std::tolower(static_cast<unsigned char>(line.back())));
    if ((verb != "close" && verb != "refuse" && verb != "serve") || (which != 'a' && which != 'b'))
        return false;
    Rfc2217Server& server = ports_[which == 'a' ? 0 : 1]->server();
    if (verb == "close")
        server.closeClient();
    else
        server.setRefusing(verb == "refuse");
    return true;
}

void ModemEmulator::readControl(ControlClient& client) {
    char chunk[512];
    const ssize_t n = ::recv(client.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        ::close(client.fd);
        client.fd = -1;
        return;
    }
    if (n < 0)
        return;
    client.input.append(chunk, static_cast<std::size_t>(n));
    std::size_t eol;
    while ((eol = client.input.find('\n')) != std::string::npos) {
        std::string line = client.input.substr(0, eol);
        client.input.erase(0, eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // Let the modems catch up to this moment before the command acts.
        serviceModems();
        std::string answer = line.size() > kMaxControlLine ? "ERROR line too long"
                             : portCommand(line)           ? "OK"
                                                           : exchange_->control(line, nowMs());
        answer += "\n";
        // Answers are short; a client that does not read them loses them.
        [[maybe_unused]] const ssize_t sent =
            ::send(client.fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    if (client.input.size() > kMaxControlLine) {
        client.input.clear();
        const char* answer = "ERROR line too long\n";
        [[maybe_unused]] const ssize_t sent =
            ::send(client.fd, answer, std::strlen(answer), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
}

}  // namespace krl::linesim
