#pragma once

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <functional>

#include "transfer/TransferHost.h"
#include "transfer/TransferWindowRecord.h"

class QAction;
class QMenu;
class QToolButton;

namespace krl {

class CFileListCtrl;
class CopyAnimation;
class FileTransferWork;
class Settings;
class TransferPane;
class TransferStatusBar;

// What the transfer window asks of the rest of the program.
struct TransferWindowServices {
    FileTransferWork& work;
    TransferHost& host;
    Settings& settings;
    QString animationFile;  // the copying clip
    std::function<bool()> notConnected;
    std::function<void()> listen;
    std::function<void()> options;
    std::function<void()> openLog;
    std::function<void()> help;
    // The sent or received history dialog.
    std::function<void(TransferSide)> history;
    // Send Clipboard Contents.
    std::function<void()> sendClipboard;
};

// The file transfer window: the send queue with its toolbar, menu, accelerators and context
// menu, the details area with both sides' panes and the copying animation, and the status bar.
// Every decision is the transfer's (FileTransferWork); the window shows it and hands it the
// user's commands. Closing while a file moves asks first (4180).
class CFileTransfer : public QMainWindow, public TransferView {
    Q_OBJECT

public:
    // Puts the window's place, size and columns into its record (in memory).
    void keepState();
    static constexpr int kDetailsHeight = 150;
    enum Command {
        AddToQueue = 32781,
        Delete = 32782,
        View = 32784,
        SentFiles = 32786,
        ReceivedFiles = 32787,
        Options = 32788,
        Close = 32789,
        QueuedFiles = 32790,
        Receive = 32791,
        ClipboardContents = 32794,
        HideDetails = 29130,
        ShowDetails = 29131,
        StopSending = 29124,
        StopReceiving = 29107,
    };

    explicit CFileTransfer(TransferWindowServices services, QWidget* parent = nullptr);
    ~CFileTransfer() override;

    // TransferView
    void progress(TransferSide side, const SideProgress& progress) override;
    void cleared(TransferSide side) override;
    void queueChanged() override;
    void activity(bool active) override;
    void historyChanged() override;

    // Files dropped or added, in their order: the send-queued routine runs.
    void addFiles(const QStringList& files);
    // Files named at the start or handed over by a later copy: queued only.
    void queueFiles(const QStringList& files);
    // Greys Receive! while a call is being made or is up.
    void refreshReceiveCommand();
    void setDetailsShown(bool shown);
    bool detailsShown() const { return detailsShown_; }
    QAction* action(Command command) const { return actions_.value(command); }
    CFileListCtrl* queueList() const { return list_; }
    TransferPane* pane(TransferSide side) const;
    TransferStatusBar* transferStatusBar() const { return statusBar_; }
    bool animationPlaying() const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QAction* addAction(Command command, const QString& text, std::function<void()> run,
                       const QKeySequence& keys = {});
    void buildMenus();
    void buildToolBar();
    void buildBody();
    void updateCommands();
    void addWithDialog();
    void removeSelected();
    void viewSelected();
    void showContextMenu(const QPoint& at);
    void restoreState();
    bool historyListed(TransferSide side);

    TransferWindowServices s_;
    TransferWindowRecord record_;
    QMap<int, QAction*> actions_;
    CFileListCtrl* list_ = nullptr;
    QWidget* details_ = nullptr;
    TransferPane* sendPane_ = nullptr;
    TransferPane* receivePane_ = nullptr;
    CopyAnimation* animation_ = nullptr;
    TransferStatusBar* statusBar_ = nullptr;
    QToolButton* showDetails_ = nullptr;
    QToolButton* hideDetails_ = nullptr;
    QString shownPath_[2];
    bool detailsShown_ = false;
    bool active_ = false;
    bool blink_ = false;
    bool mayClose_ = false;
    bool asking_ = false;
};

}  // namespace krl
