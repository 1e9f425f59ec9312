#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/ChildProcess.h"

namespace krl::test {

struct ModemSimOptions {
    std::string numberA = "1001";
    std::string numberB = "1002";
    std::uint32_t baud = 28800;  // the best connect rate
    double bitErrorRate = 0.0;
    double dropRate = 0.0;
    std::uint32_t latencyMs = 0;
    std::uint64_t seed = 1;
    // Shorter than a real exchange so that tests do not wait for nothing.
    std::uint32_t ringMs = 1500;
    std::uint32_t dialMs = 300;
    std::uint32_t handshakeMs = 300;
    // The emulator stops by itself after this long even if the test never ends it.
    std::uint32_t durationSeconds = 1800;
};

// A running "linesim modems": two Hayes modems on one telephone line, each an RFC 2217 port.
// Starts the tool on construction and ends it on destruction (or when the test process dies).
//
//   krl::test::ModemSim modems;
//   ASSERT_TRUE(modems.ok()) << modems.error();
//   open modems.portA() ("rfc2217://127.0.0.1:N") in one program, modems.portB() in the other;
//   modems.control("drop A 1500") == "OK".
class ModemSim {
public:
    explicit ModemSim(const ModemSimOptions& options = {});
    ~ModemSim();
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    bool ok() const { return process_.running() && !portA_.empty() && controlFd_ >= 0; }
    const std::string& error() const { return error_; }
    const std::string& portA() const { return portA_; }
    const std::string& portB() const { return portB_; }
    pid_t pid() const { return process_.pid(); }

    // Sends one control command ("drop A 1500", "off B", "busy B", "status A", ...) and returns
    // the emulator's one-line answer without the line end; empty when it did not answer.
    std::string control(const std::string& command);

    // Ends the emulator now and waits for it. The exit status as waitpid gives it, or -1.
    int stop();

private:
    bool connectControl(const std::string& address);

    tools::ChildProcess process_;
    int controlFd_ = -1;
    std::string portA_;
    std::string portB_;
    std::string error_;
};

}  // namespace krl::test
