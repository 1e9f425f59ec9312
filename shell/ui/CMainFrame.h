#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "connection/ui/QtDialingWindow.h"
#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/HomeFolders.h"
#include "platform/qt/QtSoundPlayer.h"
#include "shell/CallListener.h"
#include "shell/CommandTable.h"
#include "shell/FrameCommandState.h"
#include "shell/ui/IncomingCallAlert.h"
#include "shell/ui/SendToShortcut.h"
#include "video/VideoWindowPair.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QFrame;

namespace krl {

class CallController;
class CommandRegistry;
class MessagePresenter;
class PictureButton;
class PictureControl;
class Settings;
class StringTable;

// What the main frame is built from; main() makes these and keeps them alive.
struct FrameServices {
    CallController& call;
    Settings& settings;
    MessagePresenter& messages;
    // Filled by main() once the frame exists (the frame adds its own with addCommands).
    const CommandRegistry& commands;
    const StringTable& strings;
    HomeFolders folders;
};

// Where files handed to the program for sending go (a drop, the command line, a later copy of
// the program), and what the frame tells the file transfer.
struct FileQueueHooks {
    // Dropped files: queued, and sent at once (dialling when no call is up).
    std::function<void(const QStringList&)> queue;
    // Files named at the start or handed over by a later copy: queued for the user's call.
    std::function<void(const QStringList&)> queueHanded;
    std::function<QStringList()> queued;
    std::function<void()> offered;  // the peer started sending a file
    std::function<void()> closing;  // the program closes
};

// The program's main window: the picture buttons, the status line, the business-card panel,
// menu 128 and accelerator table 128. The call itself is the call controller's; the frame shows
// what it tells and hands it the commands.
class CMainFrame : public QMainWindow, private CallListener {
    Q_OBJECT

public:
    static constexpr int kStatusLineId = 1277;
    static constexpr int kSeparatorId = 77;
    static constexpr int kCardTextId = 820;
    static constexpr int kCardPictureId = 3211;
    static constexpr int kMsgLogFile = 4140;

    // makeVideoPair builds the video window pair for this frame (it may keep the frame as its
    // owner window).
    CMainFrame(FrameServices services,
               std::function<std::unique_ptr<VideoWindowPair>(QWidget*)> makeVideoPair);
    ~CMainFrame() override;

    // After the start-up picture: show, hand the settings to the connection, open the log and
    // start pumping. wizardWanted: run the setup wizard when the port, modem or camera is unset.
    void finishStartup(bool wizardWanted = true);
    // Files from the command line or from a later copy of the program.
    void takeCommandLine(const QStringList& files);
    // Files dropped onto the frame; only local files are taken.
    void takeDroppedUrls(const QList<QUrl>& urls);

    // Runs a command as the menu, accelerator or button would: when its rule enables it, the
    // registry's handler.
    void runCommand(CommandId command);
    // The frame's own commands: the card panel, the file transfer window, the log, the page.
    void addCommands(CommandRegistry& commands);
    // The connection type of the modem description in the Comms block (read once per file).
    ConnectType connectType();
    VideoWindowPair& videoPair() { return *videoPair_; }
    // The way out has reached "not connected": store the settings and close.
    void closeForGood();
    // The file transfer takes the files; until it is set, they wait here.
    void setFileQueue(FileQueueHooks hooks);
    QStringList queuedFiles() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // CallListener
    void callStateChanged(ConnectionState state) override;
    void callEnded(CallEnd why) override;
    void cardReceived(const BusinessCard& card) override;
    void pageArrived() override;
    void fileOffered() override;

    bool cardPanelShown() const;
    QAction* action(CommandId command) const { return actions_.value(static_cast<int>(command)); }
    PictureButton* button(CommandId command) const {
        return buttons_.value(static_cast<int>(command));
    }

    void buildPanel();
    void layOutPanel();
    void openLog();
    void updateStatusLine();
    void updateButtons();
    void updateCommands();
    CommandContext commandContext();
    void showCard();
    void setCardPanel(bool shown);
    void queueFiles(const QStringList& files);

    CallController& call_;
    Settings& settings_;
    MessagePresenter& messages_;
    const CommandRegistry& commands_;
    const StringTable& strings_;
    HomeFolders folders_;

    std::unique_ptr<VideoWindowPair> videoPair_;
    QtDialingWindow dialing_;
    QtSoundPlayer sound_;
    DesktopNotifier notifier_;
    IncomingCallAlert incoming_{sound_, notifier_};
    SendToShortcut shortcut_;

    bool mayClose_ = false;
    bool started_ = false;
    int lastShown_ = -1;
    // What the buttons and menus were last set from: the pump runs every few milliseconds
    // while connected and the windows change only when this does.
    FrameCommandState commandState_;
    std::optional<ConnectionState> lastButtonState_;
    FileQueueHooks fileQueue_;
    QStringList pendingFiles_;

    QMap<int, PictureButton*> buttons_;
    QMap<int, QAction*> actions_;
    QLabel* status_ = nullptr;
    QFrame* separator_ = nullptr;
    QPlainTextEdit* cardText_ = nullptr;
    PictureControl* cardPicture_ = nullptr;
};

}  // namespace krl
