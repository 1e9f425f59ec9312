#pragma once

#include <cstdint>
#include <string>

#include "link/TransferStates.h"

namespace krl::cli {

// What the line did in the call, for the summary lines.
struct LineFigures {
    long resentBlocks = 0;
    long damagedFrames = 0;
    std::uint64_t dataBytesSent = 0;
    int largestWindow = 0;
};

// The files of a call, whole or not, and the lines that report them: the summary for the user,
// and the key=value lines a script reads.
class CallSummary {
public:
    void transferStarted(std::uint64_t nowMs) {
        if (firstStartMs_ == 0)
            firstStartMs_ = nowMs;
    }
    void transferEnded(std::uint64_t nowMs) { lastEndMs_ = nowMs; }
    void fileWhole(std::uint64_t bytes) {
        ++whole_;
        bytes_ += bytes;
    }
    void filesFailed(int count) { failed_ += count; }
    // Bytes of a received file that earlier calls had left.
    void resumed(std::uint64_t bytes) { resumedFrom_ += bytes; }

    int whole() const { return whole_; }
    int failed() const { return failed_; }

    // The figures so far, for a script that watches a long call.
    std::string runningLine(std::uint64_t nowMs, const LineFigures& line) const;
    std::string summaryLine(const LineFigures& line) const;
    std::string statsLine(const LineFigures& line) const;

private:
    double seconds() const;

    int whole_ = 0;
    int failed_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t firstStartMs_ = 0;
    std::uint64_t lastEndMs_ = 0;
    std::uint64_t resumedFrom_ = 0;
};

// How a file ended, for its line.
std::string sendOutcomeText(SendState state, StopCause cause);
std::string receiveOutcomeText(ReceiveState state, StopCause cause);

}  // namespace krl::cli
