#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/Rfc2217Telnet.h"

namespace krl::linesim {

// One serial port served over RFC 2217 (telnet with COM-PORT-OPTION) on a loopback TCP port,
// to one client at a time. A second client is turned away while the first is connected, as a
// port that another program holds. Single-threaded: the owner polls the descriptors and calls
// the on... handlers.
class Rfc2217Server : private rfc2217::TelnetHandler {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void onClientConnected() = 0;
        virtual void onClientGone() = 0;
        virtual void onData(const std::uint8_t* data, std::size_t count) = 0;
        virtual void onDtr(bool on) = 0;
        virtual void onRts(bool on) = 0;
        virtual void onBaudRate(std::uint32_t baud) = 0;
        // Which queues the client discards (PURGE-DATA value: 1 receive, 2 transmit, 3 both).
        virtual void onPurge(std::uint8_t which) = 0;
    };

    // Output held for a client that does not read; beyond it line data is dropped, as an
    // overrun on a real port.
    static constexpr std::size_t kMaxOutput = 1 << 20;

    explicit Rfc2217Server(Listener& listener);
    ~Rfc2217Server() override;
    Rfc2217Server(const Rfc2217Server&) = delete;
    Rfc2217Server& operator=(const Rfc2217Server&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port). False when the port cannot be bound.
    bool listen(std::uint16_t port);
    std::uint16_t port() const { return port_; }

    int listenFd() const { return listenFd_; }
    int clientFd() const { return clientFd_; }
    bool hasClient() const { return clientFd_ >= 0; }
    bool wantsWrite() const { return clientFd_ >= 0 && outSent_ < out_.size(); }
    // The server goes away under its client (a restarted or unplugged port server): the
    // connection closes at once, without a word of telnet.
    void closeClient() { dropClient(); }
    // Refusing: a connection is closed as soon as it is accepted, as a port server that is
    // switched off or serves its port to nobody; until refusing ends.
    void setRefusing(bool refusing) { refusing_ = refusing; }

    void onListenReadable();
    // Reads what the client sent; data bytes go to the listener.
    void onClientReadable();
    void onClientWritable();

    // Line data for the client (escaped here).
    void sendData(const std::uint8_t* data, std::size_t count);
    // The modem lines the port shows now (modem_line bits); notifies the client on change.
    void setModemLines(std::uint8_t lines);
    std::uint32_t baudRate() const { return baud_; }

private:
    void onOption(std::uint8_t verb, std::uint8_t option) override;
    void onSubnegotiation(const std::uint8_t* data, std::size_t count) override;
    void handleComPort(std::uint8_t code, const std::uint8_t* value, std::size_t count);
    void reply(std::uint8_t code, std::uint8_t value);
    void notifyModemState(std::uint8_t changes);
    void dropClient();
    void flush();
    void deliverDecoded();

    Listener& listener_;
    int listenFd_ = -1;
    int clientFd_ = -1;
    bool refusing_ = false;
    std::uint16_t port_ = 0;
    rfc2217::TelnetDecoder decoder_;
    // Data decoded from the client and not yet handed to the listener. A command that follows
    // data in the stream (a DTR drop right after the last bytes) must act after that data.
    std::vector<std::uint8_t> decoded_;
    std::vector<std::uint8_t> out_;
    std::size_t outSent_ = 0;

    std::uint32_t baud_ = 9600;
    std::uint8_t dataSize_ = 8;
    std::uint8_t parity_ = 1;
    std::uint8_t stopSize_ = 1;
    std::uint8_t flow_ = 1;
    bool dtr_ = false;
    bool rts_ = false;
    std::uint8_t modemMask_ = 0xFF;
    std::uint8_t lineMask_ = 0;
    std::uint8_t lines_ = 0;
    // Options this side has agreed to (WILL) and asked the client for (DO).
    bool localOn_[256] = {};
    bool remoteOn_[256] = {};
};

}  // namespace krl::linesim
