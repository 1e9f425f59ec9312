#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

namespace krl::test {

// A Hayes-style modem on a serial port, for unit tests. In command mode it collects lines
// ending with a carriage return, echoes what it is sent (when echo is on) and answers each
// "AT" line: with the reply set for that exact line (upper case, without the carriage return),
// else with dialReply for ATD, answerReply for ATA, else "OK". A reply that contains "CONNECT"
// puts it on line: from then on what the program writes is collected in dataFromHost, and the
// carrier line is up. The test queues unsolicited text (rings, data from the far end) with
// say(). Switched off, it shows no modem lines, swallows input and says nothing.
class ScriptedModem : public SerialDevice {
public:
    bool echo = true;
    bool poweredOn = true;
    bool silent = false;  // never answers a command
    std::map<std::string, std::string> replies;
    std::string dialReply = "\r\nCONNECT 28800\r\n";
    std::string answerReply = "\r\nCONNECT 28800\r\n";

    bool online = false;
    bool carrier = false;
    bool dtr = false, rts = false;
    bool failOpen = false;
    std::vector<std::string> commands;  // every command line, as received
    std::string dataFromHost;           // bytes written while on line
    int opens = 0;
    std::vector<std::uint32_t> lineRateHints;  // each setLineRateHint call, in order

    void say(const std::string& text) { toHost_ += text; }
    void ring() { say("\r\nRING\r\n"); }
    void goOnline() { online = carrier = true; }

    bool open(const std::string&) override {
        if (failOpen)
            return false;
        ++opens;
        open_ = true;
        dtr = rts = true;  // as a serial driver raises them on open
        return true;
    }
    bool isOpen() const override { return open_; }
    bool configure(const LineSettings&) override { return open_; }
    long read(std::uint8_t* buffer, std::size_t count) override {
        if (!open_)
            return -1;
        std::size_t n = std::min(count, toHost_.size());
        std::copy_n(toHost_.begin(), n, buffer);
        toHost_.erase(0, n);
        return static_cast<long>(n);
    }
    long write(const std::uint8_t* data, std::size_t count) override {
        if (!open_)
            return -1;
        if (!poweredOn)
            return static_cast<long>(count);
        for (std::size_t i = 0; i < count; ++i)
            take(static_cast<char>(data[i]));
        return static_cast<long>(count);
    }
    long outputQueueBytes() override { return 0; }
    void setLineRateHint(std::uint32_t bitsPerSecond) override {
        lineRateHints.push_back(bitsPerSecond);
    }
    long modemStatus() override {
        if (!poweredOn)
            return 0;
        long bits = modem_line::kCts | modem_line::kDsr;
        if (carrier)
            bits |= modem_line::kDcd;
        return bits;
    }
    bool setDtr(bool on) override {
        if (dtr && !on && online) {
            online = carrier = false;  // as with AT&D2: dropping DTR hangs up
            say("\r\nNO CARRIER\r\n");
        }
        dtr = on;
        return true;
    }
    bool setRts(bool on) override {
        rts = on;
        return true;
    }
    void purge() override { toHost_.clear(); }
    void close() override { open_ = false; }
    int readNotifyHandle() const override { return -1; }

private:
    void take(char c) {
        if (online) {
            dataFromHost.push_back(c);
            return;
        }
        if (echo)
            toHost_.push_back(c);
        if (c != '\r') {
            if (line_.size() < 256)
                line_.push_back(c);
            return;
        }
        std::string upper = line_;
        line_.clear();
        for (char& u : upper)
            u = static_cast<char>(std::toupper(static_cast<unsigned char>(u)));
        commands.push_back(upper);
        if (silent || upper.rfind("AT", 0) != 0)
            return;
        std::string reply = "\r\nOK\r\n";
        if (auto it = replies.find(upper); it != replies.end()) {
            reply = it->second;
        } else if (upper.rfind("ATD", 0) == 0) {
            reply = dialReply;
        } else if (upper.rfind("ATA", 0) == 0) {
            reply = answerReply;
        } else if (upper.rfind("ATH", 0) == 0) {
            online = carrier = false;
        }
        toHost_ += reply;
        if (reply.find("CONNECT") != std::string::npos)
            goOnline();
    }

    bool open_ = false;
    std::string line_;
    std::string toHost_;
};

// Serves one scripted modem under every port name; each device made is a handle on it.
class ScriptedModemFactory : public SerialDeviceFactory {
public:
    explicit ScriptedModemFactory(ScriptedModem& modem) : modem_(modem) {}
    std::unique_ptr<SerialDevice> create(const std::string&) override {
        return std::make_unique<Handle>(modem_);
    }

private:
    class Handle : public SerialDevice {
    public:
        explicit Handle(ScriptedModem& m) : m_(m) {}
        bool open(const std::string& n) override { return m_.open(n); }
        bool isOpen() const override { return m_.isOpen(); }
        bool configure(const LineSettings& s) override { return m_.configure(s); }
        long read(std::uint8_t* b, std::size_t c) override { return m_.read(b, c); }
        long write(const std::uint8_t* d, std::size_t c) override { return m_.write(d, c); }
        long outputQueueBytes() override { return m_.outputQueueBytes(); }
        void setLineRateHint(std::uint32_t bitsPerSecond) override {
            m_.setLineRateHint(bitsPerSecond);
        }
        long modemStatus() override { return m_.modemStatus(); }
        bool setDtr(bool on) override { return m_.setDtr(on); }
        bool setRts(bool on) override { return m_.setRts(on); }
        void purge() override { m_.purge(); }
        void close() override { m_.close(); }
        int readNotifyHandle() const override { return -1; }

    private:
        ScriptedModem& m_;
    };
    ScriptedModem& modem_;
};

}  // namespace krl::test
