#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace krl::cli {

enum class CliMode { Listen, Send, Chat };

struct CliOptions {
    CliMode mode = CliMode::Listen;
    std::string port;
    std::vector<std::string> files;
    std::uint32_t baud = 115200;
    bool rtsCts = false;
    std::string receiveFolder = ".";
    std::uint64_t commandTimeoutMs = 60000;
    bool overwrite = false;
    bool refuseExisting = false;
    bool progress = false;  // forced on; otherwise shown when stderr is a terminal
    bool quiet = false;
    std::optional<std::string> card;  // "name|phone|details"
    bool page = false;
    int expectFiles = -1;                // listen: end after this many files arrived
    std::uint64_t stopSendAfter = 0;     // send: stop the first file after this many bytes
    std::uint64_t stopReceiveAfter = 0;  // listen: stop the first file after this many bytes
    std::string logPath;
    bool stats = false;                   // print a machine-readable summary line on stdout
    std::uint64_t statsEverySeconds = 0;  // also a running line this often; 0 only at the end
    // listen: send every file that appears in this folder, then move it to "sent/" or
    // "failed/" inside it. Files should be renamed into the folder once written whole.
    std::string outbox;
    bool extension = true;      // windowed blocks and resume with a peer that is a copy too
    bool clearPartial = false;  // remove kept partial files of the receive folder first
    // Two-way video: "--video=SOURCE" and the "--video-*" settings, read by CliVideo.
    std::vector<std::string> videoArgs;
    // Placing or answering the call through a modem description (*.mdm): with modemFile set,
    // exactly one of dialNumber and modemListen.
    std::string modemFile;
    std::optional<std::string> dialNumber;
    bool modemListen = false;
    std::uint32_t rings = 2;         // rings before answering
    std::uint32_t idleMinutes = 10;  // drop a call silent this long; 0 never
};

// Parses the command line (without the program name). Nothing, with `error` set, when it does
// not make sense; `error` is empty and nothing returned for --help.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error);

const char* cliUsage();

}  // namespace krl::cli
