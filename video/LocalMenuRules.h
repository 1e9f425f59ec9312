#pragma once

#include <cstdint>

#include "video/LocalVideoStep.h"

namespace krl {

// Which entries of the local video window's menu are there, greyed or checked, from the
// capture state, the call and the driver.
struct LocalMenuRules {
    struct Entry {
        bool shown = true;
        bool enabled = true;
        bool checked = false;
        bool operator==(const Entry&) const = default;
    };
    struct Input {
        CaptureState state = CaptureState::Closed;
        bool connected = false;
        bool sending = false;
        bool noDriver = false;  // the driver is "None" and no file is chosen to play
        bool recording = false;
    };

    Entry capture, stopCapture, send, stopSending, pause, videoFormat, videoSource, record,
        snapshot;

    static LocalMenuRules from(const Input& in);
};

}  // namespace krl
