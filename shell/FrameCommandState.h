#pragma once

#include <functional>
#include <optional>
#include <string>

#include "connection/ModemList.h"
#include "link/BusinessCard.h"
#include "shell/CommandTable.h"

namespace krl {

// The frame's side of the command table: the context that the enable rules look at, and
// whether it changed since the menus were last set from it (the pump runs every few
// milliseconds while connected, and the menus are redone only when this changes). The
// connection type is read from the modem description once per file.
class FrameCommandState {
public:
    using TypeReader = std::function<ConnectType(const std::string& modemFile)>;

    explicit FrameCommandState(TypeReader readType = readConnectType);

    ConnectType connectType(const std::string& modemFile);
    // The remote name is the card's Windows-1252 name made UTF-8 for the menus.
    CommandContext context(ConnectionState state, const std::string& modemFile,
                           const std::optional<BusinessCard>& remoteCard, bool cardPanelShown);
    // True when c differs from the context last given here, and always the first time.
    bool changed(const CommandContext& c);

private:
    TypeReader readType_;
    std::optional<std::string> typeFile_;
    ConnectType type_ = ConnectType::Modem;
    std::optional<CommandContext> last_;
};

}  // namespace krl
