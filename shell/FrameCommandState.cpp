#include "shell/FrameCommandState.h"

#include <utility>

#include "base/Cp1252.h"

namespace krl {

FrameCommandState::FrameCommandState(TypeReader readType) : readType_(std::move(readType)) {}

ConnectType FrameCommandState::connectType(const std::string& modemFile) {
    if (typeFile_ != modemFile) {
        typeFile_ = modemFile;
        type_ = readType_(modemFile);
    }
    return type_;
}

CommandContext FrameCommandState::context(ConnectionState state, const std::string& modemFile,
                                          const std::optional<BusinessCard>& remoteCard,
                                          bool cardPanelShown) {
    CommandContext c;
    c.state = state;
    c.connectType = connectType(modemFile);
    c.remoteName = remoteCard ? cp1252ToUtf8(remoteCard->name) : std::string();
    c.cardPanelShown = cardPanelShown;
    return c;
}

bool FrameCommandState::changed(const CommandContext& c) {
    if (last_ == c)
        return false;
    last_ = c;
    return true;
}

}  // namespace krl
