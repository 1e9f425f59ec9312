#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "platform/qt/HomeFolders.h"
#include "shell/CallListener.h"

class QWidget;

namespace krl {

class AddressBookWindows;
class CallController;
class CardTransferDialog;
class CMainFrame;
class CommandRegistry;
class FileStore;
class Settings;
class StringTable;
class VideoWindowPair;

// Dialling from the program and the address book and card commands: Dial opens the connect
// dialog for a modem or a DSVD modem (a cable dials at once), Tools > Address Book, Your Business
// Card, Send Card, Add to Address Book; and the Transferring Business Card dialog whenever a card
// picture travels.
class AddressBookCommands : public QObject, private CallListener {
    Q_OBJECT

public:
    struct Services {
        CMainFrame& frame;
        CallController& call;
        Settings& settings;
        const StringTable& strings;
        HomeFolders folders;
        FileStore& files;
        VideoWindowPair& video;
        // The Modem settings dialog; true on OK.
        std::function<bool()> editModemSettings;
    };

    explicit AddressBookCommands(Services services);
    ~AddressBookCommands() override;

    void addTo(CommandRegistry& commands);

    // The connect dialog, then the call it chose.
    void connectDialog();
    // Dials number at once through the configured modem (the command line's --call, a tel:
    // link): refused with message 4260 when it has more dialling characters than a call carries,
    // ignored while a call is under way.
    void callNumber(const QString& number);
    void editOwnCard();

private:
    void cardTransferStarted() override;

    Services services_;
    std::unique_ptr<AddressBookWindows> windows_;
    QPointer<CardTransferDialog> transfer_;
};

}  // namespace krl
