#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/linesim/HayesModem.h"
#include "tools/linesim/LineConfig.h"
#include "tools/linesim/ModemExchange.h"
#include "tools/linesim/MonotonicClock.h"
#include "tools/linesim/Rfc2217Server.h"

namespace krl::linesim {

// Two Hayes modems on one telephone line, each served as an RFC 2217 port on loopback, plus a
// line-based control port for tests ("drop A 1500", "off B", "status A", ...).
class ModemEmulator {
public:
    struct Config {
        LineConfig line;  // faults, latency and seed; baud is the best rate the modems train to
        std::string numberA = "1001";
        std::string numberB = "1002";
        std::uint16_t portA = 0;  // 0: any free port
        std::uint16_t portB = 0;
        std::uint16_t controlPort = 0;
        HayesModem::Timing timing;
    };

    ModemEmulator(const Config& config, const MonotonicClock& clock);
    ~ModemEmulator();
    ModemEmulator(const ModemEmulator&) = delete;
    ModemEmulator& operator=(const ModemEmulator&) = delete;

    // Binds the three loopback ports. Empty on success, else the reason.
    std::string start();
    std::string portUrl(int side) const;
    std::uint16_t controlPort() const { return controlPort_; }

    // Serves until deadlineUs of the clock (0 for none) or until stopFd becomes readable.
    void run(std::uint64_t deadlineUs, int stopFd);
    // One pass: timers, line data, and the sockets that are ready within timeoutMs.
    void step(int timeoutMs, int stopFd, bool* stopped);

private:
    class Port;
    struct ControlClient {
        int fd;
        std::string input;
    };

    std::uint64_t nowMs() const { return clock_.nowUs() / 1000; }
    void serviceModems();
    void acceptControl();
    void readControl(ControlClient& client);
    bool portCommand(const std::string& line);

    const MonotonicClock& clock_;
    std::unique_ptr<ModemExchange> exchange_;
    std::array<std::unique_ptr<Port>, 2> ports_;
    std::uint16_t configPorts_[2];
    std::uint16_t configControlPort_;
    int controlFd_ = -1;
    std::uint16_t controlPort_ = 0;
    std::vector<ControlClient> controlClients_;
};

}  // namespace krl::linesim
