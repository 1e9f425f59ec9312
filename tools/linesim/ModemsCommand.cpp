#include "tools/linesim/ModemsCommand.h"

#include <charconv>
#include <iostream>

#include "platform/posix/StopSignals.h"
#include "tools/linesim/CommandOptions.h"
#include "tools/linesim/ModemEmulator.h"

namespace krl::linesim {

namespace {

bool parseUnsigned(const std::string& text, unsigned max, unsigned& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && out <= max;
}

bool validNumber(const std::string& number) {
    if (number.empty() || number.size() > 32)
        return false;
    for (char c : number) {
        if ((c < '0' || c > '9') && c != '*' && c != '#')
            return false;
    }
    return true;
}

std::string setModemOption(const std::string& name, const std::string& value,
                           ModemEmulator::Config& config) {
    unsigned n = 0;
    if (name == "--number-a" || name == "--number-b") {
        if (!validNumber(value))
            return name + " needs a phone number of digits, * and #";
        (name == "--number-a" ? config.numberA : config.numberB) = value;
    } else if (name == "--port-a" || name == "--port-b" || name == "--control-port") {
        if (!parseUnsigned(value, 65535, n))
            return name + " needs a TCP port (0 for any)";
        const auto port = static_cast<std::uint16_t>(n);
        (name == "--port-a"   ? config.portA
         : name == "--port-b" ? config.portB
                              : config.controlPort) = port;
    } else {
        if (!parseUnsigned(value, 600000, n) || (name == "--ring-ms" && n < 100))
            return name + " needs milliseconds";
        if (name == "--ring-ms") {
            config.timing.ringIntervalMs = n;
            config.timing.ringOnMs = n / 3;
        } else {
            (name == "--dial-ms" ? config.timing.dialMs : config.timing.handshakeMs) = n;
        }
    }
    return {};
}

std::string parseModemsOptions(const std::vector<std::string>& args, LineOptions& line,
                               ModemEmulator::Config& config) {
    const std::string error =
        parseCommandOptions(args, line,
                            {"--number-a", "--number-b", "--port-a", "--port-b", "--control-port",
                             "--ring-ms", "--dial-ms", "--handshake-ms"},
                            [&config](const std::string& name, const std::string& value) {
                                return setModemOption(name, value, config);
                            });
    if (!error.empty())
        return error;
    if (config.numberA == config.numberB)
        return "the two modems need different numbers";
    return {};
}

}  // namespace

const char* modemsHelp() {
    return "linesim modems [options]\n"
           "  Two Hayes-compatible modems, A and B, on one telephone line. Each is served as a\n"
           "  remote serial port (RFC 2217) on 127.0.0.1; the two port names and the control\n"
           "  address are printed on stdout, one a line:\n"
           "    rfc2217://127.0.0.1:PORT_A\n"
           "    rfc2217://127.0.0.1:PORT_B\n"
           "    tcp://127.0.0.1:CONTROL_PORT\n"
           "  Dialling the other modem's number rings it; data passes at the connect rate (the\n"
           "  line rate, or the lower port rate) with the line options' faults. A modem drops\n"
           "  CTS while it holds a fifth of a second of line data from its computer and raises\n"
           "  it at half that (hardware flow control). Dropping DTR or closing the port hangs\n"
           "  up (as &D2).\n"
           "  The control port takes one command a line and answers one line (OK, ERROR ...,\n"
           "  or the status):\n"
           "    drop A|B [MS]     the carrier fades at that modem for MS ms (none: for good;\n"
           "                      longer than S10 tenths, 2 s by default, ends the call)\n"
           "    hangup A|B        the telephone line is cut: both modems report NO CARRIER\n"
           "    off A|B, on A|B   power switch (off: no modem lines at all)\n"
           "    busy A|B, free A|B          the line is engaged: callers get BUSY\n"
           "    nodialtone A|B, dialtone A|B  dialling out gives NO DIALTONE\n"
           "    status A|B        state, hook, modem lines\n"
           "    close A|B         the port server drops its program's connection at once\n"
           "    refuse A|B, serve A|B       the port server turns new connections away\n"
           "    preset A|B CMDS   leave the modem as the AT commands CMDS would (V0Q1: numeric\n"
           "                      results, none at all), as another program might have\n"
           "Modem options (the line's --baud is the best connect rate, default 28800):\n"
           "  --number-a N, --number-b N   phone numbers (default 1001 and 1002)\n"
           "  --port-a P, --port-b P, --control-port P   TCP ports (default 0: any free)\n"
           "  --ring-ms MS      one ring cycle (default 6000)\n"
           "  --dial-ms MS      from ATD to ringing (default 800)\n"
           "  --handshake-ms MS from answer to CONNECT (default 1000)\n";
}

int runModems(const std::vector<std::string>& args) {
    LineOptions line;
    line.line.baud = 28800;
    ModemEmulator::Config config;
    const std::string error = parseModemsOptions(args, line, config);
    if (!error.empty()) {
        std::cerr << "linesim modems: " << error << "\n";
        return 2;
    }
    settleSeed(line, "modems");
    config.line = line.line;

    StopSignals stop;
    MonotonicClock clock;
    ModemEmulator emulator(config, clock);
    const std::string startError = emulator.start();
    if (!startError.empty()) {
        std::cerr << "linesim modems: " << startError << "\n";
        return 1;
    }
    std::cout << emulator.portUrl(0) << "\n"
              << emulator.portUrl(1) << "\n"
              << "tcp://127.0.0.1:" << emulator.controlPort() << std::endl;
    emulator.run(endTimeUs(line, clock), stop.fd());
    return 0;
}

}  // namespace krl::linesim
