#include "shell/ui/ControlBridge.h"

#include <cstdio>

#include "platform/qt/ControlBusService.h"
#include "settings/Settings.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "transfer/TransferWindowRecord.h"
#include "transfer/ui/CFileTransfer.h"
#include "transfer/ui/TransferFeature.h"

namespace krl {

ControlBridge::ControlBridge(TransferFeature& transfer, CallController& call,
                             CommandRegistry& commands, Settings& settings)
    : transfer_(transfer), call_(call), commands_(commands), settings_(settings), control_(*this) {}

ControlBridge::~ControlBridge() = default;

bool ControlBridge::start() {
    service_ = std::make_unique<ControlBusService>(
        [this](const QString& block) { return execute(block.toStdString()); },
        [this](const QString& item) {
            return QString::fromStdString(control_.request(item.toStdString()));
        });
    QString error;
    if (service_->start(&error))
        return true;
    std::fprintf(stderr, "kestrelcall: control interface not served: %s\n", qPrintable(error));
    service_.reset();
    return false;
}

bool ControlBridge::execute(const std::string& block) {
    if (transfer_.window() == nullptr)
        transfer_.open();
    return control_.execute(block);
}

void ControlBridge::listen() {
    commands_.run(CommandId::Listen);
}

void ControlBridge::connect() {
    transfer_.work().sendQueued();
}

void ControlBridge::sendClipboard() {
    transfer_.sendClipboard();
}

void ControlBridge::close() {
    // The queue and the window's record are saved; the window stays, with all it uses.
    if (CFileTransfer* window = transfer_.window())
        window->keepState();
    if (settings_.has<TransferWindowRecord>())
        settings_.store<TransferWindowRecord>();
    transfer_.work().saveQueue();
}

void ControlBridge::queueFile(const std::string& path) {
    transfer_.work().add(QueueItem{path, {}, kOrdinaryFile}, false);
}

void ControlBridge::sendFile(const std::string& path) {
    transfer_.work().add(QueueItem{path, {}, kOrdinaryFile}, true);
}

TransferStatus ControlBridge::sendStatus() const {
    return call_.connection().protocol().sender().status();
}

TransferStatus ControlBridge::receiveStatus() const {
    return call_.connection().protocol().receiver().status();
}

}  // namespace krl
