#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace krl::test {

// A modem description shipped with the program.
inline std::string shipped(const std::string& name) {
    return std::string(KRL_MODEM_DIR) + "/" + name;
}

// The lines of a connection log, without their CR LF.
inline std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// True when every expected text starts one line of the log, in this order.
inline ::testing::AssertionResult inOrder(const std::vector<std::string>& log,
                                          const std::vector<std::string>& expected) {
    std::size_t at = 0;
    for (const std::string& want : expected) {
        while (at < log.size() && log[at].rfind(want, 0) != 0)
            ++at;
        if (at == log.size()) {
            std::string all;
            for (const auto& l : log)
                all += l + "\n";
            return ::testing::AssertionFailure() << "missing in order: \"" << want << "\"\n" << all;
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

// How many RINGs the modem said in a listener's log before the call was answered.
inline int ringsBeforeAnswer(const std::vector<std::string>& log) {
    std::string heard;
    for (const std::string& line : log) {
        if (line == ">  @Answer Connect Command")
            break;
        if (line.rfind("<  ", 0) == 0)
            heard += line.substr(3);
    }
    int rings = 0;
    for (auto at = heard.find("RING"); at != std::string::npos; at = heard.find("RING", at + 1))
        ++rings;
    return rings;
}

}  // namespace krl::test
