// The frame's command table: enable rules and texts in every connection state.
#include <gtest/gtest.h>

#include <set>

#include "shell/CommandTable.h"
#include "shell/FrameCommandState.h"

using namespace krl;

namespace {

const ConnectionState kAll[] = {
    ConnectionState::NotConnected, ConnectionState::OpeningPort, ConnectionState::Initialising,
    ConnectionState::Listening,    ConnectionState::Dialling,    ConnectionState::Connected,
    ConnectionState::HangingUp,
};

CommandUi ui(CommandId id, ConnectionState s, ConnectType type = ConnectType::Modem,
             std::string name = {}) {
    CommandContext c;
    c.state = s;
    c.connectType = type;
    c.remoteName = std::move(name);
    return CommandTable::ui(id, c);
}

}  // namespace

TEST(CommandTable, CallCommandsFollowTheConnectionState) {
    const struct {
        ConnectionState state;
        bool dial, disconnect;
        CommandUi listen;
    } rows[] = {
        {ConnectionState::NotConnected, true, false, {true, "&Listen"}},
        {ConnectionState::OpeningPort, true, false, {true, "Stop &Listening"}},
        {ConnectionState::Initialising, true, false, {true, "Stop &Listening"}},
        {ConnectionState::Listening, true, false, {true, "Stop &Listening"}},
        {ConnectionState::Dialling, false, true, {false, "&Listen"}},
        {ConnectionState::Connected, false, true, {false, "&Listen"}},
        {ConnectionState::HangingUp, false, false, {true, "&Listen"}},
    };
    for (const auto& row : rows) {
        const ConnectionState s = row.state;
        const bool connected = s == ConnectionState::Connected;
        SCOPED_TRACE(static_cast<int>(s));
        EXPECT_EQ(ui(CommandId::Dial, s).enabled, row.dial);
        EXPECT_EQ(ui(CommandId::Disconnect, s).enabled, row.disconnect);
        EXPECT_EQ(ui(CommandId::Listen, s), row.listen);
        EXPECT_EQ(ui(CommandId::Hold, s).enabled, connected);
        EXPECT_EQ(ui(CommandId::AddToAddressBook, s).enabled, connected);
        for (ConnectType t : {ConnectType::Modem, ConnectType::SerialCable, ConnectType::Dsvd})
            EXPECT_EQ(ui(CommandId::Pickup, s, t).enabled, t == ConnectType::Dsvd && row.dial);
        // Page names the remote party only while connected.
        const CommandUi page = connected ? CommandUi{true, "P&age Ann Lee\tCtrl+A"}
                                         : CommandUi{false, "P&age\tCtrl+A"};
        EXPECT_EQ(ui(CommandId::Page, s, ConnectType::Modem, "Ann Lee"), page);
    }
    EXPECT_EQ(ui(CommandId::Page, ConnectionState::Connected), (CommandUi{true, std::nullopt}));
}

TEST(CommandTable, WindowAndHelpCommandsAreAlwaysThere) {
    const CommandId always[] = {
        CommandId::Exit,        CommandId::Options,      CommandId::OwnCard,
        CommandId::Video,       CommandId::FileTransfer, CommandId::Chat,
        CommandId::AddressBook, CommandId::HelpTopics,   CommandId::About,
        CommandId::Statistics,  CommandId::SetupWizard,  CommandId::OpenLog};
    for (ConnectionState s : kAll)
        for (CommandId id : always)
            EXPECT_EQ(ui(id, s), (CommandUi{true, std::nullopt})) << static_cast<int>(id);
}

TEST(CommandTable, CardTogglesOfferOnlyTheOtherState) {
    CommandContext c;
    for (bool shown : {false, true}) {
        c.cardPanelShown = shown;
        EXPECT_EQ(CommandTable::ui(CommandId::ShowCard, c).enabled, !shown);
        EXPECT_EQ(CommandTable::ui(CommandId::HideCard, c).enabled, shown);
    }
}

TEST(CommandTable, MenusAndAcceleratorsNameEachCommandOnce) {
    std::set<int> inMenus;
    for (const auto& menu : CommandTable::menus())
        for (const auto& e : menu.entries) {
            if (e.command) {
                EXPECT_TRUE(inMenus.insert(static_cast<int>(*e.command)).second);
            }
        }
    EXPECT_EQ(CommandTable::menus().size(), 4u);
    std::set<std::string> keys;
    for (const auto& a : CommandTable::accelerators())
        EXPECT_TRUE(keys.insert(a.keys).second) << a.keys;
    EXPECT_TRUE(keys.count("Ctrl+D"));
    EXPECT_TRUE(keys.count("Ctrl+L"));
}

TEST(CommandTable, ToolTipIsTheTextBetweenTheFirstTwoLineBreaks) {
    EXPECT_EQ(CommandTable::toolTip("\nConnect to another person.\n"),
              "Connect to another person.");
    EXPECT_EQ(CommandTable::toolTip("Page the remote user"), "Page the remote user");
    EXPECT_EQ(CommandTable::toolTip("Prompt\nTip"), "Tip");
    EXPECT_EQ(CommandTable::prompt("Prompt\nTip\n"), "Prompt");
    EXPECT_EQ(CommandTable::prompt("\nHold the call\n"), "");
}

TEST(FrameCommandState, ReadsTheConnectTypeOncePerFileAndNamesThePeerInUtf8) {
    std::vector<std::string> read;
    FrameCommandState state([&read](const std::string& file) {
        read.push_back(file);
        return file == "cable.mdm" ? ConnectType::SerialCable : ConnectType::Modem;
    });
    BusinessCard card;
    card.name = Cp1252Text("Jos\xE9");  // Windows-1252, as the peer sends it
    CommandContext c = state.context(ConnectionState::Connected, "cable.mdm", card, false);
    EXPECT_EQ(c.connectType, ConnectType::SerialCable);
    EXPECT_EQ(c.remoteName, "Jos\xC3\xA9");
    EXPECT_EQ(CommandTable::ui(CommandId::Page, c).text, "P&age Jos\xC3\xA9\tCtrl+A");
    state.context(ConnectionState::Connected, "cable.mdm", std::nullopt, false);
    state.connectType("modem.mdm");
    state.connectType("modem.mdm");
    EXPECT_EQ(read, (std::vector<std::string>{"cable.mdm", "modem.mdm"}));
}

TEST(FrameCommandState, MenusAreRedoneOnlyWhenTheContextChanges) {
    FrameCommandState state([](const std::string&) { return ConnectType::Modem; });
    const CommandContext idle =
        state.context(ConnectionState::NotConnected, "m", std::nullopt, false);
    EXPECT_TRUE(state.changed(idle));
    EXPECT_FALSE(state.changed(idle));
    CommandContext shown = idle;
    shown.cardPanelShown = true;
    EXPECT_TRUE(state.changed(shown));
    EXPECT_TRUE(state.changed(idle));
}
