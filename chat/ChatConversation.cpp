#include "chat/ChatConversation.h"

#include <cerrno>

namespace krl {

ChatConversation::~ChatConversation() {
    stopCapture();
}

const ChatEntry& ChatConversation::type(std::string_view utf8Input) {
    TypedLine line = typedLine(utf8Input);
    if (link_.connected())
        link_.send(line.wireText);
    return add(ChatOrigin::Typed, std::move(line.logLine));
}

const ChatEntry* ChatConversation::receive(const Cp1252Text& text) {
    if (text.empty())
        return nullptr;
    return &add(ChatOrigin::Received, receivedLine(text));
}

std::string ChatConversation::text() const {
    std::string all;
    for (const ChatEntry& e : entries_)
        all += e.text;
    return all;
}

const ChatEntry& ChatConversation::add(ChatOrigin origin, std::string text) {
    entries_.push_back(ChatEntry{origin, std::move(text)});
    if (capture_ && !write(entries_.back().text)) {
        captureFailure_ = errno;
        stopCapture();
    }
    return entries_.back();
}

bool ChatConversation::write(const std::string& bytes) {
    errno = 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), capture_) == bytes.size() &&
           std::fflush(capture_) == 0;
}

int ChatConversation::startCapture(const std::string& path, const std::string& header) {
    stopCapture();
    capture_ = std::fopen(path.c_str(), "wb");
    if (capture_ == nullptr)
        return errno != 0 ? errno : EIO;
    std::string log = text();
    if (!log.empty()) {
        // The last line keeps one line feed in place of its own line end.
        if (log.ends_with("\r\n"))
            log.resize(log.size() - 2);
        else if (log.ends_with('\n'))
            log.pop_back();
        log += '\n';
    }
    if (!write(header + log)) {
        const int error = errno != 0 ? errno : EIO;
        stopCapture();
        return error;
    }
    return 0;
}

void ChatConversation::stopCapture() {
    if (capture_ != nullptr)
        std::fclose(capture_);
    capture_ = nullptr;
}

int ChatConversation::takeCaptureFailure() {
    const int error = captureFailure_;
    captureFailure_ = 0;
    return error;
}

}  // namespace krl
