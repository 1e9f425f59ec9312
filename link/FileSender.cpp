#include "link/FileSender.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "base/Cp1252.h"
#include "base/MessagePresenter.h"
#include "base/ReceivedName.h"
#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/CommandTags.h"
#include "link/FileBlockStuffing.h"
#include "link/FileErrors.h"
#include "link/LinkListener.h"
#include "link/ProtocolPort.h"
#include "link/WindowedSender.h"

namespace krl {
namespace {

constexpr std::size_t kMaxOfferedName = 254;
// What is read from the file for one block; stuffing decides how much of it the block takes.
constexpr std::size_t kBlockReadSize = 3072;

// The file's last-write time as the 100-nanosecond count since 1601 that peers expect.
std::uint64_t peerFileTime(const SendFileFacts& facts) {
    constexpr std::uint64_t kEpochDifference = 11644473600ull;
    auto seconds = static_cast<std::uint64_t>(facts.modifiedSeconds) + kEpochDifference;
    return seconds * 10000000ull + facts.modifiedNanoseconds / 100;
}

}  // namespace

FileSender::FileSender(ProtocolPort& port, const CommandTags& tags, MessagePresenter& messages)
    : port_(port), tags_(tags), messages_(messages) {}

FileSender::~FileSender() {
    closeFile();
}

bool FileSender::active() const {
    return state_ == SendState::Offered || state_ == SendState::ReadyForBlock ||
           state_ == SendState::AwaitingConfirmation;
}

std::uint64_t FileSender::elapsedMs() const {
    return active() ? rate_.elapsedMs(port_.nowMs()) : 0;
}

int FileSender::control(SendControl command, int kind, const std::string& path) {
    switch (command) {
        case SendControl::StopSilently:
            stop(StopCause::LineFailure);
            return 1;
        case SendControl::Acknowledge:
            closeFile();
            state_ = SendState::Idle;
            return 1;
        case SendControl::Stop:
            stop(StopCause::User);
            return 1;
        case SendControl::Start:
            if (state_ != SendState::Idle)
                return 0;
            path_ = path;
            kind_ = kind;
            next_ = blockStart_ = 0;
            state_ = SendState::FileSet;
            return 1;
    }
    return 0;
}

void FileSender::stop(StopCause cause) {
    if (active() && cause != StopCause::LineFailure) {
        port_.writeCommand(tags_.tag(LinkCommand::StopSending));
        port_.logSent(tags_.tag(LinkCommand::StopSending));
    }
    if (active() || state_ == SendState::FileSet)
        stopCause_ = cause;
    finish(SendState::StoppedByUser);
}

TransferStatus FileSender::status() {
    TransferStatus s;
    s.state = active() ? static_cast<int>(SendState::ReadyForBlock) : static_cast<int>(state_);
    // An idle sender holds no file: the kind of the last one (a card picture, which the file
    // queue must not touch) would keep the queue from starting its next file.
    s.kind = state_ == SendState::Idle ? kOrdinaryFile : kind_;
    s.path = path_;
    if (active()) {
        s.size = length_ == 0 ? 1 : length_;
        s.bytesDone = windowed_ ? windowed_->confirmedBytes() : next_;
        s.bytesPerSecond = rate_.sample(port_.nowMs());
    }
    switch (state_) {
        case SendState::StoppedByReceiver:
        case SendState::Done:
        case SendState::Failed:
        case SendState::StoppedByUser:
            closeFile();
            break;
        default:
            break;
    }
    return s;
}

void FileSender::step() {
    switch (state_) {
        case SendState::FileSet:
            openAndOffer();
            break;
        case SendState::Offered:
            if (port_.nowMs() - sentAtMs_ > timeoutMs_) {
                finish(SendState::Failed);
                showMessage(transfer_message::kNoAcceptance, false);
            }
            break;
        case SendState::ReadyForBlock:
            if (windowed_)
                windowedStep();
            else
                sendBlock();
            break;
        case SendState::AwaitingConfirmation:
            if (port_.nowMs() - sentAtMs_ > timeoutMs_) {
                rewindBlock();
                ++confirmationTimeouts_;
                port_.logSent("CRC confirmation waiting timeout ");
            }
            break;
        case SendState::Done:
        case SendState::StoppedByUser:
            closeFile();
            break;
        default:
            break;
    }
}

void FileSender::openAndOffer() {
    SendFileFacts facts;
    int error = 0;
    file_ = files_->openToSend(path_, facts, error);
    if (!file_) {
        int id = sendOpenMessage(error);
        finish(SendState::Failed);
        if (id != 0)
            showMessage(id, true);
        return;
    }
    next_ = blockStart_ = 0;
    blockValue_ = 0;
    runningSum_ = 0xFFFFFFFFu;
    length_ = facts.size;
    if (length_ == 0) {
        finish(SendState::Done);
        return;
    }
    char header[64];
    std::uint64_t fileTime = peerFileTime(facts);
    std::snprintf(header, sizeof header, "%8llu", static_cast<unsigned long long>(length_));
    std::string size = header;
    std::snprintf(header, sizeof header, "%16ld,%16ld",
                  static_cast<long>(static_cast<std::int32_t>(fileTime >> 32)),
                  static_cast<long>(static_cast<std::int32_t>(fileTime & 0xFFFFFFFFu)));
    std::string name = sendableName(utf8ToCp1252(namePartOf(path_))).bytes();
    if (name.size() > kMaxOfferedName)
        name.resize(kMaxOfferedName);

    LinkCommand tag = kind_ == kOrdinaryFile ? LinkCommand::SendFile
                      : kind_ < 0            ? LinkCommand::SendCardPicture
                                             : LinkCommand::SendClipboard;
    std::string offer = tags_.tag(tag) + tags_.tag(LinkCommand::Name) + "<" + name + ">" +
                        tags_.tag(LinkCommand::Size) + "<" + size + ">" +
                        tags_.tag(LinkCommand::Date) + "<" + header + ">";
    port_.writeCommand(offer);
    port_.logSent(offer);
    rate_.start(port_.nowMs());
    take_.reset();
    state_ = SendState::Offered;
    sentAtMs_ = port_.nowMs();
}

void FileSender::sendBlock() {
    if (finishIfAllConfirmed())
        return;
    std::uint8_t data[kBlockReadSize];
    std::uint8_t stuffed[frame::kMaxFileBlockPayload];
    blockStart_ = next_;
    // Never past the offered length: a file that grows while it is sent goes as it was offered,
    // and the receiver takes a block longer than the offer left as damage.
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(sizeof data, length_ - next_));
    int error = 0;
    long got = file_ ? file_->readAt(next_, data, want, error) : -1;
    if (got <= 0) {
        stopUnreadable();
        return;
    }
    StuffedBlock block = stuffFileBlock({data, static_cast<std::size_t>(got)}, stuffed);
    blockValue_ = BlockCheckValue::of({data, block.dataTaken});
    long accepted = port_.writeFrame(FrameType::FileBlock, {stuffed, block.length},
                                     fileBlockCheckField(blockValue_));
    if (accepted < static_cast<long>(block.length))
        return;  // again at the next poll
    runningSum_ += blockValue_;
    next_ += block.dataTaken;
    rate_.add(block.dataTaken);
    dataBytesSent_ += block.dataTaken;
    ++blocksSent_;
    state_ = SendState::AwaitingConfirmation;
    sentAtMs_ = port_.nowMs();
}

void FileSender::stopUnreadable() {
    // The file shrank or became unreadable under us: the peer would wait for bytes that never
    // come, so the transfer ends here.
    port_.writeCommand(tags_.tag(LinkCommand::StopSending));
    port_.logSent(tags_.tag(LinkCommand::StopSending));
    finish(SendState::Failed);
    showMessage(transfer_message::kFileCorrupted, true);
}

void FileSender::startWindowed() {
    // Continue where the receiver's part ends only when its first bytes are the ones we have.
    std::uint64_t start = 0;
    if (take_->held > 0 && take_->held <= length_) {
        BlockCheckValue v;
        std::uint8_t buffer[65536];
        std::uint64_t at = 0;
        while (at < take_->held) {
            auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, take_->held - at));
            int error = 0;
            long got = file_->readAt(at, buffer, want, error);
            if (got <= 0)
                break;
            v.add({buffer, static_cast<std::size_t>(got)});
            at += static_cast<std::uint64_t>(got);
        }
        if (at == take_->held && v.value() == take_->check)
            start = take_->held;
    }
    windowed_ = std::make_unique<WindowedSender>(port_, *file_, length_, start, start > 0,
                                                 port_.lineBitsPerSecond(), timeoutMs_);
    windowedSentBefore_ = 0;
    next_ = blockStart_ = start;
    port_.logSent(start > 0 ? "Windowed blocks, continuing at " + std::to_string(start)
                            : std::string("Windowed blocks"));
}

void FileSender::windowedStep() {
    if (!windowed_->step(videoSending_)) {
        stopUnreadable();
        return;
    }
    const std::uint64_t sent = windowed_->bytesSent();
    rate_.add(sent - windowedSentBefore_);
    dataBytesSent_ += sent - windowedSentBefore_;
    windowedSentBefore_ = sent;
    blocksSent_ = windowed_->blocksSent();
    largestWindow_ = std::max(largestWindow_, windowed_->window());
    next_ = windowed_->confirmedBytes();
    if (windowed_->complete()) {
        finish(SendState::Done);
        if (kind_ < 0 && onCardPictureSent_)
            onCardPictureSent_();
    }
}

void FileSender::onTake(std::uint64_t held, std::uint32_t check) {
    if (state_ == SendState::Offered)
        take_ = Take{held, check};
}

void FileSender::onWindowAck(std::uint64_t offset, std::uint64_t held) {
    if (!windowed_ || state_ != SendState::ReadyForBlock)
        return;
    windowed_->onAck(offset, held);
    // The last confirmation ends the file at once: a "<Disconnect>" right behind it in the
    // same read must find the file sent, not cut short.
    if (windowed_->complete())
        windowedStep();
}

void FileSender::rewindBlock() {
    next_ = blockStart_;
    runningSum_ -= blockValue_;
    sentAtMs_ = 0;
    state_ = SendState::ReadyForBlock;
}

void FileSender::onAccepted() {
    if (state_ != SendState::Offered)
        return;
    state_ = SendState::ReadyForBlock;
    runningSum_ = 0xFFFFFFFFu;
    next_ = blockStart_ = 0;
    sentAtMs_ = 0;
    rate_.start(port_.nowMs());
    // A receiver that answered with TAKE takes windowed blocks; without it (an original peer,
    // or the frame was damaged on the way) the blocks go stop-and-wait as always.
    if (take_ && extension_)
        startWindowed();
    take_.reset();
}

void FileSender::onBlockConfirmed() {
    if (state_ != SendState::AwaitingConfirmation || windowed_)
        return;
    state_ = SendState::ReadyForBlock;
    sentAtMs_ = 0;
    // The last confirmation completes the file at once: a "<Disconnect>" read with it must
    // find the file sent, not cut off.
    finishIfAllConfirmed();
}

bool FileSender::finishIfAllConfirmed() {
    if (next_ < length_)
        return false;
    finish(SendState::Done);
    if (kind_ < 0 && onCardPictureSent_)
        onCardPictureSent_();
    return true;
}

void FileSender::onBlockRejected() {
    if (state_ != SendState::AwaitingConfirmation || windowed_)
        return;
    rewindBlock();
    // The packet error count is the negative confirmations; time-outs are counted apart.
    ++resent_;
    port_.noteResentBlock();
}

void FileSender::onRefused() {
    // A refusal only concerns a transfer that is still going; a finished side keeps its result.
    if (!active() && state_ != SendState::FileSet)
        return;
    finish(SendState::StoppedByReceiver);
    showMessage(transfer_message::kReceiverStopped, false);
}

void FileSender::onPeerDisconnected() {
    switch (state_) {
        case SendState::Idle:
            state_ = SendState::PeerDisconnected;
            return;
        // A file that ended before the peer left keeps its result until the window has seen it:
        // a file confirmed whole is reported sent, never cut off.
        case SendState::Done:
        case SendState::Failed:
        case SendState::StoppedByReceiver:
        case SendState::StoppedByUser:
            return;
        default:
            finish(SendState::PeerDisconnected);
    }
}

void FileSender::resetForCall() {
    closeFile();
    stopCause_ = StopCause::User;
    state_ = SendState::Idle;
    kind_ = kOrdinaryFile;
    runningSum_ = 0xFFFFFFFFu;
    next_ = blockStart_ = length_ = 0;
    sentAtMs_ = 0;
    resent_ = 0;
    confirmationTimeouts_ = 0;
    blocksSent_ = 0;
    dataBytesSent_ = 0;
    largestWindow_ = 0;
    rate_ = TransferRate{};
    take_.reset();
    windowed_.reset();
    extension_ = false;
}

void FileSender::finish(SendState state) {
    closeFile();
    bool wasFinal = !(active() || state_ == SendState::FileSet);
    state_ = state;
    sentAtMs_ = 0;
    if (!wasFinal && listener_ != nullptr)
        listener_->sendEnded(state, path_, kind_);
}

void FileSender::closeFile() {
    windowed_.reset();  // it reads through file_
    if (file_)
        file_->close();
    file_.reset();
}

void FileSender::showMessage(int id, bool withPath) {
    Message m;
    m.id = id;
    m.kind = id < 5000 ? MessageKind::Error : MessageKind::Acknowledgment;
    if (withPath)
        m.text = path_;
    messages_.show(m, {});
}

}  // namespace krl
