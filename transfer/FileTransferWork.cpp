#include "transfer/FileTransferWork.h"

#include <algorithm>
#include <utility>

#include "base/MessagePresenter.h"

namespace krl {

FileTransferWork::FileTransferWork(Services services, TransferFilePaths paths,
                                   TonebaySettings settings)
    : sides_(services.sides),
      files_(services.files),
      messages_(services.messages),
      host_(services.host),
      paths_(std::move(paths)),
      queueFile_(files_, paths_.queue),
      settings_(std::move(settings)),
      queue_(queueFile_.load()) {
    arm();
}

FileTransferWork::~FileTransferWork() {
    liveness_.end();
}

void FileTransferWork::setSettings(const TonebaySettings& settings) {
    settings_ = settings;
    arm();
}

void FileTransferWork::setView(TransferView* view) {
    view_ = view;
    sendShown_ = receiveShown_ = false;
}

// --- the queue ----------------------------------------------------------------------------

bool FileTransferWork::add(QueueItem item, bool sendNow) {
    if (PathProblem problem = storedPathProblem(item.path); problem != PathProblem::None) {
        messages_.show(Message{kMsgCannotQueue, MessageKind::Error,
                               item.path + ": " + std::string(describe(problem)), std::nullopt},
                       {});
        return false;
    }
    if (item.typeText.empty()) {
        item.typeText = item.kind > 0               ? std::string(kClipboardPackageType)
                        : item.kind == kCardPicture ? std::string(kCardPictureType)
                                                    : host_.typeName(item.path);
    }
    queue_.push_back(std::move(item));
    store();
    queueChanged();
    if (sendNow && settings_.sendOnAdding)
        sendQueued();
    return true;
}

void FileTransferWork::addFiles(const std::vector<std::string>& paths) {
    for (std::size_t i = 0; i < paths.size(); ++i)
        add(QueueItem{paths[i], {}, kOrdinaryFile}, i + 1 == paths.size());
}

void FileTransferWork::queueFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        add(QueueItem{path, {}, kOrdinaryFile}, false);
}

std::optional<std::size_t> FileTransferWork::remove(std::vector<std::size_t> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](std::size_t row) { return row >= queue_.size(); });
    if (rows.empty())
        return std::nullopt;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(*it));
    store();
    queueChanged();
    if (queue_.empty())
        return std::nullopt;
    return std::min(rows.front(), queue_.size() - 1);
}

void FileTransferWork::saveQueue() {
    if (settings_.clearQueueAfterDisconnecting) {
        queue_.clear();
        report(queueFile_.clear());
        queueChanged();
        return;
    }
    store();
}

void FileTransferWork::store() {
    report(queueFile_.save(queue_));
}

void FileTransferWork::report(const StoreResult& result) {
    if (result.ok() || result.message() == 0)
        return;
    messages_.show(result.shown(), {});
}

void FileTransferWork::queueChanged() {
    if (view_)
        view_->queueChanged();
}

// --- sending the queue --------------------------------------------------------------------

void FileTransferWork::sendQueued() {
    if (sides_.connected() || questionOpen_)
        return;
    if (queue_.empty() || !settings_.confirmBeforeConnecting) {
        host_.dial();
        return;
    }
    questionOpen_ = true;
    Message question{queue_.size() == 1 ? kMsgOneQueued : kMsgManyQueued, MessageKind::Confirmation,
                     std::nullopt, std::nullopt};
    if (queue_.size() > 1)
        question.text = std::to_string(queue_.size());
    messages_.show(question, [this, watch = liveness_.watch()](MessageAnswer answer) {
        if (!watch.alive())
            return;
        questionOpen_ = false;
        if (answer == MessageAnswer::Ok && !sides_.connected())
            host_.dial();
    });
}

void FileTransferWork::step(PumpResult result) {
    if (!sides_.connected()) {
        // A file whose last confirmation came with the peer's disconnect arrived whole: it is
        // recorded as such, even though the call is already gone.
        if (const TransferStatus send = sides_.sendStatus();
            send.kind >= 0 && send.state == static_cast<int>(SendState::Done))
            finishSend(send, true);
        if (const TransferStatus receive = sides_.receiveStatus();
            receive.kind >= 0 && receive.state == static_cast<int>(ReceiveState::Complete))
            finishReceive(receive);
        // The call went (or never came): nothing moves any more.
        clearSide(TransferSide::Sending);
        clearSide(TransferSide::Receiving);
        if (activity_ && view_)
            view_->activity(false);
        activity_ = false;
        return;
    }
    if (result == PumpResult::CallMade)
        return;
    activity_ = false;
    sendingStep();
    receivingStep();
    if (view_)
        view_->activity(activity_);
}

void FileTransferWork::sendingStep() {
    const TransferStatus s = sides_.sendStatus();
    if (s.kind < 0)
        return;  // a card picture: the card exchange's
    switch (static_cast<SendState>(s.state)) {
        case SendState::Idle:
            if (!queue_.empty() && settings_.autoSend && view_)
                startHead();
            break;
        case SendState::FileSet:
        case SendState::ReadyForBlock:
            showProgress(TransferSide::Sending, s);
            activity_ = true;
            break;
        case SendState::StoppedByReceiver:
        case SendState::Failed:
        case SendState::StoppedByUser:
            finishSend(s, false);
            break;
        case SendState::Done:
            finishSend(s, true);
            break;
        case SendState::PeerDisconnected:
            // The call's end says so (5080); the item stays at the head for the next call.
            clearSide(TransferSide::Sending);
            inFlight_.reset();
            sides_.controlSend(SendControl::Acknowledge);
            host_.disconnect();
            saveQueue();
            break;
        default:
            break;
    }
}

void FileTransferWork::startHead() {
    const QueueItem head = queue_.front();
    if (head.kind == kCardPicture) {
        // A card picture waits in the queue for the card exchange, which sends it with the card.
        queue_.erase(queue_.begin());
        store();
        queueChanged();
        clearSide(TransferSide::Sending);
        host_.sendOwnCard();
        return;
    }
    if (sides_.controlSend(SendControl::Start, head.kind, head.path) == 0)
        return;
    inFlight_ = head;
    sendRate_ = -1;
    TransferStatus shown;
    shown.path = head.path;
    shown.size = 1;
    showProgress(TransferSide::Sending, shown);
    activity_ = true;
}

void FileTransferWork::finishSend(const TransferStatus& status, bool whole) {
    clearSide(TransferSide::Sending);
    QueueItem item = inFlight_ && inFlight_->path == status.path
                         ? *inFlight_
                         : QueueItem{status.path, host_.typeName(status.path), status.kind};
    inFlight_.reset();
    if (whole && item.kind == kOrdinaryFile)
        appendHistory(TransferSide::Sending, {item.path, item.typeText, party_, {}});
    // A clipboard package is made for one send, whatever became of it.
    if (item.kind > 0 && !item.path.empty())
        host_.removeFile(item.path);
    if (auto it = std::find(queue_.begin(), queue_.end(), item); it != queue_.end()) {
        queue_.erase(it);
        store();
        queueChanged();
    }
    sides_.controlSend(SendControl::Acknowledge);
}

// --- receiving ----------------------------------------------------------------------------

void FileTransferWork::receivingStep() {
    const TransferStatus s = sides_.receiveStatus();
    if (s.kind < 0)
        return;
    switch (static_cast<ReceiveState>(s.state)) {
        case ReceiveState::NotReady:
        case ReceiveState::Ready:
            arm();
            break;
        case ReceiveState::Receiving:
            if (!receiveShown_)
                receiveRate_ = -1;
            showProgress(TransferSide::Receiving, s);
            activity_ = true;
            break;
        case ReceiveState::Complete:
            finishReceive(s);
            break;
        case ReceiveState::StoppedBySender:
        case ReceiveState::StoppedByUser:
        case ReceiveState::Failed:
            clearSide(TransferSide::Receiving);
            arm();
            break;
        case ReceiveState::PeerDisconnected:
            clearSide(TransferSide::Receiving);
            host_.disconnect();
            saveQueue();
            arm();
            break;
        default:
            break;
    }
}

void FileTransferWork::finishReceive(const TransferStatus& status) {
    clearSide(TransferSide::Receiving);
    const std::string path = status.path;
    if (status.kind == kOrdinaryFile) {
        appendHistory(TransferSide::Receiving, {path, host_.typeName(path), party_, {}});
        host_.fileArrived(path, party_);
        switch (settings_.launchMode) {
            case LaunchMode::Launch:
                host_.launch(path);
                break;
            case LaunchMode::Ask:
                messages_.show(
                    Message{kMsgOpenReceived, MessageKind::Confirmation, path, std::nullopt},
                    [this, watch = liveness_.watch(), path](MessageAnswer answer) {
                        if (watch.alive() && answer == MessageAnswer::Ok)
                            host_.launch(path);
                    });
                break;
            case LaunchMode::DoNotLaunch:
                break;
        }
    } else if (status.kind > 0) {
        host_.restoreClipboard(path, status.kind);
    }
    arm();
}

void FileTransferWork::arm() {
    sides_.controlReceive(ReceiveControl::Arm, settings_.recDir);
}

void FileTransferWork::stop(TransferSide side) {
    if (side == TransferSide::Sending)
        sides_.controlSend(SendControl::Stop);
    else
        sides_.controlReceive(ReceiveControl::Stop);
    step(PumpResult::Ok);
}

// --- closing ------------------------------------------------------------------------------

void FileTransferWork::queryAbandon(std::function<void(int)> done) {
    if (!sides_.connected()) {
        done(1);
        return;
    }
    const TransferStatus send = sides_.sendStatus();
    const TransferStatus receive = sides_.receiveStatus();
    const int gone = static_cast<int>(SendState::PeerDisconnected);
    if (send.state == gone || receive.state == static_cast<int>(ReceiveState::PeerDisconnected)) {
        abandon();
        done(1);
        return;
    }
    const bool running = send.state == static_cast<int>(SendState::ReadyForBlock) ||
                         receive.state == static_cast<int>(ReceiveState::Receiving);
    if (!running) {
        done(1);
        return;
    }
    if (questionOpen_) {
        done(0);
        return;
    }
    questionOpen_ = true;
    messages_.show(Message{kMsgStopTransfer, MessageKind::Confirmation, std::nullopt, std::nullopt},
                   [this, watch = liveness_.watch(), done = std::move(done)](MessageAnswer answer) {
                       if (!watch.alive())
                           return;
                       questionOpen_ = false;
                       if (answer != MessageAnswer::Ok) {
                           done(0);
                           return;
                       }
                       abandon();
                       done(2);
                   });
}

void FileTransferWork::abandon() {
    sides_.controlSend(SendControl::Stop);
    sides_.controlReceive(ReceiveControl::Stop);
    clearSide(TransferSide::Sending);
    clearSide(TransferSide::Receiving);
    if (view_)
        view_->activity(false);
    activity_ = false;
    inFlight_.reset();
    sides_.controlSend(SendControl::Acknowledge);
    arm();
}

// --- what the window shows ----------------------------------------------------------------

void FileTransferWork::showProgress(TransferSide side, const TransferStatus& status) {
    long& rate = side == TransferSide::Sending ? sendRate_ : receiveRate_;
    if (status.bytesPerSecond > 0)
        rate = status.bytesPerSecond;
    (side == TransferSide::Sending ? sendShown_ : receiveShown_) = true;
    if (view_)
        view_->progress(side, progressOf(status, rate, lineBitsPerSecond_));
}

void FileTransferWork::clearSide(TransferSide side) {
    bool& shown = side == TransferSide::Sending ? sendShown_ : receiveShown_;
    if (!shown)
        return;
    shown = false;
    if (view_)
        view_->cleared(side);
}

// --- the histories ------------------------------------------------------------------------

TransferHistoryFile FileTransferWork::history(TransferSide side) {
    return TransferHistoryFile(
        files_, side == TransferSide::Sending ? paths_.sentHistory : paths_.receivedHistory);
}

void FileTransferWork::appendHistory(TransferSide side, HistoryEntry entry) {
    entry.date = host_.historyDate(settings_.longDate);
    const StoreResult result = history(side).append(entry);
    report(result);
    if (result.ok() && view_)
        view_->historyChanged();
}

}  // namespace krl
