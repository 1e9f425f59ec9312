#pragma once

#include <string>

#include "serial/CCSynchObject.h"

namespace krl {

// An event object: created, then set, reset or pulsed. Names and security attributes are
// accepted for the caller's sake; events here are always private to the process.
class CCEvent : public CCSynchObject {
public:
    // Creates (or re-creates) the event. False only when the event cannot be had.
    virtual bool create(const std::string& name = {}, bool manualReset = true,
                        bool initiallySignalled = false);
    virtual bool set();
    virtual bool reset();
    // Releases the waiters present now and leaves the event reset.
    virtual bool pulse();
};

}  // namespace krl
