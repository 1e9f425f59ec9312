#include "XServer.h"

#include <chrono>
#include <vector>

namespace krl::test {

XServer::XServer() {
    std::vector<std::string> lines;
    // -displayfd 1: the server picks a free display and prints its number once it takes
    // clients.
    if (process_.start({"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                        "-nolisten", "tcp"}) &&
        process_.readLines(1, std::chrono::seconds(30), lines, "Xvfb", "its display number"))
        display_ = ":" + lines[0];
    else
        process_.stop();
}

}  // namespace krl::test
