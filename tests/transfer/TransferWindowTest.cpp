#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "fakes/FakeFileStore.h"
#include "fakes/FakeTransferSides.h"
#include "fakes/RecordingPresenter.h"
#include "settings/Settings.h"
#include "transfer/FileTransferWork.h"
#include "transfer/ui/CFileExistsDialog.h"
#include "transfer/ui/CFileListCtrl.h"
#include "transfer/ui/CFileTransfer.h"
#include "transfer/ui/QtTransferHost.h"
#include "transfer/ui/TransferHistoryDialog.h"
#include "transfer/ui/TransferPane.h"

namespace krl {
namespace {

struct NoDesktop : TransferHost {
    int dials = 0;
    void dial() override { ++dials; }
    void disconnect() override {}
    void sendOwnCard() override {}
    void launch(const std::string&) override {}
    void restoreClipboard(const std::string&, int) override {}
    void removeFile(const std::string&) override {}
    std::string typeName(const std::string&) override { return "Document"; }
    std::string historyDate(bool) override { return "8 Dec 2026  01:00"; }
};

const TransferFilePaths kPaths{"q", "s", "r"};

struct Window {
    test::FakeFileStore files;
    test::FakeTransferSides sides;
    test::RecordingPresenter messages;
    NoDesktop host;
    Settings settings;
    FileTransferWork work{{sides, files, messages, host}, kPaths, TonebaySettings{}};
    std::unique_ptr<CFileTransfer> window;

    Window() {
        settings.addTransient(TransferWindowRecord{});
        window = std::make_unique<CFileTransfer>(TransferWindowServices{
            work, host, settings, {}, [] { return true; }, {}, {}, {}, {}, {}, {}});
    }
    QStringList listed() const {
        QStringList out;
        for (int r = 0; r < window->queueList()->topLevelItemCount(); ++r)
            out.append(window->queueList()->itemText(r));
        return out;
    }
};

TEST(TransferWindow, ListsTheQueueInOrderAndDeletesTheSelection) {
    Window w;
    w.sides.isConnected = false;
    w.window->addFiles({"/k/c.txt", "/k/a.txt", "/k/b.txt"});
    EXPECT_EQ(w.listed(), (QStringList{"/k/c.txt", "/k/a.txt", "/k/b.txt"}));
    EXPECT_EQ(w.host.dials, 1);
    CFileListCtrl* list = w.window->queueList();
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    w.window->action(CFileTransfer::Delete)->trigger();
    EXPECT_EQ(w.listed(), QStringList{"/k/a.txt"});
    EXPECT_EQ(list->selectedRows(), QList<int>{0});
    EXPECT_EQ(w.files.files["q"], "/k/a.txt;Document;0\r\n");
}

TEST(TransferWindow, PanesFollowTheSidesAndTheStatusBarStandsInForHiddenDetails) {
    Window w;
    w.window->show();
    w.window->setDetailsShown(true);
    w.sides.setSend(SendState::ReadyForBlock, "/k/report.pdf");
    w.sides.send.size = 400;
    w.sides.send.bytesDone = 100;
    w.work.step(PumpResult::Ok);
    TransferPane* pane = w.window->pane(TransferSide::Sending);
    EXPECT_EQ(pane->nameText(), "report.pdf");
    EXPECT_EQ(pane->percentText(), "25%");
    EXPECT_TRUE(pane->isEnabled());
    w.sides.isConnected = false;
    w.work.step(PumpResult::CarrierLost);
    EXPECT_EQ(pane->nameText(), "");
    EXPECT_FALSE(pane->isEnabled());
    w.window->setDetailsShown(false);
    EXPECT_FALSE(w.window->findChild<QWidget*>(QStringLiteral("details"))->isVisible());
}

TEST(TransferWindow, ClosingWhileAFileMovesAsksAndKeepsTheWindowOnCancel) {
    Window w;
    w.window->show();
    w.work.add({"/k/one", {}, 0}, false);
    w.work.step(PumpResult::Ok);
    w.sides.setSend(SendState::ReadyForBlock, "/k/one");
    EXPECT_FALSE(w.window->close());
    ASSERT_EQ(w.messages.ids(), std::vector<int>{4180});
    w.messages.answer(MessageAnswer::Cancel);
    EXPECT_TRUE(w.window->isVisible());
    w.window->close();
    w.messages.answer(MessageAnswer::Ok);
    EXPECT_FALSE(w.window->isVisible());
    EXPECT_EQ(w.files.files["q"], "/k/one;Document;0\r\n");  // the stopped file waits
}

TEST(FileExistsDialog, TakesTheProposedNameOrAFreeOneNeverAnotherFile) {
    QTemporaryDir dir;
    const QString proposed = dir.filePath(QStringLiteral("photo.png"));
    const QString other = dir.filePath(QStringLiteral("other.png"));
    for (const QString& f : {proposed, other}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_TRUE(CFileExistsDialog::acceptable(proposed, proposed));
    EXPECT_TRUE(CFileExistsDialog::acceptable(proposed, dir.filePath(QStringLiteral("new.png"))));
    EXPECT_FALSE(CFileExistsDialog::acceptable(proposed, other));
    EXPECT_FALSE(CFileExistsDialog::acceptable(proposed, QString()));
    ASSERT_TRUE(QFile::link(other, dir.filePath(QStringLiteral("link.png"))));
    EXPECT_FALSE(CFileExistsDialog::acceptable(proposed, dir.filePath(QStringLiteral("link.png"))));
}

// Opening and closing changes nothing; Clear removes only the cleared lines, and a line that
// was added while the dialog was open stays.
TEST(TransferHistoryDialog, ClearRemovesOnlyTheClearedLines) {
    Window w;
    const std::string longDate = "Monday, 8 December 2026 at a length past any fixed width  01:00";
    w.files.files["s"] = "/k/a;T;Ann;" + longDate + "\r\n/k/b;T;Bob;d\r\n/k/c;T;Cy;d\r\n";
    TransferWindowRecord record;
    {
        TransferHistoryDialog d(TransferSide::Sending, w.work, w.host, w.messages, record);
        d.done(QDialog::Accepted);
    }
    EXPECT_EQ(w.files.replacements, 0);
    TransferHistoryDialog d(TransferSide::Sending, w.work, w.host, w.messages, record);
    EXPECT_EQ(d.list()->topLevelItemCount(), 3);
    int helpAsked = 0;
    QObject::connect(&d, &TransferHistoryDialog::helpRequested, [&helpAsked] { ++helpAsked; });
    d.findChild<QPushButton*>(QStringLiteral("id57670"))->click();
    EXPECT_EQ(helpAsked, 1);
    w.files.files["s"] += "/k/d;T;Di;d\r\n";
    d.list()->selectRow(1);
    d.clearSelected();
    EXPECT_EQ(d.list()->selectedRows(), QList<int>{1});
    d.done(QDialog::Accepted);
    EXPECT_EQ(w.files.files["s"], "/k/a;T;Ann;" + longDate + "\r\n/k/c;T;Cy;d\r\n/k/d;T;Di;d\r\n");
    EXPECT_NE(record.sentColumns[0], TransferWindowRecord::kUnset);
}

}  // namespace
// A file that arrived while nobody looks at the transfer is told to the desktop: its name and
// the sender's, as characters, never markup.
TEST(QtTransferHost, TellsTheDesktopOfAFileThatArrivedUnwatched) {
    struct Row {
        bool watched;
        std::string party;
        QString body;  // empty: no notice
    } rows[] = {
        {false, "Jos\xc3\xa9 <b>", QString::fromUtf8("a&amp;b.txt from Jos\xc3\xa9 &lt;b&gt;")},
        {false, "", QStringLiteral("a&amp;b.txt")},
        {true, "Ann", QString()},
    };
    for (const Row& row : rows) {
        std::vector<std::pair<QString, QString>> notices;
        QtTransferHost host(
            {{},
             {},
             {},
             [&](const QString& s, const QString& b) { notices.emplace_back(s, b); },
             [&] { return row.watched; }});
        host.fileArrived("/home/ann/Downloads/Kestrelcall/a&b.txt", row.party);
        if (row.body.isEmpty()) {
            EXPECT_TRUE(notices.empty());
            continue;
        }
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].first, QStringLiteral("File received"));
        EXPECT_EQ(notices[0].second, row.body);
    }
}

}  // namespace krl
