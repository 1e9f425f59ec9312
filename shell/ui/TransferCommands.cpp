#include "shell/ui/TransferCommands.h"

#include "settings/Settings.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/ui/CMainFrame.h"
#include "transfer/QueueItem.h"
#include "transfer/ui/TransferFeature.h"

namespace krl {

TransferCommands::TransferCommands(TransferFeature& transfer, CallController& call,
                                   Settings& settings, CMainFrame& frame, CommandRegistry& commands)
    : transfer_(transfer), call_(call), settings_(settings) {
    commands.add(CommandId::FileTransfer, [&transfer] { transfer.open(); });
    frame.setFileQueue(FileQueueHooks{
        [&transfer](const QStringList& files) { transfer.takeFiles(files); },
        [&transfer](const QStringList& files) { transfer.queueHandedFiles(files); },
        [&transfer] { return transfer.queuedFiles(); },
        {},
        [&transfer] { transfer.programClosing(); },
    });
    call_.addListener(this);
    call_.setCardPictureQueue(this);
}

TransferCommands::~TransferCommands() {
    call_.setCardPictureQueue(nullptr);
    call_.removeListener(this);
}

void TransferCommands::callStateChanged(ConnectionState) {
    transfer_.callStateChanged();
}

void TransferCommands::callMade() {
    // A cable reports no connect speed: its port rate is the line's.
    const std::uint32_t speed = call_.connection().lastConnectSpeed();
    transfer_.callMade(speed != 0 ? speed : settings_.get<CommsSettings>().baudRate);
}

void TransferCommands::callEnded(CallEnd) {
    transfer_.callEnded();
}

void TransferCommands::cardReceived(const BusinessCard& card) {
    transfer_.cardReceived(card);
}

void TransferCommands::fileOffered() {
    transfer_.fileOffered();
}

void TransferCommands::pumped(PumpResult result) {
    transfer_.pumped(result);
}

bool TransferCommands::queueCardPicture(const std::string& path) {
    // The queue moves only while its window is there. At the head, the item is not sent as a
    // file: the window hands it back as the send-card command, which sends it as a card picture.
    transfer_.open();
    return transfer_.work().add(QueueItem{path, std::string(kCardPictureType), kCardPicture},
                                false);
}

}  // namespace krl
