#include "tools/krlcli/CallSummary.h"

#include <cstdio>

namespace krl::cli {
namespace {

std::string stoppedText(StopCause cause) {
    return cause == StopCause::LineFailure ? "cut off, the line was lost"
           : cause == StopCause::Closing   ? "stopped, krlcli is closing"
                                           : "stopped";
}

}  // namespace

double CallSummary::seconds() const {
    return lastEndMs_ > firstStartMs_ && firstStartMs_ != 0
               ? static_cast<double>(lastEndMs_ - firstStartMs_) / 1000.0
               : 0.0;
}

std::string CallSummary::runningLine(std::uint64_t nowMs, const LineFigures& line) const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "krlcli-running ms=%llu files_ok=%d files_failed=%d bytes=%llu resent=%ld "
                  "damaged=%ld",
                  static_cast<unsigned long long>(nowMs), whole_, failed_,
                  static_cast<unsigned long long>(bytes_), line.resentBlocks, line.damagedFrames);
    return text;
}

std::string CallSummary::summaryLine(const LineFigures& line) const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "%d file(s) whole, %d not, %llu bytes in %.2f s, %llu block(s) re-sent, "
                  "%llu damaged frame(s)",
                  whole_, failed_, static_cast<unsigned long long>(bytes_), seconds(),
                  static_cast<unsigned long long>(line.resentBlocks),
                  static_cast<unsigned long long>(line.damagedFrames));
    return text;
}

std::string CallSummary::statsLine(const LineFigures& line) const {
    char text[256];
    std::snprintf(text, sizeof text,
                  "krlcli-stats files_ok=%d files_failed=%d bytes=%llu seconds=%.3f "
                  "resent=%ld damaged=%ld data_sent=%llu resumed_from=%llu window=%d\n",
                  whole_, failed_, static_cast<unsigned long long>(bytes_), seconds(),
                  line.resentBlocks, line.damagedFrames,
                  static_cast<unsigned long long>(line.dataBytesSent),
                  static_cast<unsigned long long>(resumedFrom_), line.largestWindow);
    return text;
}

std::string sendOutcomeText(SendState s, StopCause cause) {
    switch (s) {
        case SendState::Done:
            return "sent";
        case SendState::StoppedByReceiver:
            return "refused or stopped by the receiver";
        case SendState::StoppedByUser:
            return stoppedText(cause);
        case SendState::Failed:
            return "failed";
        case SendState::PeerDisconnected:
            return "cut off, the peer disconnected";
        default:
            return "unfinished";
    }
}

std::string receiveOutcomeText(ReceiveState s, StopCause cause) {
    switch (s) {
        case ReceiveState::Complete:
            return "received";
        case ReceiveState::StoppedBySender:
            return "stopped by the sender";
        case ReceiveState::StoppedByUser:
            return stoppedText(cause);
        case ReceiveState::Failed:
            return "failed";
        case ReceiveState::PeerDisconnected:
            return "cut off, the peer disconnected";
        default:
            return "unfinished";
    }
}

}  // namespace krl::cli
