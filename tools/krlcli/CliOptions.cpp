#include "tools/krlcli/CliOptions.h"

#include <algorithm>
#include <charconv>

namespace krl::cli {
namespace {

bool number(const std::string& text, std::uint64_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size();
}

}  // namespace

const char* cliUsage() {
    return "Usage: krlcli [options] listen PORT\n"
           "       krlcli [options] send PORT FILE...\n"
           "       krlcli [options] chat PORT\n"
           "A Kestrelcall peer without windows, over a serial port or a device path.\n"
           "  listen   receive files into the receive folder until the peer disconnects\n"
           "  send     send the files one after another, then disconnect\n"
           "  chat     send each line of standard input, print what the peer types\n"
           "Exit status 0 only when every file arrived whole.\n"
           "Options:\n"
           "  --baud N               line rate (default 115200)\n"
           "  --rtscts               hardware flow control\n"
           "  --dir DIR              receive folder (default .)\n"
           "  --timeout MS           command time-out (default 60000)\n"
           "  --overwrite            replace received files that exist (default: new name)\n"
           "  --refuse-existing      refuse offers of files that exist\n"
           "  --card 'NAME|PHONE|DETAILS'  send this business card\n"
           "  --page                 page the peer once connected\n"
           "  --expect N             listen: end after N files\n"
           "  --stop-send-after N    send: stop the first file after N bytes\n"
           "  --stop-receive-after N listen: stop the first file after N bytes\n"
           "  --log FILE             write the connection log\n"
           "  --progress / --quiet   force the progress line on / show nothing but errors\n"
           "  --stats                print a summary line on standard output at the end\n"
           "  --stats-every S        also print a running line every S seconds\n"
           "  --outbox DIR           listen: send each file put into DIR, then move it to\n"
           "                         DIR/sent, or DIR/failed after three tries (rename\n"
           "                         files in once whole)\n"
           "  --no-extension         speak only the protocol every peer knows (no windowed\n"
           "                         blocks, no resume of files a dropped call left)\n"
           "  --clear-partial        remove the partial files dropped calls left in the\n"
           "                         receive folder before starting\n"
           "Calls through a modem (or a serial cable) described by a modem file (*.mdm):\n"
           "  --modem FILE           run the file's commands on PORT (a device or rfc2217://)\n"
           "  --dial NUMBER          place the call, then do what the mode says\n"
           "  --listen               wait for a call and answer it, then do what the mode says\n"
           "  --rings N              rings before answering (default 2)\n"
           "  --idle-minutes N       hang up a call silent this long (default 10, 0 never)\n";
}

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    CliOptions o;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto count = [&](std::uint64_t& out) {
            std::string v;
            if (!value(v))
                return false;
            if (!number(v, out)) {
                error = a + " needs a number";
                return false;
            }
            return true;
        };
        std::uint64_t n = 0;
        std::string s;
        if (a == "--help" || a == "-h") {
            error.clear();
            return std::nullopt;
        } else if (a == "--baud") {
            if (!count(n) || n == 0 || n > 4000000) {
                if (error.empty())
                    error = "--baud needs a rate";
                return std::nullopt;
            }
            o.baud = static_cast<std::uint32_t>(n);
        } else if (a == "--rtscts") {
            o.rtsCts = true;
        } else if (a == "--dir") {
            if (!value(o.receiveFolder))
                return std::nullopt;
        } else if (a == "--timeout") {
            if (!count(o.commandTimeoutMs))
                return std::nullopt;
        } else if (a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--refuse-existing") {
            o.refuseExisting = true;
        } else if (a == "--card") {
            if (!value(s))
                return std::nullopt;
            o.card = s;
        } else if (a == "--page") {
            o.page = true;
        } else if (a == "--expect") {
            if (!count(n))
                return std::nullopt;
            o.expectFiles = static_cast<int>(n);
        } else if (a == "--stop-send-after") {
            if (!count(o.stopSendAfter))
                return std::nullopt;
        } else if (a == "--stop-receive-after") {
            if (!count(o.stopReceiveAfter))
                return std::nullopt;
        } else if (a == "--log") {
            if (!value(o.logPath))
                return std::nullopt;
        } else if (a == "--progress") {
            o.progress = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--stats-every") {
            if (!count(o.statsEverySeconds))
                return std::nullopt;
        } else if (a == "--outbox") {
            if (!value(o.outbox))
                return std::nullopt;
        } else if (a == "--no-extension") {
            o.extension = false;
        } else if (a == "--clear-partial") {
            o.clearPartial = true;
        } else if (a == "--video") {
            if (!value(s))
                return std::nullopt;
            o.videoArgs.push_back("--video=" + s);
        } else if (a.rfind("--video", 0) == 0) {
            o.videoArgs.push_back(a);
        } else if (a == "--modem") {
            if (!value(o.modemFile))
                return std::nullopt;
        } else if (a == "--dial") {
            if (!value(s))
                return std::nullopt;
            o.dialNumber = s;
        } else if (a == "--listen") {
            o.modemListen = true;
        } else if (a == "--rings") {
            if (!count(n))
                return std::nullopt;
            o.rings = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, 100));
        } else if (a == "--idle-minutes") {
            if (!count(n))
                return std::nullopt;
            o.idleMinutes = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, 100000));
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() < 2) {
        error = "a mode and a port are needed";
        return std::nullopt;
    }
    const std::string& mode = positional[0];
    o.port = positional[1];
    if (mode == "listen") {
        o.mode = CliMode::Listen;
    } else if (mode == "send") {
        o.mode = CliMode::Send;
        o.files.assign(positional.begin() + 2, positional.end());
        if (o.files.empty()) {
            error = "send needs at least one file";
            return std::nullopt;
        }
    } else if (mode == "chat") {
        o.mode = CliMode::Chat;
    } else {
        error = "unknown mode " + mode;
        return std::nullopt;
    }
    if (o.modemFile.empty() != (!o.dialNumber && !o.modemListen) ||
        (o.dialNumber && o.modemListen)) {
        error = "--modem needs one of --dial and --listen, and they need --modem";
        return std::nullopt;
    }
    if (!o.outbox.empty() && o.mode != CliMode::Listen) {
        error = "--outbox goes with listen";
        return std::nullopt;
    }
    if (o.mode != CliMode::Send && positional.size() > 2) {
        error = "unexpected argument " + positional[2];
        return std::nullopt;
    }
    return o;
}

}  // namespace krl::cli
