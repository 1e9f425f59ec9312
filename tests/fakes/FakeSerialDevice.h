#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "serial/SerialDevice.h"

namespace krl::test {

// Two ends of an in-memory line. What one end writes, the other reads. The test controls the
// modem lines each end sees, can make writes stall (as a line held by CTS) and devices fail.
class FakeLine {
public:
    struct End {
        std::deque<std::uint8_t> inbox;  // bytes waiting to be read at this end
        long modemStatus = -1;           // -1: no modem lines (as a pty)
        bool failed = false;             // reads and writes report a device error
        long writeLimit = -1;            // -1 unlimited; else bytes accepted before writes stall
        bool dtr = false, rts = false;
        std::vector<std::vector<std::uint8_t>> writes;  // each write call, as given
    };
    End a, b;
    bool heldA = false, heldB = false;  // an end currently opened by a device
};

class FakeSerialDevice : public SerialDevice {
public:
    FakeSerialDevice(std::shared_ptr<FakeLine> line, bool sideA)
        : line_(std::move(line)), sideA_(sideA) {}
    ~FakeSerialDevice() override { close(); }

    bool open(const std::string&) override {
        bool& held = sideA_ ? line_->heldA : line_->heldB;
        if (held || me().failed)
            return false;
        held = open_ = true;
        return true;
    }
    bool isOpen() const override { return open_; }
    bool configure(const LineSettings& s) override {
        settings = s;
        return open_;
    }
    long read(std::uint8_t* buffer, std::size_t count) override {
        if (!open_ || me().failed)
            return -1;
        std::size_t n = 0;
        while (n < count && !me().inbox.empty()) {
            buffer[n++] = me().inbox.front();
            me().inbox.pop_front();
        }
        return static_cast<long>(n);
    }
    long write(const std::uint8_t* data, std::size_t count) override {
        if (!open_ || me().failed)
            return -1;
        std::size_t n = count;
        if (me().writeLimit >= 0) {
            n = std::min<std::size_t>(count, static_cast<std::size_t>(me().writeLimit));
            me().writeLimit -= static_cast<long>(n);
        }
        me().writes.emplace_back(data, data + n);
        other().inbox.insert(other().inbox.end(), data, data + n);
        return static_cast<long>(n);
    }
    long outputQueueBytes() override { return 0; }
    void setLineRateHint(std::uint32_t) override {}
    long modemStatus() override { return me().modemStatus; }
    bool setDtr(bool on) override {
        me().dtr = on;
        return true;
    }
    bool setRts(bool on) override {
        me().rts = on;
        return true;
    }
    void purge() override {}
    void close() override {
        if (open_)
            (sideA_ ? line_->heldA : line_->heldB) = false;
        open_ = false;
    }
    int readNotifyHandle() const override { return -1; }

    LineSettings settings;

private:
    FakeLine::End& me() { return sideA_ ? line_->a : line_->b; }
    FakeLine::End& other() { return sideA_ ? line_->b : line_->a; }
    std::shared_ptr<FakeLine> line_;
    bool sideA_;
    bool open_ = false;
};

// Hands out the A end for the first port name it sees and the B end for the second; or a
// fixed end when the test says so.
class FakeSerialDeviceFactory : public SerialDeviceFactory {
public:
    explicit FakeSerialDeviceFactory(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
    std::unique_ptr<SerialDevice> create(const std::string& name) override {
        auto it = sides_.find(name);
        bool sideA = it != sides_.end() ? it->second : sides_.empty();
        sides_.emplace(name, sideA);
        ++created;
        return std::make_unique<FakeSerialDevice>(line_, sideA);
    }
    int created = 0;

private:
    std::shared_ptr<FakeLine> line_;
    std::map<std::string, bool> sides_;
};

}  // namespace krl::test
