#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace krl {

// Drives the connection's pump from Qt's event loop: a timer (every few milliseconds while a
// call is up, every 100 ms otherwise) and a notifier on the port's descriptor so that bytes
// arriving while idle are read without waiting for the next tick. Qt timers fire under modal
// dialogs and open menus, so the pump goes on there too. Never a busy loop: a readable port
// whose bytes the step leaves unread wakes the step at most once per timer tick.
class PumpDriver : public QObject {
    Q_OBJECT

public:
    static constexpr int kFastPeriodMs = 5;
    static constexpr int kSlowPeriodMs = 100;

    struct Hooks {
        // One step. Re-entry is the step's own concern (the driver never calls it inside
        // itself, but a step may be reached from other timers too).
        std::function<void()> step;
        // The port's descriptor to watch, or -1 when the port is closed.
        std::function<int()> notifyHandle;
        // True while the fast period applies (a call is up).
        std::function<bool()> fast;
    };

    explicit PumpDriver(Hooks hooks, QObject* parent = nullptr);
    ~PumpDriver() override;

    void start();
    void stop();
    // Follows the port now: call after anything outside the driver's own steps may have closed
    // or opened it (a descriptor number can come back for a new port).
    void refresh() { follow(true); }
    int periodMs() const { return timer_.interval(); }
    int watchedHandle() const { return watched_; }
    // Steps run by the driver since it started (for tests and measurements).
    quint64 steps() const { return steps_; }

private:
    void tick();
    void readable();
    void run();
    void follow(bool renew = false);

    Hooks hooks_;
    QTimer timer_;
    std::unique_ptr<QSocketNotifier> notifier_;
    int watched_ = -1;
    bool running_ = false;
    quint64 steps_ = 0;
};

}  // namespace krl
