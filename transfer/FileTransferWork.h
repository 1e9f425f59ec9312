#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/LivenessToken.h"
#include "connection/ConnectionState.h"
#include "transfer/QueueItem.h"
#include "transfer/SendQueueFile.h"
#include "transfer/TonebaySettings.h"
#include "transfer/TransferHistoryFile.h"
#include "transfer/TransferHost.h"

namespace krl {

class FileStore;
class MessagePresenter;

// The queue and history files of the transfer.
struct TransferFilePaths {
    std::string queue;
    std::string sentHistory;
    std::string receivedHistory;
};

// The file transfer as the transfer window runs it: the send queue, the step after each pump
// that starts the head of the queue and follows both sides to their outcome, the histories,
// launching received files, and the questions on adding and closing. It lives for the whole
// run; the window is only its view. Without a window the receiving side still runs (files are
// received, recorded and launched), while the queue waits until a window is there to send it.
//
// The queue is written to its file after every change, so it survives a crash; the item being
// sent is remembered, so its outcome is recorded against it even when the user removed it from
// the queue meanwhile.
class FileTransferWork {
public:
    static constexpr int kMsgCannotQueue = 4020;  // "The file (%s) cannot be opened..."
    static constexpr int kMsgStopTransfer = 4180;
    static constexpr int kMsgManyQueued = 5060;
    static constexpr int kMsgOneQueued = 5110;
    static constexpr int kMsgOpenReceived = 5140;

    struct Services {
        TransferSides& sides;
        FileStore& files;
        MessagePresenter& messages;
        TransferHost& host;
    };

    FileTransferWork(Services services, TransferFilePaths paths, TonebaySettings settings);
    ~FileTransferWork();
    FileTransferWork(const FileTransferWork&) = delete;
    FileTransferWork& operator=(const FileTransferWork&) = delete;

    // New options and receive folder; the receiver is armed with the folder at once.
    void setSettings(const TonebaySettings& settings);
    const TonebaySettings& settings() const { return settings_; }
    // The peer's name (UTF-8), for the history lines.
    void setParty(std::string name) { party_ = std::move(name); }
    // The line's speed in bits per second, for the share of it a file uses.
    void setLineRate(std::uint32_t bitsPerSecond) { lineBitsPerSecond_ = bitsPerSecond; }
    // The window, or null when it closed.
    void setView(TransferView* view);

    const std::vector<QueueItem>& queue() const { return queue_; }
    // Adds one item at the end of the queue (type text from the desktop when empty). A path
    // that could not be stored in the queue file is refused with a message. sendNow: with the
    // send-on-adding option, the send-queued routine runs.
    bool add(QueueItem item, bool sendNow);
    // Files in the given order; only the last one runs the send-queued routine.
    void addFiles(const std::vector<std::string>& paths);
    // Removes the rows; returns the row to select afterwards (the one now at the place of the
    // last removed), if any is left.
    std::optional<std::size_t> remove(std::vector<std::size_t> rows);
    // Appended, nothing is started: a history's Forward, and files named at the start or handed
    // over by a later copy, which wait for the user's call.
    void queueFiles(const std::vector<std::string>& paths);

    // Connected: the step sends the queue. Otherwise, with files queued, dial (after asking
    // when the confirm-before-connecting option is on).
    void sendQueued();
    // After every pump.
    void step(PumpResult result);
    // The stop buttons of the panes.
    void stop(TransferSide side);
    // Closing while connected: 0 the user kept the running transfer; 1 nothing was running (or
    // a side whose peer had gone was reset); 2 the running transfer was stopped.
    void queryAbandon(std::function<void(int)> done);
    // Stops both sides without a question.
    void abandon();
    // The window closes or the program ends: the queue is saved, or emptied when the
    // clear-queue-after-disconnecting option is on.
    void saveQueue();

    TransferHistoryFile history(TransferSide side);
    const TransferFilePaths& paths() const { return paths_; }

private:
    void sendingStep();
    void receivingStep();
    void startHead();
    void finishSend(const TransferStatus& status, bool whole);
    void finishReceive(const TransferStatus& status);
    void arm();
    void clearSide(TransferSide side);
    void showProgress(TransferSide side, const TransferStatus& status);
    void queueChanged();
    void store();
    void report(const StoreResult& result);
    void appendHistory(TransferSide side, HistoryEntry entry);

    TransferSides& sides_;
    FileStore& files_;
    MessagePresenter& messages_;
    TransferHost& host_;
    TransferFilePaths paths_;
    SendQueueFile queueFile_;
    TonebaySettings settings_;
    TransferView* view_ = nullptr;
    std::string party_;
    std::uint32_t lineBitsPerSecond_ = 0;

    std::vector<QueueItem> queue_;
    std::optional<QueueItem> inFlight_;  // the item the sender was given
    long sendRate_ = -1;
    long receiveRate_ = -1;
    bool sendShown_ = false;
    bool receiveShown_ = false;
    bool activity_ = false;
    bool questionOpen_ = false;  // 5060/5110 or 4180 is up
    LivenessToken liveness_;
};

}  // namespace krl
