#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/LivenessToken.h"
#include "link/Frame.h"
#include "link/HeldRanges.h"
#include "link/PartialFile.h"
#include "link/ProtocolPort.h"
#include "link/ReceiveQuestions.h"
#include "link/RepeatedBlockCheck.h"
#include "link/TransferFiles.h"
#include "link/TransferRate.h"
#include "link/TransferStates.h"

namespace krl {

class CommandTags;
class LinkListener;
class MessagePresenter;
struct FileOffer;

// Commands of the file transfer window to the receiver; the numbers are the window's.
enum class ReceiveControl : int { Stop = 0, Arm = 1 };

// The receiving side of the file transfer. Questions to the user (the file exists, no viewer)
// never block: the receiver waits in the Deciding state and the answer comes back as a call.
// Nothing is ever written outside the receive folder and the card picture folder, except to
// a path the local user chose in the file-exists question.
class FileReceiver {
public:
    FileReceiver(ProtocolPort& port, const CommandTags& tags, MessagePresenter& messages);
    ~FileReceiver();
    FileReceiver(const FileReceiver&) = delete;
    FileReceiver& operator=(const FileReceiver&) = delete;

    void setCommandTimeoutMs(std::uint64_t ms) { timeoutMs_ = ms; }
    void setOptions(ReceiveOptions options) { options_ = std::move(options); }
    void setCardPictureFolder(std::string folder) { cardFolder_ = std::move(folder); }
    void setFileExistsQuestion(FileExistsQuestion* question) { existsQuestion_ = question; }
    // The file system the received files go to; null restores the real one.
    void setFiles(TransferFiles* files) { files_ = files != nullptr ? files : &systemFiles_; }
    void setListener(LinkListener* listener) { listener_ = listener; }
    void setCardPictureReceivedHandler(std::function<void(const std::string& name)> handler) {
        onCardPicture_ = std::move(handler);
    }
    // The peer is a copy that uses the extension with us (docs/extension.md): files are
    // received into a partial file, kept when the call drops, and offered windowed blocks.
    void setExtensionActive(bool active) { extension_ = active; }

    // Arm returns 0 while a file is being received or decided, else 1. Stop is stop(User).
    int control(ReceiveControl command, const std::string& folder = {});
    // Stops a file being received or decided: the sender is told ("<Do Not Send>"), the partial
    // file is removed (kept for a later call when the line failed under an extension part), the
    // state becomes StoppedByUser with the cause kept.
    void stop(StopCause cause);
    // Why the last stop on this end happened.
    StopCause stopCause() const { return stopCause_; }
    TransferStatus status();
    ReceiveState state() const { return state_; }
    const std::string& receiveFolder() const { return folder_; }

    void onOffer(std::string_view payload);
    void onBlock(const CheckField& check, const std::uint8_t* payload, std::size_t length);
    void onSenderStopped();
    void onFileCheck(std::string_view payload);
    void onPeerDisconnected();
    // The port failed while receiving: stop as the user would, the line named as the cause.
    void onPortFailure();
    // Runs once per poll: the inactivity check.
    void step();

    void resetForCall();

    bool active() const { return state_ == ReceiveState::Receiving; }
    std::uint64_t elapsedMs() const;
    std::uint64_t bytesSinceStart() const { return rate_.bytesSinceStart(); }
    std::uint64_t damagedBlocks() const { return damaged_; }
    std::uint64_t repeatedBlocks() const { return repeated_; }
    // Data bytes written to files (each byte of a windowed transfer once).
    std::uint64_t bytesWritten() const { return bytesWritten_; }
    // Where the current transfer continued from (bytes an earlier call had left), 0 for none.
    std::uint64_t resumedFrom() const { return resumedFrom_; }

private:
    enum class Question { None, FileExists, NoViewer };

    void refuse();
    void refuseAndReset();
    void continueAfterExists(std::optional<std::string> path, std::uint64_t ticket);
    void continueAfterViewer(bool receive, std::uint64_t ticket);
    void checkViewerThenCreate();
    void createTarget();
    void acceptBlock(const std::uint8_t* data, std::size_t length, std::uint32_t value);
    void answerStrayBlock(const CheckField& check, const std::uint8_t* payload, std::size_t length);
    void complete();
    // Ends a transfer that is under way. keepPart: the call was lost (not stopped by anyone),
    // so a partial file of the extension stays for a later call.
    void fail(ReceiveState state, bool keepPart = false);
    // Tells the sender, ends the transfer as failed and shows the write error.
    void failOnWriteError(int error);
    void showWriteError(int error);
    void discardPartialFile();
    void keepPartialFile();
    bool openPart();
    // The offer is accepted: blocks are taken from byte `held` on.
    void startReceiving(std::uint64_t held);
    void onWindowedBlock(const CheckField& check, const std::uint8_t* data, std::size_t length);
    void confirmLateWindowedBlock(const CheckField& check, const std::uint8_t* data,
                                  std::size_t length);
    bool writeAt(const std::uint8_t* data, std::size_t length, std::uint64_t offset);
    void startPlainIntoPart();
    // Closes the file that arrived whole (moving a partial file to its name): 0 or the errno.
    int closeWholeFile();
    void closeFile();
    void resetFields();
    void sendCommand(int command);
    void showMessage(int id, std::optional<std::string> text);

    ProtocolPort& port_;
    const CommandTags& tags_;
    MessagePresenter& messages_;
    FileExistsQuestion* existsQuestion_ = nullptr;
    LinkListener* listener_ = nullptr;
    std::function<void(const std::string&)> onCardPicture_;
    ReceiveOptions options_;
    std::uint64_t timeoutMs_ = 600;

    ReceiveState state_ = ReceiveState::NotReady;
    std::string folder_;
    std::string cardFolder_;
    std::string path_;
    std::string name_;  // the plain name the peer's offer came down to
    int kind_ = kOrdinaryFile;
    PosixTransferFiles systemFiles_;
    TransferFiles* files_ = &systemFiles_;
    std::unique_ptr<TransferFile> file_;
    StopCause stopCause_ = StopCause::User;
    bool sizeKnown_ = false;
    std::uint64_t size_ = 0;
    std::uint64_t written_ = 0;
    std::uint32_t runningSum_ = 0xFFFFFFFFu;
    std::uint64_t lastBlockMs_ = 0;
    TransferRate rate_;
    std::uint64_t damaged_ = 0;
    std::uint64_t repeated_ = 0;

    RepeatedBlockCheck repeats_;
    bool lastFileWhole_ = false;  // the last transfer completed and no offer came since

    // The extension: the partial file being written, its identity and what it holds.
    bool extension_ = false;
    PartialFile partial_;
    std::string offeredDate_;
    std::string offeredName_;
    HeldRanges held_;
    bool blocksStarted_ = false;  // the first block decided windowed or stop-and-wait
    bool windowedTransfer_ = false;
    std::uint64_t resumedFrom_ = 0;
    std::uint64_t bytesWritten_ = 0;
    bool lastWindowedWhole_ = false;  // the last file was windowed and arrived whole
    std::uint64_t lastWindowedSize_ = 0;

    Question question_ = Question::None;
    std::uint64_t ticket_ = 0;  // answers to older questions are ignored
    LivenessToken liveness_;
};

}  // namespace krl
