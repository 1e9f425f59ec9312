#pragma once

#include <functional>
#include <map>

#include "resources/CommandId.h"

namespace krl {

// Who runs each of the program's commands. main() builds it: every feature adds the handlers
// of its own command ids (open-or-raise for its window, its menu commands); the main frame only
// looks up and runs. A command nobody added does nothing.
class CommandRegistry {
public:
    using Handler = std::function<void()>;

    // One handler per command; a later add for the same id replaces the earlier one.
    void add(CommandId command, Handler handler) { handlers_[command] = std::move(handler); }
    bool has(CommandId command) const { return handlers_.count(command) != 0; }
    // Runs the command's handler; false when there is none.
    bool run(CommandId command) const {
        auto it = handlers_.find(command);
        if (it == handlers_.end() || !it->second)
            return false;
        // A copy: the handler may replace itself.
        const Handler handler = it->second;
        handler();
        return true;
    }

private:
    std::map<CommandId, Handler> handlers_;
};

}  // namespace krl
