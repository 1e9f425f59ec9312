#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/TransferStates.h"

namespace krl {

class ControlTarget;

// The commands other programs send, in the order they are matched.
enum class ControlCommandKind { Listen, Connect, SendClipboard, Close, QueueFile, SendFile };

struct ControlCommand {
    ControlCommandKind kind = ControlCommandKind::Listen;
    std::string path;  // QueueFile and SendFile only
    bool operator==(const ControlCommand&) const = default;
};

// The texts other programs parse, exactly as they have always read (spelling included).
std::string sendStatusText(const TransferStatus& status);
std::string receiveStatusText(const TransferStatus& status);

// The control interface other programs drive file transfer through: execute blocks of
// bracketed commands, and requests answered with text. It keeps no state of its own: each call
// is answered from the target at that moment.
class ControlInterface {
public:
    // The longest request item looked at; longer ones are cut.
    static constexpr std::size_t kMaxItem = 255;

    explicit ControlInterface(ControlTarget& target) : target_(target) {}

    // The commands of one block, in order. Every "[" starts a match against the commands, each
    // compared over its own length without regard to case ("[Connect" over eight characters);
    // a file command takes the text between the first "(" after its "[" and the next ")" and is
    // skipped without them. Everything else is skipped.
    static std::vector<ControlCommand> parse(std::string_view block);

    // Runs every command of the block on the target. Always acknowledged.
    bool execute(std::string_view block);
    // "[GetSendInfo]" (any case) gives the sending status, "[GetRecieveInfo]" (exactly) the
    // receiving one, anything else its own name; the text is followed by a carriage return.
    std::string request(std::string_view item) const;

private:
    ControlTarget& target_;
};

}  // namespace krl
