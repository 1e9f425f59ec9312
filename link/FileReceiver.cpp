#include "link/FileReceiver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/MessagePresenter.h"
#include "base/ReceivedName.h"
#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/CommandTags.h"
#include "link/ExtensionFrames.h"
#include "link/FileBlockStuffing.h"
#include "link/FileErrors.h"
#include "link/FileOffer.h"
#include "link/LinkListener.h"

namespace krl {
namespace {

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// The data of a received block into `out` (kMaxFileBlockPayload bytes); nothing when the block
// holds more than 3071 stuffed or 3070 data bytes: it is damaged and must not reach the buffers.
std::optional<std::size_t> blockData(const std::uint8_t* payload, std::size_t length,
                                     std::uint8_t* out) {
    if (length > frame::kMaxFileBlockPayload)
        return std::nullopt;
    const std::size_t size = unstuffFileBlock({payload, length}, out);
    if (size > frame::kMaxFileBlockData)
        return std::nullopt;
    return size;
}

}  // namespace

FileReceiver::FileReceiver(ProtocolPort& port, const CommandTags& tags, MessagePresenter& messages)
    : port_(port), tags_(tags), messages_(messages) {}

FileReceiver::~FileReceiver() {
    liveness_.end();
    if (state_ == ReceiveState::Receiving) {
        if (partial_.active())
            keepPartialFile();  // the call ends with the program: a later call continues
        else
            discardPartialFile();
    }
    closeFile();
}

std::uint64_t FileReceiver::elapsedMs() const {
    return active() ? rate_.elapsedMs(port_.nowMs()) : 0;
}

int FileReceiver::control(ReceiveControl command, const std::string& folder) {
    if (command == ReceiveControl::Arm) {
        if (state_ == ReceiveState::Receiving || question_ != Question::None)
            return 0;
        folder_ = folder;
        state_ = ReceiveState::Ready;
        return 1;
    }
    stop(StopCause::User);
    return 1;
}

void FileReceiver::stop(StopCause cause) {
    if (state_ != ReceiveState::Receiving && question_ == Question::None)
        return;
    question_ = Question::None;
    ++ticket_;
    stopCause_ = cause;
    sendCommand(static_cast<int>(LinkCommand::DoNotSend));
    // A line that went away was not stopped by anyone: a partial file of the extension stays
    // (never under the file's name) for a later call to continue.
    fail(ReceiveState::StoppedByUser, cause == StopCause::LineFailure);
}

TransferStatus FileReceiver::status() {
    TransferStatus s;
    s.state = static_cast<int>(state_);
    s.path = path_;
    s.kind = kind_;
    s.size = size_ == 0 ? 1 : size_;
    s.bytesDone = written_;
    if (state_ == ReceiveState::Receiving)
        s.bytesPerSecond = rate_.sample(port_.nowMs());
    return s;
}

void FileReceiver::sendCommand(int command) {
    const std::string& tag = tags_.tag(static_cast<LinkCommand>(command));
    port_.writeCommand(tag);
    port_.logSent(tag);
}

void FileReceiver::showMessage(int id, std::optional<std::string> text) {
    Message m;
    m.id = id;
    m.kind = id < 5000 ? MessageKind::Error : MessageKind::Acknowledgment;
    m.text = std::move(text);
    messages_.show(m, {});
}

void FileReceiver::onOffer(std::string_view payload) {
    port_.logReceived(payload.substr(0, payload.find('\0')));
    // One transfer at a time: an offer never takes over a file that is being received or
    // decided; the running transfer goes on and the new offer is refused.
    if (state_ == ReceiveState::Receiving || question_ != Question::None) {
        sendCommand(static_cast<int>(LinkCommand::DoNotSend));
        return;
    }
    auto offer = parseFileOffer(payload, tags_);
    bool isCard = offer && offer->tag == LinkCommand::SendCardPicture;
    const std::string& folder = isCard ? cardFolder_ : folder_;
    if (!offer || folder.empty()) {
        refuseAndReset();
        return;
    }
    closeFile();
    resetFields();
    name_ = plainReceivedName(offer->name);
    offeredName_ = offer->name.bytes();  // Windows-1252, as the part store keeps it
    offeredDate_ = offer->date;
    sizeKnown_ = offer->size.has_value();
    size_ = offer->size.value_or(1);
    kind_ = isCard                                     ? kCardPicture
            : offer->tag == LinkCommand::SendClipboard ? clipboardFormatOfName(name_)
                                                       : kOrdinaryFile;
    path_ = joinPath(folder, name_);

    if (kind_ == kOrdinaryFile && !options_.overwriteExisting && files_->exists(path_)) {
        if (existsQuestion_ == nullptr) {
            refuseAndReset();
            return;
        }
        state_ = ReceiveState::Deciding;
        question_ = Question::FileExists;
        std::uint64_t ticket = ++ticket_;
        existsQuestion_->ask(
            path_, [this, watch = liveness_.watch(), ticket](std::optional<std::string> path) {
                if (!watch.alive())
                    return;
                continueAfterExists(std::move(path), ticket);
            });
        return;
    }
    checkViewerThenCreate();
}

void FileReceiver::continueAfterExists(std::optional<std::string> path, std::uint64_t ticket) {
    if (ticket != ticket_ || question_ != Question::FileExists)
        return;
    question_ = Question::None;
    if (!path || path->empty()) {
        refuseAndReset();
        return;
    }
    path_ = *path;
    checkViewerThenCreate();
}

void FileReceiver::checkViewerThenCreate() {
    if (kind_ == kOrdinaryFile && options_.launchOption == 0 && options_.hasViewer &&
        !options_.hasViewer(path_)) {
        state_ = ReceiveState::Deciding;
        question_ = Question::NoViewer;
        std::uint64_t ticket = ++ticket_;
        Message m{transfer_message::kNoViewer, MessageKind::Confirmation, name_, std::nullopt};
        messages_.show(m, [this, watch = liveness_.watch(), ticket](MessageAnswer answer) {
            if (!watch.alive())
                return;
            continueAfterViewer(answer == MessageAnswer::Ok, ticket);
        });
        return;
    }
    createTarget();
}

void FileReceiver::continueAfterViewer(bool receive, std::uint64_t ticket) {
    if (ticket != ticket_ || question_ != Question::NoViewer)
        return;
    question_ = Question::None;
    if (!receive) {
        refuseAndReset();
        return;
    }
    createTarget();
}

void FileReceiver::createTarget() {
    // Between two copies the file is received into a partial file that a later call can
    // continue; a file of unknown size is received as always.
    if (extension_ && sizeKnown_ && openPart())
        return;
    int error = 0;
    file_ = files_->create(path_, error);
    if (!file_) {
        int id = createMessage(error);
        showMessage(id,
                    id == transfer_message::kCannotCreate ? std::optional(path_) : std::nullopt);
        refuseAndReset();
        return;
    }
    startReceiving(0);
}

bool FileReceiver::openPart() {
    auto opened = partial_.open(*files_, path_, {offeredName_, size_, offeredDate_});
    if (!opened)
        return false;
    file_ = std::move(opened->file);
    held_.clear();
    held_.add(0, opened->held);
    blocksStarted_ = windowedTransfer_ = false;
    resumedFrom_ = 0;
    const std::string take =
        extension::commandPayload({extension::Verb::Take, opened->held, opened->check});
    port_.writeCommand(take);
    port_.logSent(take);
    startReceiving(opened->held);
    return true;
}

void FileReceiver::startReceiving(std::uint64_t held) {
    sendCommand(static_cast<int>(LinkCommand::OkForSend));
    written_ = held;
    runningSum_ = 0xFFFFFFFFu;
    state_ = ReceiveState::Receiving;
    lastBlockMs_ = port_.nowMs();
    repeats_.start(lastBlockMs_);
    rate_.start(port_.nowMs());
}

void FileReceiver::startPlainIntoPart() {
    // The sender did not hear our TAKE: it sends the whole file stop-and-wait from its start.
    blocksStarted_ = true;
    windowedTransfer_ = false;
    if (written_ > 0 && file_->truncate(0) == 0)
        written_ = 0;
    held_.clear();
}

bool FileReceiver::writeAt(const std::uint8_t* data, std::size_t length, std::uint64_t offset) {
    if (int error = length > 0 ? file_->writeAt(offset, data, length) : 0; error != 0) {
        failOnWriteError(error);
        return false;
    }
    bytesWritten_ += length;
    return true;
}

int FileReceiver::closeWholeFile() {
    std::unique_ptr<TransferFile> file = std::move(file_);
    if (int error = file->close(); error != 0)
        return error;
    if (partial_.active() && !partial_.finish(path_))
        return errno != 0 ? errno : EIO;
    return 0;
}

void FileReceiver::onWindowedBlock(const CheckField& check, const std::uint8_t* payload,
                                   std::size_t length) {
    if (blocksStarted_ && !windowedTransfer_)
        return;  // a stop-and-wait transfer is under way: a stray block of an earlier one
    std::uint8_t data[frame::kMaxFileBlockPayload];
    const auto taken = blockData(payload, length, data);
    const std::size_t size = taken.value_or(0);
    auto header = taken ? extension::readBlock(check, data, size) : std::nullopt;
    lastBlockMs_ = port_.nowMs();
    if (!header) {
        // Not answered: the sender sends it again when a later block's confirmation shows
        // that this one did not arrive, or after its re-send time.
        ++damaged_;
        port_.noteDamagedFrame();
        return;
    }
    if (header->offset >= size_ || size > size_ - header->offset)
        return;  // never past the announced size
    if (!blocksStarted_) {
        blocksStarted_ = windowedTransfer_ = true;
        if (!(header->flags & extension::kFlagResumed) && held_.prefix() > 0) {
            // The sender's file differs from the part we hold: start afresh.
            if (file_->truncate(0) != 0) {
                sendCommand(static_cast<int>(LinkCommand::DoNotSend));
                fail(ReceiveState::Failed);
                return;
            }
            held_.clear();
        }
        resumedFrom_ = held_.prefix();
    }
    const auto gaps = held_.missing(header->offset, header->offset + size);
    if (gaps.empty())
        ++repeated_;
    for (auto [from, to] : gaps) {
        if (!writeAt(data + (from - header->offset), static_cast<std::size_t>(to - from), from))
            return;
        held_.add(from, to);
        rate_.add(to - from);
    }
    written_ = held_.prefix();
    const bool finished = written_ >= size_;
    if (finished) {
        if (int error = closeWholeFile(); error != 0) {
            failOnWriteError(error);
            return;
        }
    }
    port_.writeCommand(extension::commandPayload({extension::Verb::Ack, header->offset, written_}));
    if (finished) {
        lastWindowedWhole_ = true;
        lastWindowedSize_ = size_;
        complete();
    }
}

void FileReceiver::confirmLateWindowedBlock(const CheckField& check, const std::uint8_t* payload,
                                            std::size_t length) {
    // The last confirmations of a windowed file were lost: the sender sends its last blocks
    // again until it hears of them. Confirm them again; write nothing.
    bool afterWholeFile = state_ == ReceiveState::Complete || state_ == ReceiveState::Ready;
    if (!afterWholeFile || !lastWindowedWhole_ || length > frame::kMaxFileBlockPayload)
        return;
    std::uint8_t data[frame::kMaxFileBlockPayload];
    std::size_t size = unstuffFileBlock({payload, length}, data);
    auto header = extension::readBlock(check, data, size);
    if (header && header->offset < lastWindowedSize_) {
        ++repeated_;
        port_.writeCommand(
            extension::commandPayload({extension::Verb::Ack, header->offset, lastWindowedSize_}));
    }
}

void FileReceiver::refuseAndReset() {
    sendCommand(static_cast<int>(LinkCommand::DoNotSend));
    closeFile();
    resetFields();
    state_ = ReceiveState::NotReady;
}

void FileReceiver::onBlock(const CheckField& check, const std::uint8_t* payload,
                           std::size_t length) {
    // A windowed block can come only from a copy we answered with TAKE (its field holds 'W' where
    // every stop-and-wait block holds a NUL).
    if (extension::isWindowedBlock(check)) {
        if (state_ == ReceiveState::Receiving && partial_.active()) {
            onWindowedBlock(check, payload, length);
            return;
        }
        if (state_ != ReceiveState::Receiving) {
            confirmLateWindowedBlock(check, payload, length);
            return;
        }
    }
    if (state_ == ReceiveState::Receiving && partial_.active() && !blocksStarted_)
        startPlainIntoPart();
    if (state_ != ReceiveState::Receiving) {
        answerStrayBlock(check, payload, length);
        return;
    }
    std::uint8_t data[frame::kMaxFileBlockPayload];
    const auto taken = blockData(payload, length, data);
    const std::size_t size = taken.value_or(0);
    std::uint32_t value = taken ? BlockCheckValue::of({data, size}) : 0;
    lastBlockMs_ = port_.nowMs();
    // A block sent again after a damaged try is still judged by how soon that first try came.
    repeats_.blockArrived(lastBlockMs_);
    if (!taken || value != readCheckField(check)) {
        sendCommand(static_cast<int>(LinkCommand::BlockNotOk));
        ++damaged_;
        port_.noteDamagedFrame();
        return;
    }
    if (repeats_.isRepeat(data, size, value, timeoutMs_)) {
        // The sender did not see our confirmation and sent the same block again: confirm it
        // again, write it once.
        ++repeated_;
        sendCommand(static_cast<int>(LinkCommand::BlockOk));
        repeats_.confirmed(port_.nowMs());
        return;
    }
    repeats_.takeNew();
    acceptBlock(data, size, value);
}

void FileReceiver::answerStrayBlock(const CheckField& check, const std::uint8_t* payload,
                                    std::size_t length) {
    // A block while no file is being received. A damaged one says nothing: the sender tries
    // again. The same block as the last one of the file that arrived whole means the
    // confirmation of that block was lost: the sender keeps sending it until it hears of it, so
    // confirm it again and write nothing (the window may have armed the receiver again
    // meanwhile; no new offer has come). Any other block means the sender believes in a
    // transfer this side does not have (our refusal was lost, or we gave up waiting): tell it
    // to stop, or it would send that block again for ever.
    std::uint8_t data[frame::kMaxFileBlockPayload];
    const auto size = blockData(payload, length, data);
    if (!size || BlockCheckValue::of({data, *size}) != readCheckField(check))
        return;
    bool afterWholeFile = state_ == ReceiveState::Complete || state_ == ReceiveState::Ready;
    if (afterWholeFile && lastFileWhole_ && repeats_.isLastBlock(data, *size)) {
        ++repeated_;
        sendCommand(static_cast<int>(LinkCommand::BlockOk));
        return;
    }
    if (state_ != ReceiveState::Deciding)
        sendCommand(static_cast<int>(LinkCommand::DoNotSend));
}

void FileReceiver::acceptBlock(const std::uint8_t* data, std::size_t length, std::uint32_t value) {
    // A block with more bytes than the offer has left to come: the offered size was damaged on
    // the way (command frames carry no check value) and the file is not the one announced.
    // Cut to that size it would pass for whole; it fails instead and the sender hears of it.
    if (sizeKnown_ && length > size_ - written_) {
        sendCommand(static_cast<int>(LinkCommand::DoNotSend));
        fail(ReceiveState::Failed);
        showMessage(transfer_message::kFileCheckFailed, name_);
        return;
    }
    // The offered size bounds the file: bytes past it are never written.
    std::size_t toWrite = length;
    if (sizeKnown_)
        toWrite = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - written_));
    if (!writeAt(data, toWrite, written_))
        return;
    written_ += toWrite;
    rate_.add(toWrite);
    repeats_.remember(data, length, value);
    bool finished = !sizeKnown_ || written_ >= size_;
    if (finished) {
        // The data must be handed over whole before the sender hears that the file arrived.
        if (int error = closeWholeFile(); error != 0) {
            failOnWriteError(error);
            return;
        }
    }
    sendCommand(static_cast<int>(LinkCommand::BlockOk));
    repeats_.confirmed(port_.nowMs());
    runningSum_ += value;
    if (finished)
        complete();
}

void FileReceiver::failOnWriteError(int error) {
    sendCommand(static_cast<int>(LinkCommand::DoNotSend));
    fail(ReceiveState::Failed);
    showWriteError(error);
}

void FileReceiver::showWriteError(int error) {
    // A disk error without a number of its own still tells the user that the file is gone.
    int id = writeMessage(error);
    if (id == 0)
        id = transfer_message::kCannotCreate;
    showMessage(id, id == transfer_message::kCannotCreate ? std::optional(path_) : std::nullopt);
}

void FileReceiver::complete() {
    state_ = ReceiveState::Complete;
    lastFileWhole_ = true;
    if (kind_ < 0 && onCardPicture_)
        onCardPicture_(name_);
    if (listener_ != nullptr)
        listener_->receiveEnded(state_, path_, kind_);
}

void FileReceiver::onSenderStopped() {
    // A file that arrived whole stays complete; anything else the sender stops ends here.
    if (state_ == ReceiveState::Complete)
        return;
    question_ = Question::None;
    ++ticket_;
    fail(ReceiveState::StoppedBySender);
    showMessage(transfer_message::kSenderStopped, std::nullopt);
}

void FileReceiver::onFileCheck(std::string_view payload) {
    port_.logReceived(payload.substr(0, payload.find('\0')));
    if (state_ != ReceiveState::Receiving)
        return;
    CheckField field{};
    if (payload.size() > 6) {
        auto n = std::min<std::size_t>(16, payload.size() - 6);
        std::memcpy(field.data(), payload.data() + 6, n);
    }
    if (readCheckField(field) == runningSum_) {
        closeFile();
        sendCommand(static_cast<int>(LinkCommand::BlockOk));
        complete();
        return;
    }
    sendCommand(static_cast<int>(LinkCommand::BlockNotOk));
    fail(ReceiveState::Failed);
    showMessage(transfer_message::kFileCheckFailed, name_);
}

void FileReceiver::onPeerDisconnected() {
    // A file that ended before the peer left keeps its result (a whole file stays whole) until
    // the window has seen it; anything still open ends here.
    switch (state_) {
        case ReceiveState::Complete:
        case ReceiveState::StoppedBySender:
        case ReceiveState::StoppedByUser:
        case ReceiveState::Failed:
            return;
        default:
            break;
    }
    question_ = Question::None;
    ++ticket_;
    fail(ReceiveState::PeerDisconnected, true);
}

void FileReceiver::onPortFailure() {
    stop(StopCause::LineFailure);
}

void FileReceiver::step() {
    if (state_ == ReceiveState::Receiving && port_.nowMs() - lastBlockMs_ > 2 * timeoutMs_) {
        fail(ReceiveState::Failed, true);
        path_.clear();
        showMessage(transfer_message::kNoDataForAWhile, std::nullopt);
    }
}

void FileReceiver::resetForCall() {
    question_ = Question::None;
    ++ticket_;
    if (state_ == ReceiveState::Receiving) {
        if (partial_.active())
            keepPartialFile();  // the last call ended without a word: continue in a later one
        else
            discardPartialFile();
    }
    closeFile();
    resetFields();
    damaged_ = repeated_ = 0;
    bytesWritten_ = 0;
    lastWindowedWhole_ = false;
    state_ = ReceiveState::Ready;
}

void FileReceiver::fail(ReceiveState state, bool keepPart) {
    bool wasReceiving = state_ == ReceiveState::Receiving;
    if (wasReceiving && keepPart && partial_.active())
        keepPartialFile();
    else if (wasReceiving)
        discardPartialFile();
    closeFile();
    state_ = state;
    if (wasReceiving && listener_ != nullptr)
        listener_->receiveEnded(state, path_, kind_);
}

void FileReceiver::discardPartialFile() {
    closeFile();
    if (partial_.active()) {
        partial_.remove();
        return;
    }
    if (!path_.empty())
        files_->remove(path_);
}

void FileReceiver::keepPartialFile() {
    closeFile();
    partial_.keep(written_);
}

void FileReceiver::closeFile() {
    if (file_)
        file_->close();
    file_.reset();
}

void FileReceiver::resetFields() {
    path_.clear();
    name_.clear();
    kind_ = kOrdinaryFile;
    sizeKnown_ = false;
    size_ = written_ = 0;
    runningSum_ = 0xFFFFFFFFu;
    repeats_.forget();
    lastFileWhole_ = false;
    partial_.forget();
    held_.clear();
    blocksStarted_ = windowedTransfer_ = false;
    resumedFrom_ = 0;
    lastWindowedWhole_ = false;
    offeredName_.clear();
    offeredDate_.clear();
}

}  // namespace krl
