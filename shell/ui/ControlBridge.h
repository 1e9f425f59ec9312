#pragma once

#include <memory>

#include "transfer/ControlInterface.h"
#include "transfer/ControlTarget.h"

namespace krl {

class CallController;
class CommandRegistry;
class ControlBusService;
class Settings;
class TransferFeature;

// Serves the control interface on the session bus for the running program. The file transfer
// window answers it: an execute that arrives while the window is closed opens it first, then
// its commands reach the window's queue and the call's commands; requests read the call's
// transfer states at that moment.
class ControlBridge : private ControlTarget {
public:
    ControlBridge(TransferFeature& transfer, CallController& call, CommandRegistry& commands,
                  Settings& settings);
    ~ControlBridge() override;
    ControlBridge(const ControlBridge&) = delete;
    ControlBridge& operator=(const ControlBridge&) = delete;

    // Takes the bus name; false when another copy serves it or there is no session bus.
    bool start();

private:
    bool execute(const std::string& block);
    void listen() override;
    void connect() override;
    void sendClipboard() override;
    void close() override;
    void queueFile(const std::string& path) override;
    void sendFile(const std::string& path) override;
    TransferStatus sendStatus() const override;
    TransferStatus receiveStatus() const override;

    TransferFeature& transfer_;
    CallController& call_;
    CommandRegistry& commands_;
    Settings& settings_;
    ControlInterface control_;
    std::unique_ptr<ControlBusService> service_;
};

}  // namespace krl
