#pragma once

#include <cstdint>
#include <functional>

namespace krl {

// What the call controller needs from the event loop and the windows, so that it can run
// without either in tests.
class CallHost {
public:
    virtual ~CallHost() = default;
    // Runs work later from the event loop (after at least delayMs), never inside the caller.
    virtual void post(std::function<void()> work, std::uint32_t delayMs = 0) = 0;
    // A menu or a modal window is open: only the light pump step may run.
    virtual bool modalOpen() const = 0;
    // The port may have been opened or closed: whatever watches its descriptor follows.
    virtual void portChanged() = 0;
    // Runs the Modem dialog over the Comms block; true when it ended with OK (the block has then
    // been stored). Only ever one at a time.
    virtual bool editModemSettings() = 0;
    // The way out has reached "not connected": the program closes.
    virtual void closeProgram() = 0;
};

}  // namespace krl
