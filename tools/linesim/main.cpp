// linesim: a virtual serial line for tests and benchmarks. One subcommand a mode of use.
#include <iostream>
#include <string>
#include <vector>

#include "tools/linesim/CableCommand.h"
#include "tools/linesim/LineOptions.h"
#include "tools/linesim/ModemsCommand.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* (*help)();
    const char* summary;
};

// A new mode of use is one more row.
const Subcommand kSubcommands[] = {
    {"cable", krl::linesim::runCable, krl::linesim::cableHelp,
     "two pseudo-terminals joined by a simulated serial line"},
    {"modems", krl::linesim::runModems, krl::linesim::modemsHelp,
     "two Hayes modems on one telephone line, served as RFC 2217 ports"},
};

void printHelp(std::ostream& out) {
    out << "Usage: linesim <subcommand> [options]\n"
           "       linesim <subcommand> --help\n\nSubcommands:\n";
    for (const Subcommand& s : kSubcommands)
        out << "  " << s.name << "  " << s.summary << "\n";
    out << "\n";
    for (const Subcommand& s : kSubcommands)
        out << s.help() << "\n";
    out << krl::linesim::lineOptionsHelp();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    for (const Subcommand& s : kSubcommands) {
        if (args[0] != s.name)
            continue;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& arg : rest) {
            if (arg == "--help" || arg == "-h") {
                std::cout << s.help() << "\n" << krl::linesim::lineOptionsHelp();
                return 0;
            }
        }
        return s.run(rest);
    }
    std::cerr << "linesim: unknown subcommand " << args[0] << " (try linesim --help)\n";
    return 2;
}
