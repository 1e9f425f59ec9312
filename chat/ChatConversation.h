#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/Cp1252.h"
#include "chat/ChatLines.h"

namespace krl {

// One line of the log as it was added: prefix, text and line end, UTF-8.
struct ChatEntry {
    ChatOrigin origin = ChatOrigin::Typed;
    std::string text;
};

// The chat window's conversation without the window: the lines typed and received, what is
// sent to the peer, and the capture file that follows the log while capturing. The log lives as
// long as its window; so does capture, which never outlives it.
class ChatConversation {
public:
    // The call the lines are sent over.
    class Link {
    public:
        virtual ~Link() = default;
        virtual bool connected() const = 0;
        // Sends one chat text (Windows-1252); false when it could not be sent.
        virtual bool send(const Cp1252Text& text) = 0;
    };

    explicit ChatConversation(Link& link) : link_(link) {}
    ~ChatConversation();
    ChatConversation(const ChatConversation&) = delete;
    ChatConversation& operator=(const ChatConversation&) = delete;

    // A line the user confirmed: sent while connected, and shown in any case (an empty line
    // still shows ">> " and a line end, and sends the bare line end).
    const ChatEntry& type(std::string_view utf8Input);
    // A text from the peer; nothing for an empty one.
    const ChatEntry* receive(const Cp1252Text& text);

    const std::vector<ChatEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }
    // The whole log as one text.
    std::string text() const;
    // Empties the log; the capture file keeps what it has.
    void clear() { entries_.clear(); }

    // Creates the capture file anew with the header line and the log so far (its last line
    // ended by a single line feed); later lines follow as they are added. Returns 0, or the
    // errno when the file could not be made (capture is then off).
    int startCapture(const std::string& path, const std::string& header);
    void stopCapture();
    bool capturing() const { return capture_ != nullptr; }
    // The errno of a capture write that failed since the last call (capture stopped then);
    // 0 when none did.
    int takeCaptureFailure();

private:
    const ChatEntry& add(ChatOrigin origin, std::string text);
    bool write(const std::string& bytes);

    Link& link_;
    std::vector<ChatEntry> entries_;
    std::FILE* capture_ = nullptr;
    int captureFailure_ = 0;
};

}  // namespace krl
