#include "serial/CCEvent.h"

namespace krl {

bool CCEvent::create(const std::string&, bool manualReset, bool initiallySignalled) {
    handle_ = std::make_shared<WaitHandleState>();
    handle_->manualReset = manualReset;
    handle_->signalled = initiallySignalled;
    return true;
}

bool CCEvent::set() {
    if (!handle_)
        return false;
    {
        std::lock_guard lock(handle_->mutex);
        handle_->signalled = true;
    }
    handle_->changed.notify_all();
    return true;
}

bool CCEvent::reset() {
    if (!handle_)
        return false;
    std::lock_guard lock(handle_->mutex);
    handle_->signalled = false;
    return true;
}

bool CCEvent::pulse() {
    if (!handle_)
        return false;
    // Waiters re-check the flag under the lock, so a pulse can only release the waiters that
    // wake while it is set; with the single thread of this program there are none.
    set();
    return reset();
}

}  // namespace krl
