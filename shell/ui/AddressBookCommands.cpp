#include "shell/ui/AddressBookCommands.h"

#include <QFile>

#include "addressbook/CardRecord.h"
#include "addressbook/ui/AddressBookWindows.h"
#include "addressbook/ui/CardTransferDialog.h"
#include "addressbook/ui/EditCardDialog.h"
#include "base/Cp1252.h"
#include "connection/ModemCommand.h"
#include "controls/ui/ShowMessage.h"
#include "settings/GeneralSettings.h"
#include "settings/Settings.h"
#include "shell/CallCommands.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/ConnectChoice.h"
#include "shell/ui/CConnectDialog.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/UserGuide.h"
#include "video/VideoWindowPair.h"

namespace krl {
namespace {

std::string fileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

CardRecord ownCard(const Settings& settings) {
    const GeneralSettings& g = settings.get<GeneralSettings>();
    return CardRecord::fromBytes(g.ownCard.data(), g.ownCard.size());
}

QString takeCardPicture(VideoWindowPair& video, bool remote, const QString& path) {
    return QFile::decodeName(video.takeCardPicture(remote, fileName(path)).c_str());
}

void openGuide(HelpWindow window) {
    UserGuide().open(window);
}

}  // namespace

AddressBookCommands::AddressBookCommands(Services services) : services_(std::move(services)) {
    VideoWindowPair& video = services_.video;
    windows_ = std::make_unique<AddressBookWindows>(AddressBookWindows::Services{
        services_.files, services_.strings, fileName(services_.folders.addressBookFile()),
        EditCardDialog::Services{
            services_.folders.businessCardsDir(),
            [&video](const QString& path) { return takeCardPicture(video, true, path); },
            openGuide}});
    services_.call.addListener(this);
}

AddressBookCommands::~AddressBookCommands() {
    services_.call.removeListener(this);
}

void AddressBookCommands::addTo(CommandRegistry& commands) {
    CMainFrame& frame = services_.frame;
    addDialCommand(commands, services_.call,
                   {[&frame] { return frame.connectType(); }, [this] { connectDialog(); }});
    commands.add(CommandId::AddressBook, [this] { windows_->open(&services_.frame); });
    commands.add(CommandId::OwnCard, [this] { editOwnCard(); });
    commands.add(CommandId::SendOwnCard, [this] { services_.call.sendOwnCard(); });
    commands.add(CommandId::AddToAddressBook, [this] {
        const auto& remote = services_.call.remoteCard();
        if (!remote || remote->name.empty())
            return;
        CardRecord card = CardRecord::fromCard(*remote);
        // A picture that never came is no picture.
        if (!card.picture.empty() && card.picture.back() == '/')
            card.picture.clear();
        windows_->addCard(&services_.frame, card);
    });
}

void AddressBookCommands::connectDialog() {
    CConnectDialog dialog(
        ConnectDialogServices{services_.settings, services_.strings,
                              fileName(services_.folders.addressBookFile()),
                              services_.editModemSettings,
                              [this](AddressBook& book, const std::optional<std::string>& name) {
                                  windows_->edit(&services_.frame, book, name);
                              }},
        &services_.frame);
    if (dialog.exec() != QDialog::Accepted || !dialog.result())
        return;
    const CConnectDialog::Result& result = *dialog.result();
    if (result.pickup)
        services_.call.pickup();
    else
        services_.call.dialNumber(result.dial.number, cp1252ToUtf8(result.dial.name));
}

void AddressBookCommands::callNumber(const QString& number) {
    const std::string text = number.toStdString();
    if (dialCharacters(text, std::string::npos).empty())
        return;
    // A number cut to fit would call somebody else: it is refused with a word instead.
    if (ConnectChoice::tooLongToDial(text)) {
        showMessage(&services_.frame, ConnectChoice::kMsgNumberTooLong, MessageKind::Error, number);
        return;
    }
    const ConnectionState state = services_.call.connection().state();
    if (state != ConnectionState::NotConnected && state != ConnectionState::Listening)
        return;
    services_.call.dialNumber(text, {});
}

void AddressBookCommands::editOwnCard() {
    const GeneralSettings& general = services_.settings.get<GeneralSettings>();
    VideoWindowPair& video = services_.video;
    EditCardDialog dialog(
        ownCard(services_.settings), QStringLiteral("Your Business Card"),
        EditCardDialog::OwnCard{general.sendCardOnConnect(),
                                services_.call.connection().state() == ConnectionState::Connected},
        EditCardDialog::Services{
            services_.folders.businessCardsDir(),
            [&video](const QString& path) { return takeCardPicture(video, false, path); },
            openGuide},
        &services_.frame);
    const int result = dialog.exec();
    if (result != QDialog::Accepted && result != EditCardDialog::kSendNowResult)
        return;
    if (dialog.card().name.empty())
        return;
    const CardRecord card = dialog.card();
    const bool sendOnConnect = dialog.sendOnConnect();
    GeneralSettings changed = services_.settings.get<GeneralSettings>();
    changed.ownCard = card.toBytes();
    changed.cardFlags =
        static_cast<std::uint8_t>((changed.cardFlags & ~GeneralSettings::kSendCardOnConnect) |
                                  (sendOnConnect ? GeneralSettings::kSendCardOnConnect : 0));
    services_.settings.setAndStore(changed);
    if (result == EditCardDialog::kSendNowResult)
        services_.call.sendOwnCard();
}

void AddressBookCommands::cardTransferStarted() {
    if (transfer_)
        return;
    CallController& call = services_.call;
    CardTransferDialog::Hooks hooks{
        [&call] { call.pumpStep(); },
        [&call] { return call.connection().state() == ConnectionState::Connected; },
        [&call] { return call.connection().protocol().sender().status(); },
        [&call] { return call.connection().protocol().receiver().status(); },
        [&call](int command) {
            call.connection().protocol().sender().control(static_cast<SendControl>(command));
        },
        [&call] { call.connection().protocol().receiver().control(ReceiveControl::Stop); },
        [&call] { call.forcedHangUp(); },
        openGuide};
    auto* dialog = new CardTransferDialog(std::move(hooks),
                                          int(services_.settings.get<GeneralSettings>().timeSlice),
                                          &services_.frame);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    transfer_ = dialog;
    // Shown without blocking the frame: the call's full step goes on under it, so the peer's
    // card reaches the panel while the pictures travel.
    dialog->show();
}

}  // namespace krl
