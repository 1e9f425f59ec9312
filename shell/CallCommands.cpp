#include "shell/CallCommands.h"

#include "shell/CallController.h"
#include "shell/CommandRegistry.h"

namespace krl {

void addDialCommand(CommandRegistry& commands, CallController& call, CallCommandHooks hooks) {
    commands.add(CommandId::Dial, [&call, hooks] {
        if (hooks.connectType && hooks.connectType() == ConnectType::SerialCable)
            call.dial();
        else if (hooks.connectDialog)
            hooks.connectDialog();
    });
}

void addCallCommands(CommandRegistry& commands, CallController& call, CallCommandHooks hooks) {
    addDialCommand(commands, call, hooks);
    commands.add(CommandId::Pickup, [&call] { call.pickup(); });
    commands.add(CommandId::Disconnect, [&call] { call.hangUpWithConfirmation(false); });
    commands.add(CommandId::Hold, [&call] { call.toggleHold(); });
    commands.add(CommandId::Page, [&call] { call.page(); });
    commands.add(CommandId::Listen, [&call] { call.listenCommand(); });
    commands.add(CommandId::Exit, [&call] { call.exit(); });
}

}  // namespace krl
