#pragma once

#include <string>

namespace krl {

// An abstract device. It is never open; derived devices say when they are.
class CCDevice {
public:
    virtual ~CCDevice() = default;
    virtual bool isOpen() const { return false; }
};

}  // namespace krl
