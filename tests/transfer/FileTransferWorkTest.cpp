#include <gtest/gtest.h>

#include <cerrno>

#include "fakes/FakeFileStore.h"
#include "fakes/FakeTransferSides.h"
#include "fakes/RecordingPresenter.h"
#include "transfer/FileTransferWork.h"

namespace krl {
namespace {

using test::FakeFileStore;
using test::FakeTransferSides;
using test::RecordingPresenter;

// The window and the program around the transfer, recorded.
struct RecordingHost : TransferHost, TransferView {
    int dials = 0, disconnects = 0, cardsSent = 0;
    std::vector<std::string> launched, removed, clipboard, arrived;
    std::vector<SideProgress> sending, receiving;
    int clears[2] = {0, 0};

    void dial() override { ++dials; }
    void disconnect() override { ++disconnects; }
    void sendOwnCard() override { ++cardsSent; }
    void launch(const std::string& path) override { launched.push_back(path); }
    void restoreClipboard(const std::string& path, int) override { clipboard.push_back(path); }
    void fileArrived(const std::string& path, const std::string& party) override {
        arrived.push_back(path + " from " + party);
    }
    void removeFile(const std::string& path) override { removed.push_back(path); }
    std::string typeName(const std::string& path) override { return "type of " + path; }
    std::string historyDate(bool longDate) override { return longDate ? "long date" : "date"; }

    void progress(TransferSide side, const SideProgress& p) override {
        (side == TransferSide::Sending ? sending : receiving).push_back(p);
    }
    void cleared(TransferSide side) override { ++clears[static_cast<int>(side)]; }
    void queueChanged() override {}
    void activity(bool) override {}
};

const TransferFilePaths kPaths{"home/data/KrlQFile.krl", "home/data/KrlSFile.krl",
                               "home/data/KrlRFile.krl"};

TonebaySettings defaults() {
    TonebaySettings t;
    t.recDir = "/home/ann/Downloads/Kestrelcall/";
    return t;
}

struct Transfer {
    FakeFileStore files;
    FakeTransferSides sides;
    RecordingPresenter messages;
    RecordingHost host;
    std::unique_ptr<FileTransferWork> work;

    explicit Transfer(TonebaySettings settings = defaults()) { restart(std::move(settings)); }
    void restart(TonebaySettings settings = defaults()) {
        work.reset();
        work = std::make_unique<FileTransferWork>(
            FileTransferWork::Services{sides, files, messages, host}, kPaths, settings);
        work->setView(&host);
        work->setParty("Zoë; CEO\r\n/etc/passwd;x;y;z");
    }
    void step() { work->step(PumpResult::Ok); }
    std::vector<std::string> queued() const {
        std::vector<std::string> out;
        for (const QueueItem& item : work->queue())
            out.push_back(item.path);
        return out;
    }
    std::vector<HistoryEntry> history(TransferSide side) { return work->history(side).load(); }
};

TEST(FileTransferWork, SendsTheQueueHeadFirstAndRecordsEachWholeFile) {
    Transfer t;
    t.sides.isConnected = false;
    t.work->addFiles({"/tmp/a.txt", "/tmp/b.bin"});
    EXPECT_EQ(t.host.dials, 1);  // not connected: the last file dials, once

    t.sides.isConnected = true;
    t.work->step(PumpResult::CallMade);  // the pump that made the call starts nothing
    EXPECT_TRUE(t.sides.sendCalls.empty());
    t.step();
    ASSERT_EQ(t.sides.sendCalls.size(), 1u);
    EXPECT_EQ(t.sides.sendCalls[0],
              (FakeTransferSides::SendCall{SendControl::Start, 0, "/tmp/a.txt"}));

    t.sides.setSend(SendState::Done, "/tmp/a.txt");
    t.step();
    EXPECT_EQ(t.queued(), std::vector<std::string>{"/tmp/b.bin"});
    // The peer's name can neither shift the fields nor forge a line.
    const auto sent = t.history(TransferSide::Sending);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (HistoryEntry{"/tmp/a.txt", "type of /tmp/a.txt",
                                     "Zoë, CEO  /etc/passwd,x,y,z", "date"}));
    // Acknowledged; the next step starts the next file.
    t.step();
    EXPECT_EQ(t.sides.sendCalls.back(),
              (FakeTransferSides::SendCall{SendControl::Start, 0, "/tmp/b.bin"}));
}

// The last confirmation came with the peer's disconnect: the call is gone by the next step,
// and the file is still recorded as sent whole.
TEST(FileTransferWork, AFileFinishedAsTheCallEndsIsRecordedWhole) {
    Transfer t;
    t.work->add({"/k/last.bin", {}, 0}, false);
    t.step();
    t.sides.setSend(SendState::Done, "/k/last.bin");
    t.sides.isConnected = false;
    t.work->step(PumpResult::PeerDisconnected);
    EXPECT_EQ(t.history(TransferSide::Sending).size(), 1u);
    EXPECT_TRUE(t.work->queue().empty());
}

// Every outcome removes the item from the queue; only a whole ordinary file is recorded, and a
// clipboard package (made for one send) is deleted whatever became of it.
TEST(FileTransferWork, EachSendOutcomeRemovesTheItemAndRecordsOnlyWholeFiles) {
    struct Row {
        SendState outcome;
        int kind;
        bool recorded;
        bool deleted;
    } rows[] = {
        {SendState::Done, kOrdinaryFile, true, false},
        {SendState::Failed, kOrdinaryFile, false, false},
        {SendState::StoppedByReceiver, kOrdinaryFile, false, false},
        {SendState::StoppedByUser, kOrdinaryFile, false, false},
        {SendState::Done, 1, false, true},
        {SendState::Failed, 1, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.outcome) * 10 + row.kind);
        Transfer t;
        const std::string path = row.kind > 0 ? "/k/Temp/Text.clp" : "/k/report.pdf";
        t.work->add({path, {}, row.kind}, false);
        t.work->add({"/k/next.txt", {}, 0}, false);
        t.step();
        ASSERT_EQ(t.sides.sendCalls.back(),
                  (FakeTransferSides::SendCall{SendControl::Start, row.kind, path}));
        t.sides.setSend(row.outcome, path, row.kind);
        t.step();
        EXPECT_EQ(t.queued(), std::vector<std::string>{"/k/next.txt"});
        EXPECT_EQ(t.history(TransferSide::Sending).size(), row.recorded ? 1u : 0u);
        EXPECT_EQ(t.host.removed.size(), row.deleted ? 1u : 0u);
        EXPECT_EQ(t.sides.sendCommands().back(), SendControl::Acknowledge);
    }
}

// A clipboard package and a card picture still queued at close go out after a restart as what
// they were.
TEST(FileTransferWork, AReloadedQueueSendsEachItemAsItsKind) {
    Transfer t;
    t.work->add({"/k/Temp/Text.clp", {}, 1}, false);
    t.work->add({"/k/Business Cards/ann.bmp", {}, kCardPicture}, false);
    t.work->saveQueue();
    t.restart();
    ASSERT_EQ(t.work->queue().size(), 2u);
    t.step();
    EXPECT_EQ(t.sides.sendCalls.back(),
              (FakeTransferSides::SendCall{SendControl::Start, 1, "/k/Temp/Text.clp"}));
    t.sides.setSend(SendState::Done, "/k/Temp/Text.clp", 1);
    t.step();
    EXPECT_TRUE(t.history(TransferSide::Sending).empty());
    // The card picture is never sent as a file: the card exchange is asked to send the card.
    t.step();
    EXPECT_EQ(t.host.cardsSent, 1);
    EXPECT_TRUE(t.work->queue().empty());
    EXPECT_EQ(t.sides.sendCalls.size(), 2u);  // Start and Acknowledge of the package only
}

// The user removes the file being sent from the queue: its outcome is still recorded against
// it, and the file now at the head (never sent) stays queued.
TEST(FileTransferWork, RemovingTheFileBeingSentLosesNoOtherFile) {
    Transfer t;
    t.work->addFiles({"/k/one", "/k/two"});
    t.step();
    EXPECT_EQ(t.work->remove({0}), std::optional<std::size_t>(0));
    t.sides.setSend(SendState::Done, "/k/one");
    t.step();
    EXPECT_EQ(t.queued(), std::vector<std::string>{"/k/two"});
    ASSERT_EQ(t.history(TransferSide::Sending).size(), 1u);
    EXPECT_EQ(t.history(TransferSide::Sending)[0].path, "/k/one");
}

TEST(FileTransferWork, SendsNothingWithoutAutoSendOrWithoutAWindow) {
    TonebaySettings manual = defaults();
    manual.autoSend = false;
    Transfer t(manual);
    t.work->add({"/k/one", {}, 0}, true);
    t.step();
    EXPECT_TRUE(t.sides.sendCalls.empty());
    EXPECT_EQ(t.host.dials, 0);  // connected: the send-queued routine leaves it to the step

    Transfer closed;
    closed.work->add({"/k/one", {}, 0}, false);
    closed.work->setView(nullptr);
    closed.step();
    EXPECT_TRUE(closed.sides.sendCalls.empty());
}

TEST(FileTransferWork, AsksOnceBeforeDiallingForTheFilesAdded) {
    struct Row {
        int files;
        MessageAnswer answer;
        int message;
        std::optional<std::string> count;
        int dials;
    } rows[] = {
        {1, MessageAnswer::Ok, 5110, std::nullopt, 1},
        {3, MessageAnswer::Ok, 5060, "3", 1},
        {3, MessageAnswer::Cancel, 5060, "3", 0},
    };
    for (const Row& row : rows) {
        TonebaySettings confirm = defaults();
        confirm.confirmBeforeConnecting = true;
        Transfer t(confirm);
        t.sides.isConnected = false;
        std::vector<std::string> paths;
        for (int i = 0; i < row.files; ++i)
            paths.push_back("/k/" + std::to_string(i));
        t.work->addFiles(paths);
        ASSERT_EQ(t.messages.shown.size(), 1u);
        EXPECT_EQ(t.messages.shown[0].id, row.message);
        EXPECT_EQ(t.messages.shown[0].text, row.count);
        t.messages.answer(row.answer);
        EXPECT_EQ(t.host.dials, row.dials);
        EXPECT_EQ(t.queued(), paths);  // in the order given
    }
}

// A path that cannot be read back from the queue file is refused, never cut into another path.
TEST(FileTransferWork, RefusesAPathTheQueueFileCannotHold) {
    Transfer t;
    EXPECT_FALSE(t.work->add({"/k/" + std::string(300, 'x'), {}, 0}, true));
    EXPECT_FALSE(t.work->add({"/k/two\nlines", {}, 0}, true));
    EXPECT_EQ(t.messages.ids(), (std::vector<int>{4020, 4020}));
    EXPECT_TRUE(t.work->queue().empty());
    EXPECT_TRUE(t.sides.sendCalls.empty());
}

TEST(FileTransferWork, RecordsAndLaunchesAReceivedFileAsTheLaunchModeSays) {
    struct Row {
        LaunchMode mode;
        std::optional<MessageAnswer> answer;
        bool launched;
    } rows[] = {
        {LaunchMode::Launch, std::nullopt, true},
        {LaunchMode::Ask, MessageAnswer::Ok, true},
        {LaunchMode::Ask, MessageAnswer::Cancel, false},
        {LaunchMode::DoNotLaunch, std::nullopt, false},
    };
    for (const Row& row : rows) {
        TonebaySettings s = defaults();
        s.launchMode = row.mode;
        Transfer t(s);
        EXPECT_EQ(t.sides.armedFolder, s.recDir);  // armed before any call
        const std::string path = s.recDir + "photo.png";
        t.sides.setReceive(ReceiveState::Receiving, path);
        t.sides.receive.size = 1000;
        t.sides.receive.bytesDone = 250;
        t.step();
        ASSERT_EQ(t.host.receiving.size(), 1u);
        EXPECT_EQ(t.host.receiving[0].percent, 25);
        t.sides.setReceive(ReceiveState::Complete, path);
        t.step();
        if (row.answer) {
            ASSERT_EQ(t.messages.ids(), std::vector<int>{5140});
            t.messages.answer(*row.answer);
        }
        EXPECT_EQ(t.host.launched.size(), row.launched ? 1u : 0u);
        EXPECT_EQ(t.history(TransferSide::Receiving),
                  (std::vector<HistoryEntry>{
                      {path, "type of " + path, "Zoë, CEO  /etc/passwd,x,y,z", "date"}}));
        EXPECT_EQ(t.host.arrived,
                  std::vector<std::string>{path + " from Zoë; CEO\r\n/etc/passwd;x;y;z"});
        EXPECT_EQ(t.sides.receive.state, static_cast<int>(ReceiveState::Ready));
        EXPECT_EQ(t.host.clears[1], 1);
    }

    // A clipboard package goes onto the clipboard: no history line, no launch, no notice.
    Transfer t;
    t.sides.setReceive(ReceiveState::Complete, "/r/Text.clp", 1);
    t.step();
    EXPECT_EQ(t.host.clipboard, std::vector<std::string>{"/r/Text.clp"});
    EXPECT_TRUE(t.history(TransferSide::Receiving).empty());
    EXPECT_TRUE(t.host.launched.empty());
    EXPECT_TRUE(t.host.arrived.empty());
}

// A refused write of the history and then the queue (a full disk, a read-only or failing disk,
// no descriptor left): the user is told each time, by cause, the history file is as it was and
// the queue comes back intact.
TEST(FileTransferWork, ARefusedSaveIsToldAndLosesNeitherTheQueueNorTheHistory) {
    struct Case {
        int error;
        int message;
    };
    for (Case c : {Case{ENOSPC, 4080}, Case{EACCES, 4090}, Case{EIO, 4090}, Case{EROFS, 4090},
                   Case{EMFILE, 4110}}) {
        SCOPED_TRACE(c.error);
        Transfer t;
        t.work->addFiles({"/k/one", "/k/two"});
        t.files.files[kPaths.sentHistory] = "/k/old;Text;Bob;date\r\n";
        t.step();
        t.files.replaceError = c.error;
        t.sides.setSend(SendState::Done, "/k/one");
        t.step();
        EXPECT_EQ(t.messages.ids(), (std::vector<int>{c.message, c.message}));  // history, queue
        ASSERT_EQ(t.messages.shown.size(), 2u);
        EXPECT_EQ(t.messages.shown[0].text, std::optional<std::string>(kPaths.sentHistory));
        EXPECT_EQ(t.files.files[kPaths.sentHistory], "/k/old;Text;Bob;date\r\n");
        t.files.replaceError = 0;
        t.restart();
        EXPECT_EQ(t.queued(), (std::vector<std::string>{"/k/one", "/k/two"}));
    }
}

TEST(FileTransferWork, ClosingAsksOnlyWhileAFileMoves) {
    Transfer idle;
    int answer = -1;
    idle.work->queryAbandon([&](int a) { answer = a; });
    EXPECT_EQ(answer, 1);

    for (MessageAnswer reply : {MessageAnswer::Cancel, MessageAnswer::Ok}) {
        Transfer t;
        t.work->add({"/k/one", {}, 0}, false);
        t.step();
        t.sides.setSend(SendState::ReadyForBlock, "/k/one");
        t.work->queryAbandon([&](int a) { answer = a; });
        ASSERT_EQ(t.messages.ids(), std::vector<int>{4180});
        t.messages.answer(reply);
        if (reply == MessageAnswer::Cancel) {
            EXPECT_EQ(answer, 0);
            EXPECT_EQ(t.sides.sendCommands(), std::vector<SendControl>{SendControl::Start});
        } else {
            EXPECT_EQ(answer, 2);
            EXPECT_EQ(t.sides.sendCommands(),
                      (std::vector<SendControl>{SendControl::Start, SendControl::Stop,
                                                SendControl::Acknowledge}));
            // The stopped file stays at the head for the next time.
            EXPECT_EQ(t.queued(), std::vector<std::string>{"/k/one"});
        }
    }
}

TEST(FileTransferWork, ClearQueueAfterDisconnectingEmptiesTheSavedQueue) {
    TonebaySettings s = defaults();
    s.clearQueueAfterDisconnecting = true;
    Transfer t(s);
    t.work->add({"/k/one", {}, 0}, false);
    EXPECT_FALSE(t.files.files[kPaths.queue].empty());  // kept on every change
    t.work->saveQueue();
    EXPECT_TRUE(t.files.files[kPaths.queue].empty());
    EXPECT_TRUE(t.work->queue().empty());
}

TEST(SideProgress, ShowsRateShareOfTheLineAndTimeLeft) {
    struct Row {
        std::uint64_t size, done;
        long rate;
        std::uint32_t line;
        SideProgress want;
    } rows[] = {
        {300000, 0, -1, 115200, {"f", 0, -1, -1, -1}},
        {300000, 150000, 10000, 115200, {"f", 50, 10000, 86, 15}},
        {300000, 299999, 10000, 0, {"f", 99, 10000, -1, 1}},
        {0, 0, 10, 9600, {"f", 0, 10, 1, 1}},  // an empty file reports size 1
        {10, 20, 5, 9600, {"f", 100, 5, 0, 0}},
    };
    for (const Row& row : rows) {
        TransferStatus s;
        s.path = "f";
        s.size = row.size;
        s.bytesDone = row.done;
        EXPECT_EQ(progressOf(s, row.rate, row.line), row.want) << row.size << " " << row.done;
    }
    EXPECT_EQ(figuresText({"f", 50, 3100, 27, 15}), "3100 CPS, 27% of the line, 0:15 left");
    EXPECT_EQ(figuresText({"f", 1, 20, -1, 3725}), "20 CPS, 1:02:05 left");
    EXPECT_EQ(figuresText({"f", 0, -1, -1, -1}), "");
}

}  // namespace
}  // namespace krl
