#pragma once

#include <string_view>

namespace krl {

// The window shown while a modem dials. The connection opens it when a dial starts, tells it
// when each connect command goes out (it plays its animation) and closes it when the call is
// made or hung up. The window's Hangup button calls the connection's hangUp.
class DialingWindow {
public:
    virtual ~DialingWindow() = default;
    // name may be empty; number is what the user should read (prefix, a blank, the number).
    virtual void open(std::string_view name, std::string_view number) = 0;
    virtual void connectCommandSent() = 0;
    virtual void close() = 0;
};

}  // namespace krl
