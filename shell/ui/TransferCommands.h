#pragma once

#include "shell/CallController.h"
#include "shell/CallListener.h"

namespace krl {

class CMainFrame;
class CommandRegistry;
class Settings;
class TransferFeature;

// The file transfer joined to the shell: it hears the call through the call controller, takes
// the files handed to the main frame, and opens its window on File Transfer. The own card's
// picture waits in its queue while a file is being sent.
class TransferCommands : private CallListener, private CardPictureQueue {
public:
    TransferCommands(TransferFeature& transfer, CallController& call, Settings& settings,
                     CMainFrame& frame, CommandRegistry& commands);
    ~TransferCommands() override;
    TransferCommands(const TransferCommands&) = delete;
    TransferCommands& operator=(const TransferCommands&) = delete;

private:
    void callStateChanged(ConnectionState state) override;
    void callMade() override;
    void callEnded(CallEnd why) override;
    void cardReceived(const BusinessCard& card) override;
    void fileOffered() override;
    void pumped(PumpResult result) override;
    bool queueCardPicture(const std::string& path) override;

    TransferFeature& transfer_;
    CallController& call_;
    Settings& settings_;
};

}  // namespace krl
