#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/BusinessCard.h"
#include "link/CommandTags.h"
#include "link/FileReceiver.h"
#include "link/FileSender.h"
#include "link/LinkListener.h"
#include "link/ProtocolPort.h"
#include "link/VideoChannel.h"

namespace krl {

class MessagePresenter;
class StringTable;

// Everything the two copies say to each other above the framing: the command vocabulary and
// its dispatcher, the greeting, disconnect, business cards, hold, paging, chat, the file sender
// and receiver and the video messages. The link engine feeds it the frames it parses and
// runs its steps once per poll; it writes through the ProtocolPort.
class LinkProtocol {
public:
    LinkProtocol(ProtocolPort& port, const StringTable& strings, MessagePresenter& messages);

    // Received frames.
    void onCommandFrame(std::string_view payload);
    void onFileBlockFrame(const CheckField& check, const std::uint8_t* payload, std::size_t length);
    void onVideoFrame(bool keyFrame, const CheckField& check, const std::uint8_t* payload,
                      std::size_t length);
    void onChatFrame(const std::uint8_t* payload, std::size_t length);
    // The transfer steps of each poll: sender step, receiver checks, card resend.
    void runSteps();
    // The peer sent "<Disconnect>" in this call: the engine's poll returns at once.
    bool disconnectReceived() const { return peerDisconnected_; }

    // A new call: states back to their start, card and hold cleared. (The engine sends the
    // greeting and clears the counters.)
    void resetCall();

    // Settings handed over by the main frame.
    void setCommandTimeoutMs(std::uint64_t ms);
    std::uint64_t commandTimeoutMs() const { return timeoutMs_; }
    void setReceiveOptions(ReceiveOptions options) { receiver_.setOptions(std::move(options)); }
    void setCardPictureFolder(std::string folder) {
        receiver_.setCardPictureFolder(std::move(folder));
    }
    void setFileExistsQuestion(FileExistsQuestion* q) { receiver_.setFileExistsQuestion(q); }
    // The extension between two copies (windowed file blocks, resume; docs/extension.md). On by
    // default; switched off, this side never announces it and speaks only the protocol every
    // peer knows. Takes effect from the next call.
    void setExtensionEnabled(bool on) { extensionEnabled_ = on; }
    bool extensionEnabled() const { return extensionEnabled_; }
    // Both sides announced the extension in this call.
    bool extensionActive() const { return extensionEnabled_ && hereSent_ && peerHere_; }

    // The file system both transfer sides use; null restores the real one.
    void setTransferFiles(TransferFiles* files) {
        sender_.setFiles(files);
        receiver_.setFiles(files);
    }

    // Ends whatever file is moving, for the given cause. Closing (the program or tool ends in
    // the middle of a call): an active send is stopped with "<Stop Sending>", an active receive
    // with "<Do Not Send>", both files are closed and a partial received file is removed.
    // LineFailure (the line went away under the call): the same, but the sender does not
    // write to a line that is gone. Sides that are not moving a file are left as they are.
    void stopTransfers(StopCause cause);

    // Registration.
    void setListener(LinkListener* listener);
    void setChatListener(ChatListener* chat);
    // The local video window (outgoing video) and the remote one (incoming video and its
    // frame queue).
    void setLocalVideoListener(VideoListener* video) {
        localVideo_ = video;
        video_.setLocalListener(video);
    }
    void setRemoteVideoListener(VideoListener* video) {
        remoteVideo_ = video;
        video_.setRemoteListener(video);
    }
    void setFrameQueue(VideoFrameQueue* queue) { video_.setFrameQueue(queue); }

    // Sending.
    void sendCommand(LinkCommand command);
    // Sends the card; without one, the card stored by the last call is sent again.
    void sendCard(const BusinessCard* card = nullptr);
    void sendDisconnect();
    void setHold(HoldSide side, bool on);
    void sendPage();
    // 1 when sent; 0 when too long (the frame would reach 15360 bytes) or not written.
    int sendChat(std::string_view text);

    // Read-outs.
    bool cardReceived() const { return cardReceived_; }
    bool cardDelivered() const { return cardDelivered_; }
    bool cardWaiting() const { return cardWaiting_; }
    // Copies the received card into the caller's fields (name, phone, details). The caller's
    // picture field holds the picture folder followed by '/'; the received picture's name is
    // appended only when the picture file has arrived too, after which the flags are cleared.
    void readReceivedCard(BusinessCard& into);
    bool localHold() const { return (holdIn_ | holdOut_) & kLocalHold; }
    bool remoteHold() const { return (holdIn_ | holdOut_) & kRemoteHold; }
    bool isOnHold() const { return holdIn_ != 0 || holdOut_ != 0; }
    const Cp1252Text& remoteName() const { return received_.name; }

    // For the statistics dialog: the side moving a file (the sender when both are), the
    // milliseconds since its transfer started and the bytes moved since then; 0 when neither.
    std::uint64_t transferElapsedMs() const {
        return sender_.active() ? sender_.elapsedMs() : receiver_.elapsedMs();
    }
    std::uint64_t transferBytes() const {
        return sender_.active()     ? sender_.bytesSinceStart()
               : receiver_.active() ? receiver_.bytesSinceStart()
                                    : 0;
    }

    FileSender& sender() { return sender_; }
    FileReceiver& receiver() { return receiver_; }
    VideoChannel& video() { return video_; }
    const CommandTags& tags() const { return tags_; }

    // Video on behalf of the windows, with the hold rule applied.
    void openVideo(bool on) { video_.openVideo(on, isOnHold()); }
    void sendVideoSettings(VideoDirection d, const VideoSettingsRecord& r) {
        video_.sendSettings(d, r, isOnHold());
    }
    int sendVideo(const std::uint8_t* data, std::size_t length, bool keyFrame) {
        return video_.sendFrame(data, length, keyFrame, isOnHold());
    }

private:
    static constexpr std::uint8_t kLocalHold = 1;
    static constexpr std::uint8_t kRemoteHold = 2;

    void dispatch(LinkCommand command, std::string_view payload);
    void onCard(std::string_view payload);
    void onRemoteHold(bool on);
    void onDisconnect();
    void notifyHold(HoldSide side, bool on);
    void onExtensionCommand(std::string_view payload);
    void announceExtension();
    void peerHasExtension();

    ProtocolPort& port_;
    CommandTags tags_;
    FileSender sender_;
    FileReceiver receiver_;
    VideoChannel video_;
    LinkListener* listener_ = nullptr;
    ChatListener* chat_ = nullptr;
    VideoListener* localVideo_ = nullptr;
    VideoListener* remoteVideo_ = nullptr;
    std::uint64_t timeoutMs_ = 600;
    bool peerDisconnected_ = false;

    BusinessCard outgoingCard_;
    bool cardWaiting_ = false;
    bool cardDelivered_ = false;
    std::uint64_t cardSentMs_ = 0;
    BusinessCard received_;
    bool cardReceived_ = false;
    bool cardPictureSent_ = false;
    bool cardPictureReceived_ = false;
    std::string cardPictureName_;

    bool extensionEnabled_ = true;
    bool hereSent_ = false;  // our announcement went out in this call
    bool peerHere_ = false;  // the peer's arrived

    std::uint8_t holdIn_ = 0;   // guards the incoming video
    std::uint8_t holdOut_ = 0;  // guards the outgoing video
};

}  // namespace krl
