#include "transfer/ControlInterface.h"

#include <cinttypes>
#include <cstdio>

#include "transfer/ControlTarget.h"

namespace krl {
namespace {

struct Pattern {
    std::string_view text;
    ControlCommandKind kind;
};

constexpr Pattern kPatterns[] = {
    {"[Listen]", ControlCommandKind::Listen},
    {"[Connect", ControlCommandKind::Connect},
    {"[Send_Clipboard]", ControlCommandKind::SendClipboard},
    {"[Close]", ControlCommandKind::Close},
    {"[Queue_File", ControlCommandKind::QueueFile},
    {"[Send_File", ControlCommandKind::SendFile},
};

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

// " ( done / total )" as "( %ld / %ld )" writes it, after the file name.
std::string progress(const TransferStatus& s) {
    char counts[64];
    std::snprintf(counts, sizeof counts, "( %" PRIu64 " / %" PRIu64 " )", s.bytesDone, s.size);
    return s.path + counts;
}

}  // namespace

std::string sendStatusText(const TransferStatus& s) {
    switch (s.state) {
        case 0:
            return "No Sending in process: ";
        case 1:
        case 3:
            return "Sending: " + progress(s);
        case 4:
            return "Reciever ask to stop sending: " + progress(s);
        case 6:
            return "Finish sending: " + progress(s);
        case 7:
            return "File sent with CRC error: " + progress(s);
        case 8:
            return "User stop sending: " + progress(s);
        default:
            return progress(s);
    }
}

std::string receiveStatusText(const TransferStatus& s) {
    switch (s.state) {
        case 1:
            return "No recieving in process ";
        case 2:
            return "Recieving: " + progress(s);
        case 3:
            return "Finish recieving:  " + progress(s);
        case 4:
            return "Sender will stop recieving: " + progress(s);
        case 5:
            return "User stop recieving: " + progress(s);
        case 6:
            return "Card is recieved";
        default:
            return progress(s);
    }
}

std::vector<ControlCommand> ControlInterface::parse(std::string_view block) {
    std::vector<ControlCommand> out;
    for (std::size_t at = block.find('['); at != std::string_view::npos;
         at = block.find('[', at + 1)) {
        const std::string_view rest = block.substr(at);
        for (const Pattern& p : kPatterns) {
            if (!startsWithNoCase(rest, p.text))
                continue;
            ControlCommand command{p.kind, {}};
            if (p.kind == ControlCommandKind::QueueFile || p.kind == ControlCommandKind::SendFile) {
                const std::size_t open = block.find('(', at);
                const std::size_t close =
                    open == std::string_view::npos ? open : block.find(')', open + 1);
                if (close == std::string_view::npos)
                    break;
                command.path = std::string(block.substr(open + 1, close - open - 1));
            }
            out.push_back(std::move(command));
            break;
        }
    }
    return out;
}

bool ControlInterface::execute(std::string_view block) {
    for (const ControlCommand& c : parse(block)) {
        switch (c.kind) {
            case ControlCommandKind::Listen:
                target_.listen();
                break;
            case ControlCommandKind::Connect:
                target_.connect();
                break;
            case ControlCommandKind::SendClipboard:
                target_.sendClipboard();
                break;
            case ControlCommandKind::Close:
                target_.close();
                break;
            case ControlCommandKind::QueueFile:
                target_.queueFile(c.path);
                break;
            case ControlCommandKind::SendFile:
                target_.sendFile(c.path);
                break;
        }
    }
    return true;
}

std::string ControlInterface::request(std::string_view item) const {
    item = item.substr(0, kMaxItem);
    std::string text;
    if (equalNoCase(item, "[GetSendInfo]"))
        text = sendStatusText(target_.sendStatus());
    else if (item == "[GetRecieveInfo]")
        text = receiveStatusText(target_.receiveStatus());
    else
        text = std::string(item);
    return text + "\r";
}

}  // namespace krl
