#pragma once

namespace krl::tools {

// SIGTERM, SIGINT and SIGHUP delivered on a descriptor instead of to a handler, so that the
// loop of a tool sees them in its poll and ends cleanly. The signals stay blocked until
// release().
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a stop signal has come; -1 when the signals could not be redirected.
    int fd() const { return fd_; }
    // The signal that came (taking it), or 0 when none has.
    int take();
    // Gives the signals back their default action: a further one ends the process at once.
    void release();

private:
    int fd_ = -1;
};

}  // namespace krl::tools
