#pragma once

#include <string>

#include "link/TransferStates.h"

namespace krl {

// What the control interface drives: the file transfer window (opened first when it is closed)
// and, through it, the call. Paths are UTF-8.
class ControlTarget {
public:
    virtual ~ControlTarget() = default;
    virtual void listen() = 0;         // Listen for Calls
    virtual void connect() = 0;        // the send-queued routine: confirm if so set, then dial
    virtual void sendClipboard() = 0;  // Send Clipboard Contents
    // Saves the queue and the window's record; the window and its icons stay as they are.
    virtual void close() = 0;
    virtual void queueFile(const std::string& path) = 0;  // appended, nothing started
    virtual void sendFile(const std::string& path) = 0;   // added with the send-now effect
    virtual TransferStatus sendStatus() const = 0;
    virtual TransferStatus receiveStatus() const = 0;
};

}  // namespace krl
