#include "tools/linesim/LineRelay.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

namespace krl::linesim {

namespace {

constexpr std::size_t kChunk = 4096;
// The relay looks at the clock at least this often even when nothing is due.
constexpr int kMaxSleepMs = 100;

bool transient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

LineRelay::LineRelay(int fdA, int fdB, const LineConfig& config, const MonotonicClock& clock)
    : clock_(clock),
      aToB_(config, 0),
      bToA_(config, 1),
      forward_{fdA, fdB, aToB_, false, std::nullopt},
      backward_{fdB, fdA, bToA_, false, std::nullopt} {}

bool LineRelay::deliver(Direction& d, std::uint64_t nowUs) {
    d.outputBlocked = false;
    std::uint8_t buffer[kChunk];
    for (;;) {
        std::size_t n = d.channel.peekArrived(buffer, sizeof buffer, nowUs);
        if (n == 0)
            return true;
        ssize_t written = ::write(d.to, buffer, n);
        if (written < 0) {
            if (transient(errno)) {
                d.outputBlocked = errno != EINTR;
                return true;
            }
            // EIO from a pseudo-terminal master while nobody holds the slave: the bytes are
            // lost, as on a cable with nothing plugged in at the far end.
            if (errno == EIO) {
                d.channel.consume(n);
                return true;
            }
            return false;
        }
        d.channel.consume(static_cast<std::size_t>(written));
        if (static_cast<std::size_t>(written) < n) {
            d.outputBlocked = true;
            return true;
        }
    }
}

bool LineRelay::take(Direction& d, std::uint64_t nowUs) {
    std::uint8_t buffer[kChunk];
    // The bytes the sending end still held at the last pass were ready then: a UART whose
    // driver queue holds bytes keeps its line busy, however late this pass comes. Bytes
    // written since are ready now.
    std::optional<LeftOver> early = d.leftOver;
    d.leftOver.reset();
    for (;;) {
        const std::uint64_t readyUs = early ? early->sinceUs : nowUs;
        std::size_t room = std::min(d.channel.room(nowUs, readyUs), sizeof buffer);
        if (early)
            room = std::min(room, early->bytes);
        if (room == 0) {
            // While the far end holds the line off, the line is not late: it is stopped.
            if (d.channel.heldByReceiver())
                return true;
            const std::size_t waiting = early ? early->bytes : sourceWaiting(d);
            if (waiting > 0)
                d.leftOver = LeftOver{early ? early->sinceUs : nowUs, waiting};
            return true;
        }
        ssize_t got = ::read(d.from, buffer, room);
        if (got > 0) {
            const auto n = static_cast<std::size_t>(got);
            d.channel.send(buffer, n, nowUs, readyUs);
            if (early && (early->bytes -= std::min(early->bytes, n)) == 0)
                early.reset();
            continue;
        }
        // EIO: a pseudo-terminal master whose slave nobody holds; it has nothing to give.
        if (got < 0 && (transient(errno) || errno == EIO))
            return true;
        return false;  // end of stream or a failed descriptor
    }
}

std::size_t LineRelay::sourceWaiting(const Direction& d) {
    int waiting = 0;
    if (::ioctl(d.from, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}

bool LineRelay::pump(Direction& d, std::uint64_t nowUs) {
    return deliver(d, nowUs) && take(d, nowUs);
}

int LineRelay::pollTimeoutMs(std::uint64_t nowUs, std::uint64_t deadlineUs) const {
    std::uint64_t next = deadlineUs != 0 ? deadlineUs : std::numeric_limits<std::uint64_t>::max();
    for (const Direction* d : {&forward_, &backward_}) {
        next = std::min(next, d->channel.nextRoomUs(nowUs));
        // Bytes for a far end that takes no more wait for it to become writable, not for time.
        if (!d->outputBlocked)
            next = std::min(next, std::max(d->channel.nextArrivalUs(), nowUs));
    }
    if (next == std::numeric_limits<std::uint64_t>::max())
        return kMaxSleepMs;
    std::uint64_t waitUs = next > nowUs ? next - nowUs : 0;
    // Round up so the wake comes after the event, at least 1 ms so a busy line moves bytes in
    // batches rather than one wake a byte.
    auto ms = static_cast<int>(std::min<std::uint64_t>((waitUs + 999) / 1000, kMaxSleepMs));
    return std::max(ms, 1);
}

LineRelay::StopReason LineRelay::run(std::uint64_t deadlineUs, int stopFd) {
    for (;;) {
        std::uint64_t now = clock_.nowUs();
        if (deadlineUs != 0 && now >= deadlineUs)
            return StopReason::Deadline;
        if (!pump(forward_, now) || !pump(backward_, now))
            return StopReason::EndFailed;

        pollfd fds[3];
        nfds_t count = 0;
        for (Direction* d : {&forward_, &backward_}) {
            // Read interest only while the line has room; write interest only while the far
            // end is full. A pseudo-terminal master reads and writes on the same descriptor.
            short events = 0;
            if (d->channel.room(now) > 0)
                events |= POLLIN;
            fds[count++] = {d->from, events, 0};
        }
        for (Direction* d : {&forward_, &backward_}) {
            if (!d->outputBlocked)
                continue;
            for (nfds_t i = 0; i < count; ++i) {
                if (fds[i].fd == d->to)
                    fds[i].events |= POLLOUT;
            }
        }
        if (stopFd >= 0)
            fds[count++] = {stopFd, POLLIN, 0};
        int ready = ::poll(fds, count, pollTimeoutMs(now, deadlineUs));
        if (ready < 0 && errno != EINTR)
            return StopReason::EndFailed;
        if (stopFd >= 0 && ready > 0 && (fds[count - 1].revents & POLLIN)) {
            return StopReason::Signalled;
        }
    }
}

std::string LineRelay::summary() const {
    auto line = [](const char* name, const LineChannel& c) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s: %llu bytes sent, %llu delivered, %llu dropped, %llu bits flipped\n",
                      name, static_cast<unsigned long long>(c.stats().bytesSent),
                      static_cast<unsigned long long>(c.stats().bytesDelivered),
                      static_cast<unsigned long long>(c.stats().bytesDropped),
                      static_cast<unsigned long long>(c.stats().bitsFlipped));
        return std::string(text);
    };
    return line("A->B", aToB_) + line("B->A", bToA_);
}

}  // namespace krl::linesim
