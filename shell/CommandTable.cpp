#include "shell/CommandTable.h"

namespace krl {
namespace {

bool inRange(ConnectionState s, ConnectionState from, ConnectionState to) {
    const int v = static_cast<int>(s);
    return v >= static_cast<int>(from) && v <= static_cast<int>(to);
}

bool notYetConnected(ConnectionState s) {
    return inRange(s, ConnectionState::NotConnected, ConnectionState::Listening);
}

CommandUi listenUi(ConnectionState s) {
    if (inRange(s, ConnectionState::OpeningPort, ConnectionState::Listening))
        return {true, "Stop &Listening"};
    const bool enabled = s != ConnectionState::Dialling && s != ConnectionState::Connected;
    return {enabled, "&Listen"};
}

CommandUi pageUi(const CommandContext& c) {
    if (c.state != ConnectionState::Connected)
        return {false, "P&age\tCtrl+A"};
    if (c.remoteName.empty())
        return {true, std::nullopt};
    return {true, "P&age " + c.remoteName + "\tCtrl+A"};
}

}  // namespace

CommandUi CommandTable::ui(CommandId command, const CommandContext& c) {
    switch (command) {
        case CommandId::Dial:
            return {notYetConnected(c.state), std::nullopt};
        case CommandId::Pickup:
            return {c.connectType == ConnectType::Dsvd && notYetConnected(c.state), std::nullopt};
        case CommandId::Disconnect:
            return {c.state == ConnectionState::Dialling || c.state == ConnectionState::Connected,
                    std::nullopt};
        case CommandId::Hold:
        case CommandId::AddToAddressBook:
            return {c.state == ConnectionState::Connected, std::nullopt};
        case CommandId::Page:
            return pageUi(c);
        case CommandId::Listen:
            return listenUi(c.state);
        case CommandId::ShowCard:
            return {!c.cardPanelShown, std::nullopt};
        case CommandId::HideCard:
            return {c.cardPanelShown, std::nullopt};
        default:
            // Exit, Options, the card, the tool windows, help and the accelerator-only
            // commands are always there.
            return {true, std::nullopt};
    }
}

const std::vector<MenuDefinition>& CommandTable::menus() {
    static const std::vector<MenuDefinition> menus = {
        {"&Connect",
         {{CommandId::Dial, "&Dial"},
          {CommandId::Pickup, "&Pickup Call\tCtrl+P"},
          {CommandId::Disconnect, "Di&sconnect\tCtrl+D"},
          {CommandId::Hold, "&Hold Call\tCtrl+H"},
          {CommandId::Page, "P&age\tCtrl+A"},
          {std::nullopt, {}},
          {CommandId::Listen, "&Listen for Calls\tCtrl+L"},
          {std::nullopt, {}},
          {CommandId::Exit, "E&xit\tAlt+F4"}}},
        {"&Tools",
         {{CommandId::Video, "&Video"},
          {CommandId::FileTransfer, "&File Transfer"},
          {CommandId::Chat, "&Chat"},
          {CommandId::AddressBook, "&Address Book"}}},
        {"&Options",
         {{CommandId::Options, "&Kestrelcall"}, {CommandId::OwnCard, "&Your Business Card"}}},
        {"&Help",
         {{CommandId::HelpTopics, "&Help Topics"},
          {std::nullopt, {}},
          {CommandId::About, "&About Kestrelcall ..."}}},
    };
    return menus;
}

const std::vector<Accelerator>& CommandTable::accelerators() {
    static const std::vector<Accelerator> table = {
        {CommandId::Pickup, "Ctrl+P"},
        {CommandId::Disconnect, "Ctrl+D"},
        {CommandId::Hold, "Ctrl+H"},
        {CommandId::Page, "Ctrl+A"},
        {CommandId::Listen, "Ctrl+L"},
        {CommandId::Exit, "Alt+F4"},
        {CommandId::HelpTopics, "F1"},
        {CommandId::OpenLog, "Ctrl+F1"},
        {CommandId::SetupWizard, "Ctrl+F10"},
        {CommandId::Statistics, "Ctrl+F9"},
        {CommandId::ReconnectCameraMode1, "Ctrl+Shift+F1"},
        {CommandId::ReconnectCameraMode0, "Ctrl+Shift+F2"},
        {CommandId::PlayVideoFile, "Ctrl+F5"},
        {CommandId::Snapshot, "Ctrl+T"},
    };
    return table;
}

std::string CommandTable::toolTip(std::string_view text) {
    const auto first = text.find('\n');
    if (first == std::string_view::npos)
        return std::string(text);
    const auto second = text.find('\n', first + 1);
    return std::string(text.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
}

std::string CommandTable::prompt(std::string_view text) {
    return std::string(text.substr(0, text.find('\n')));
}

}  // namespace krl
