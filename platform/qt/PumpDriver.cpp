#include "platform/qt/PumpDriver.h"

#include <QSocketNotifier>

namespace krl {

PumpDriver::PumpDriver(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PumpDriver::tick);
}

PumpDriver::~PumpDriver() = default;

void PumpDriver::start() {
    follow();
    timer_.start(hooks_.fast && hooks_.fast() ? kFastPeriodMs : kSlowPeriodMs);
}

void PumpDriver::stop() {
    timer_.stop();
    notifier_.reset();
    watched_ = -1;
}

void PumpDriver::tick() {
    // A notifier switched off by a step that left bytes unread comes back once per tick.
    if (notifier_ && !notifier_->isEnabled())
        notifier_->setEnabled(true);
    run();
}

void PumpDriver::readable() {
    if (notifier_)
        notifier_->setEnabled(false);
    run();
}

void PumpDriver::run() {
    if (running_)
        return;
    running_ = true;
    ++steps_;
    if (hooks_.step)
        hooks_.step();
    running_ = false;
    follow();
}

// Keeps the notifier on the port that is open now and the timer on the right period.
void PumpDriver::follow(bool renew) {
    const int handle = hooks_.notifyHandle ? hooks_.notifyHandle() : -1;
    if (handle != watched_ || (renew && handle >= 0)) {
        notifier_.reset();
        watched_ = handle;
        if (handle >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &PumpDriver::readable);
        }
    }
    const int period = hooks_.fast && hooks_.fast() ? kFastPeriodMs : kSlowPeriodMs;
    if (timer_.isActive() && timer_.interval() != period)
        timer_.setInterval(period);
}

}  // namespace krl
