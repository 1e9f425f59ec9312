#pragma once

#include <string>

#include "tools/common/ChildProcess.h"

namespace krl::test {

// An X server of its own (Xvfb on the first free display) for a copy that must not share the
// run's display: its own clipboard, as on the second computer of a call. Ended on destruction,
// and with it every program that still holds its clipboard.
class XServer {
public:
    XServer();
    bool ok() const { return process_.running() && !display_.empty(); }
    const std::string& error() const { return process_.error(); }
    // The DISPLAY value (":12").
    const std::string& display() const { return display_; }

private:
    tools::ChildProcess process_;
    std::string display_;
};

}  // namespace krl::test
