#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ConnectionState.h"
#include "connection/ModemList.h"
#include "resources/CommandId.h"

namespace krl {

// What the enable rules of the frame's commands look at.
struct CommandContext {
    ConnectionState state = ConnectionState::NotConnected;
    ConnectType connectType = ConnectType::Modem;
    // The remote party's name from its business card; empty when none arrived.
    std::string remoteName;
    bool cardPanelShown = false;
    bool operator==(const CommandContext&) const = default;
};

// How a command shows: enabled or not, and the text of its menu entry when the rule gives one.
// Texts use '&' for the mnemonic and a TAB before the accelerator's name.
struct CommandUi {
    bool enabled = true;
    std::optional<std::string> text;
    bool operator==(const CommandUi&) const = default;
};

// One entry of menu 128: a command with its first text, or a separator (no command).
struct MenuEntry {
    std::optional<CommandId> command;
    std::string text;
};
struct MenuDefinition {
    std::string title;
    std::vector<MenuEntry> entries;
};

// One entry of accelerator table 128, with the key as Qt's portable key-sequence text.
struct Accelerator {
    CommandId command;
    std::string keys;
};

// The frame's command table: the enable rule and text of every command in each connection
// state, menu 128 and accelerator table 128.
class CommandTable {
public:
    static CommandUi ui(CommandId command, const CommandContext& context);
    static const std::vector<MenuDefinition>& menus();
    static const std::vector<Accelerator>& accelerators();
    // The tool tip of a picture button: the part of its string-table text between the first and
    // the second line break ("\nConnect to another person.\n" gives "Connect to another
    // person."); a text without a line break is its own tip.
    static std::string toolTip(std::string_view tableText);
    // The status-bar prompt: the part before the first line break.
    static std::string prompt(std::string_view tableText);
};

}  // namespace krl
