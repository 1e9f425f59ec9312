// krlcli: a Kestrelcall peer on the command line, for scripts, tests and benchmarks.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tools/krlcli/CliOptions.h"
#include "tools/krlcli/CliPeer.h"
#include "tools/krlcli/CliVideo.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // A received file that meets the file size limit fails its write (EFBIG) and the transfer
    // ends as on a full disk, its partial file removed; the signal would end krlcli instead.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = krl::cli::parseCliOptions(args, error);
    if (!options) {
        if (error.empty()) {
            std::cout << krl::cli::cliUsage() << krl::cli::CliVideo::usage();
            return 0;
        }
        std::cerr << "krlcli: " << error << "\n" << krl::cli::cliUsage();
        return krl::cli::kExitUsage;
    }
    krl::cli::CliPeer peer(*options, std::cerr, std::cout);
    return peer.run();
}
