#include "tools/linesim/CableCommand.h"

#include <unistd.h>

#include <iostream>

#include "platform/posix/PseudoTerminal.h"
#include "platform/posix/StopSignals.h"
#include "tools/linesim/CommandOptions.h"
#include "tools/linesim/LineRelay.h"

namespace krl::linesim {

namespace {

struct CableOptions {
    LineOptions line;
    std::string linkA;
    std::string linkB;
};

std::string parseCableOptions(const std::vector<std::string>& args, CableOptions& options) {
    return parseCommandOptions(args, options.line, {"--link-a", "--link-b"},
                               [&options](const std::string& name, const std::string& value) {
                                   if (value.empty())
                                       return name + " needs a path";
                                   (name == "--link-a" ? options.linkA : options.linkB) = value;
                                   return std::string();
                               });
}

// A symbolic link to a device path that is removed again when the cable stops.
class DeviceLink {
public:
    DeviceLink() = default;
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;
    ~DeviceLink() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    bool make(const std::string& target, const std::string& path) {
        if (path.empty())
            return true;
        ::unlink(path.c_str());  // a link left by an earlier run
        if (::symlink(target.c_str(), path.c_str()) != 0)
            return false;
        path_ = path;
        return true;
    }

private:
    std::string path_;
};

}  // namespace

const char* cableHelp() {
    return "linesim cable [options]\n"
           "  Creates two pseudo-terminals joined like a null-modem cable running at the\n"
           "  line rate, prints the two device paths on stdout (A first, one a line) and\n"
           "  passes bytes until the duration ends or it receives SIGTERM, SIGINT or SIGHUP.\n"
           "  The line takes bytes from each side only as fast as it passes them, so a\n"
           "  sender that outruns it is held back. On exit the byte and fault counts of each\n"
           "  direction go to stderr.\n"
           "Cable options:\n"
           "  --link-a PATH   also make PATH a symbolic link to device A (removed on exit)\n"
           "  --link-b PATH   the same for device B\n";
}

int runCable(const std::vector<std::string>& args) {
    CableOptions options;
    std::string error = parseCableOptions(args, options);
    if (!error.empty()) {
        std::cerr << "linesim cable: " << error << "\n";
        return 2;
    }
    settleSeed(options.line, "cable");

    StopSignals stop;
    std::string ptyError;
    auto a = PseudoTerminal::create(&ptyError);
    auto b = a ? PseudoTerminal::create(&ptyError) : nullptr;
    if (!a || !b) {
        std::cerr << "linesim cable: " << ptyError << "\n";
        return 1;
    }
    DeviceLink linkA, linkB;
    if (!linkA.make(a->slavePath(), options.linkA) || !linkB.make(b->slavePath(), options.linkB)) {
        std::cerr << "linesim cable: cannot create the device links\n";
        return 1;
    }
    std::cout << a->slavePath() << "\n" << b->slavePath() << std::endl;

    MonotonicClock clock;
    LineRelay relay(a->masterFd(), b->masterFd(), options.line.line, clock);
    LineRelay::StopReason reason = relay.run(endTimeUs(options.line, clock), stop.fd());
    std::cerr << relay.summary();
    return reason == LineRelay::StopReason::EndFailed ? 1 : 0;
}

}  // namespace krl::linesim
