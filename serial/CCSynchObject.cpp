#include "serial/CCSynchObject.h"

#include <chrono>

namespace krl {

bool CCSynchObject::wait(std::uint32_t timeoutMs) {
    if (!handle_)
        return false;
    std::unique_lock lock(handle_->mutex);
    bool signalled = handle_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                               [this] { return handle_->signalled; });
    if (signalled && !handle_->manualReset)
        handle_->signalled = false;
    return signalled;
}

}  // namespace krl
