#pragma once

#include <functional>

#include "connection/ModemList.h"

namespace krl {

class CallController;
class CommandRegistry;

// The call's commands: Dial, Pickup, Disconnect, Hold, Page, Listen and Exit. Dial over a
// serial cable calls at once; otherwise it opens the connect dialog.
struct CallCommandHooks {
    std::function<ConnectType()> connectType;
    std::function<void()> connectDialog;
};
void addCallCommands(CommandRegistry& commands, CallController& call, CallCommandHooks hooks);
// Dial alone, for the window that brings the connect dialog.
void addDialCommand(CommandRegistry& commands, CallController& call, CallCommandHooks hooks);

}  // namespace krl
