#pragma once

namespace krl::linesim {

// SIGTERM, SIGINT and SIGHUP delivered on a descriptor instead of to a handler, so that the
// loop that runs a line sees them in its poll and ends cleanly. The signals stay blocked for
// the rest of the process.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a stop signal has come; -1 when the signals could not be redirected.
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace krl::linesim
