#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/TransferFiles.h"
#include "link/TransferRate.h"
#include "link/TransferStates.h"

namespace krl {

class CommandTags;
class LinkListener;
class MessagePresenter;
class ProtocolPort;
class WindowedSender;

// Commands of the file transfer window to the sender; the numbers are the window's.
enum class SendControl : int { StopSilently = -3, Acknowledge = -1, Stop = 0, Start = 1 };

// The sending side of the file transfer: offers one file, sends it in blocks of at most 3070
// data bytes and waits for each block's confirmation before the next one goes.
class FileSender {
public:
    FileSender(ProtocolPort& port, const CommandTags& tags, MessagePresenter& messages);
    ~FileSender();
    FileSender(const FileSender&) = delete;
    FileSender& operator=(const FileSender&) = delete;

    void setCommandTimeoutMs(std::uint64_t ms) { timeoutMs_ = ms; }
    void setListener(LinkListener* listener) { listener_ = listener; }
    // Called when a card picture file has gone over completely.
    void setCardPictureSentHandler(std::function<void()> handler) {
        onCardPictureSent_ = std::move(handler);
    }
    // The peer is a copy that uses the extension with us (docs/extension.md).
    void setExtensionActive(bool active) { extension_ = active; }
    // While video goes out, windowed blocks leave the port's queue to it as often as a frame
    // waits.
    void setVideoSending(bool sending) { videoSending_ = sending; }

    // The file system the files are read from; null restores the real one.
    void setFiles(TransferFiles* files) { files_ = files != nullptr ? files : &systemFiles_; }

    // The window's calls. Start returns 0 (refused) unless the sender is idle, else 1. Stop is
    // stop(User); StopSilently ends the file without telling the peer.
    int control(SendControl command, int kind = kOrdinaryFile, const std::string& path = {});
    // Stops the file being offered or sent: the peer is told ("<Stop Sending>") unless the line
    // under it failed; the state becomes StoppedByUser with the cause kept.
    void stop(StopCause cause);
    StopCause stopCause() const { return stopCause_; }
    // Progress; states Offered, ReadyForBlock and AwaitingConfirmation all report 3.
    TransferStatus status();
    SendState state() const { return state_; }

    // Runs once per poll, after the received frames were dispatched.
    void step();

    // The receiver's answers.
    void onAccepted();
    void onBlockConfirmed();
    void onBlockRejected();
    void onRefused();
    void onPeerDisconnected();
    // The extension: the receiver's answer to the offer (bytes it holds of the file and their
    // check value), and its confirmation of a windowed block.
    void onTake(std::uint64_t held, std::uint32_t check);
    void onWindowAck(std::uint64_t offset, std::uint64_t held);

    // A new call: idle, nothing open, counters cleared.
    void resetForCall();

    bool active() const;
    std::uint64_t elapsedMs() const;
    std::uint64_t bytesSinceStart() const { return rate_.bytesSinceStart(); }
    // Blocks sent again after a negative confirmation, and after waiting too long for one.
    std::uint64_t resentBlocks() const { return resent_; }
    std::uint64_t confirmationTimeouts() const { return confirmationTimeouts_; }
    std::uint64_t blocksSent() const { return blocksSent_; }
    // The windowed sending of the current file, when it goes windowed.
    const WindowedSender* windowed() const { return windowed_.get(); }
    // Data bytes written to the line for files (blocks sent again included).
    std::uint64_t dataBytesSent() const { return dataBytesSent_; }
    // The largest window, in blocks, a windowed file of this call used (0 for none).
    int largestWindow() const { return largestWindow_; }

private:
    void openAndOffer();
    bool sendOffer(const std::string& name);
    void sendBlock();
    void finish(SendState state);
    // After a confirmation: the file is done once every byte is confirmed.
    bool finishIfAllConfirmed();
    void closeFile();
    void rewindBlock();
    void showMessage(int id, bool withPath);
    void startWindowed();
    void windowedStep();
    void stopUnreadable();

    ProtocolPort& port_;
    const CommandTags& tags_;
    MessagePresenter& messages_;
    LinkListener* listener_ = nullptr;
    std::function<void()> onCardPictureSent_;

    SendState state_ = SendState::Idle;
    std::string path_;
    int kind_ = kOrdinaryFile;
    PosixTransferFiles systemFiles_;
    TransferFiles* files_ = &systemFiles_;
    std::unique_ptr<TransferFile> file_;
    StopCause stopCause_ = StopCause::User;
    std::uint64_t length_ = 0;
    std::uint64_t next_ = 0;
    std::uint64_t blockStart_ = 0;
    std::uint32_t blockValue_ = 0;
    std::uint32_t runningSum_ = 0xFFFFFFFFu;
    std::uint64_t sentAtMs_ = 0;  // 0 when nothing is in flight
    std::uint64_t timeoutMs_ = 600;
    TransferRate rate_;
    std::uint64_t resent_ = 0;
    std::uint64_t confirmationTimeouts_ = 0;
    std::uint64_t blocksSent_ = 0;
    std::uint64_t dataBytesSent_ = 0;
    int largestWindow_ = 0;

    bool extension_ = false;
    bool videoSending_ = false;
    struct Take {
        std::uint64_t held;
        std::uint32_t check;
    };
    std::optional<Take> take_;  // the receiver's TAKE for the current offer
    std::unique_ptr<WindowedSender> windowed_;
    std::uint64_t windowedSentBefore_ = 0;
};

}  // namespace krl
