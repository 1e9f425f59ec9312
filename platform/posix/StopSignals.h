#pragma once

namespace krl {

// SIGTERM, SIGINT and SIGHUP delivered on a descriptor, so that the loop of a tool or the
// program's event loop sees them and ends cleanly, until release(). One per process.
// SIGXFSZ is ignored from then on: a file-size limit reached while receiving is a write error
// (EFBIG) that the transfer reports and cleans up after, not the end of the process.
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
    int writeFd_ = -1;
};

}  // namespace krl
