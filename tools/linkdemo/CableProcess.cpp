#include "tools/linkdemo/CableProcess.h"

#include <chrono>

namespace krl::linkdemo {

CableProcess::CableProcess(const std::string& executable, const std::vector<std::string>& options) {
    std::vector<std::string> args{executable, "cable"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<std::string> lines;
    if (!process_.start(args) ||
        !process_.readLines(2, std::chrono::seconds(30), lines, "linesim", "its device paths")) {
        error_ = process_.error();
        process_.stop();
        return;
    }
    pathA_ = lines[0];
    pathB_ = lines[1];
}

}  // namespace krl::linkdemo
