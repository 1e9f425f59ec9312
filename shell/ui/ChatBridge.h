#pragma once

#include <memory>

#include "chat/ChatConversation.h"
#include "shell/CallListener.h"

namespace krl {

class CallController;
class ChatWindows;
class CommandRegistry;
class MessagePresenter;
class Settings;
class StringTable;

// Joins the chat window to the call: received chat text and the call's changes reach the
// window, typed lines go out through the call, and the window's place and capture path live in
// the General block's chat record.
class ChatBridge : public CallListener, private ChatConversation::Link {
public:
    ChatBridge(CallController& call, Settings& settings, const StringTable& strings,
               MessagePresenter& messages);
    ~ChatBridge() override;
    ChatBridge(const ChatBridge&) = delete;
    ChatBridge& operator=(const ChatBridge&) = delete;

    // The Chat command: open or raise the window.
    void addCommands(CommandRegistry& commands);
    // The program is ending: the window closes and leaves its place in the settings.
    void closeWindow();
    ChatWindows& windows() { return *windows_; }

private:
    void callStateChanged(ConnectionState state) override;
    void callEnded(CallEnd why) override;
    void cardReceived(const BusinessCard& card) override;
    void chatArrived(const Cp1252Text& text) override;
    bool connected() const override;
    bool send(const Cp1252Text& text) override;
    void follow();

    CallController& call_;
    Settings& settings_;
    std::unique_ptr<ChatWindows> windows_;
    std::string remoteName_;
};

}  // namespace krl
