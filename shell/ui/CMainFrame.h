#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

#include "connection/Connection.h"
#include "connection/ui/QtDialingWindow.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "link/LinkListener.h"
#include "platform/qt/PumpDriver.h"
#include "platform/qt/QtSoundPlayer.h"
#include "shell/CommandTable.h"
#include "shell/FrameLogic.h"
#include "shell/GeneralSettings.h"
#include "shell/HomeFolders.h"
#include "shell/PlacementRecord.h"
#include "shell/PumpGuard.h"
#include "shell/SettingsStore.h"
#include "shell/TonebaySettings.h"
#include "shell/VideoSettings.h"
#include "shell/VideoWindowPair.h"
#include "shell/ui/TransferWindowStub.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QFrame;

namespace krl {

class PictureButton;

// What the main frame is built from; main() makes these and keeps them alive.
struct FrameServices {
    SerialDeviceFactory& devices;
    const TickSource& ticks;
    const StringTable& strings;
    SettingsStore& store;
    HomeFolders folders;
};

// The program's main window: the picture buttons, the status line, the business-card panel,
// menu 128 and accelerator table 128. It owns the Connection and pumps it from the event loop,
// reacts to each pump result, and runs the shell's commands.
class CMainFrame : public QMainWindow, private LinkListener {
    Q_OBJECT

public:
    static constexpr int kStatusLineId = 1277;
    static constexpr int kSeparatorId = 77;
    static constexpr int kCardTextId = 820;
    static constexpr int kCardPictureId = 3211;
    static constexpr int kMsgLogFile = 4140;
    static constexpr int kPickupCommand = 32843;

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

    // Runs a command as the menu, accelerator or button would.
    void runCommand(CommandId command);
    // The frame's pump step (the dialing window's timer calls it too).
    void pumpStep();

    Connection& connection() { return connection_; }
    CommsSettings& comms() { return comms_; }
    GeneralSettings& general() { return general_; }
    DialogMessagePresenter& presenter() { return presenter_; }
    QtDialingWindow& dialingWindow() { return dialing_; }
    QString statusText() const;
    bool cardPanelShown() const { return placement_.cardPanelShown != 0; }
    QAction* action(CommandId command) const { return actions_.value(static_cast<int>(command)); }
    PictureButton* button(CommandId command) const {
        return buttons_.value(static_cast<int>(command));
    }
    TransferWindowStub* transferWindow() const { return transfer_.data(); }
    const std::optional<BusinessCard>& remoteCard() const { return remoteCard_; }
    // Shows a card as if it had arrived from the peer (tests).
    void setRemoteCard(std::optional<BusinessCard> card);
    bool exiting() const { return exiting_; }

    // Forced hang-up: no question, no disconnect command (the dialing window's Hangup).
    void forcedHangUp();
    // Hang-up with confirmation 5180 (exiting) or 5190; false when the user kept the call.
    bool hangUpWithConfirmation(bool exiting);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void endVideo();
    enum class RetryOperation { None, Dial, Listen, Pickup };

    // LinkListener: calls arrive from inside the pump; work is posted for later.
    void pageReceived() override;

    void buildPanel();
    void buildMenus();
    void layOutPanel();
    void loadSettings();
    void storeSettings();
    void openLog();

    void idleStep();
    void framePumpStep(PumpVariant variant);
    void connectedStep();
    void updateStatusLine();
    void updateButtons();
    void updateCommands();
    CommandContext commandContext();
    ConnectType connectType();
    void afterHangUp();
    void showCard();
    void renameShortcut(const std::string& from, const std::string& to);

    void dial(RetryOperation operation);
    void startListening();
    void listenCommand();
    void portAbandoned(MessageAnswer answer);
    bool runModemDialog();
    void holdCommand();
    void exitCommand();
    void setCardPanel(bool shown);
    void openTransferWindow();
    void placeholder(const QString& feature);

    const StringTable& strings_;
    SettingsStore& store_;
    HomeFolders folders_;
    const TickSource& ticks_;
    DialogMessagePresenter presenter_;
    Connection connection_;

    GeneralSettings general_;
    CommsSettings comms_;
    TonebaySettings tonebay_;
    VideoSettings video_;
    PlacementRecord placement_;

    std::unique_ptr<VideoWindowPair> videoPair_;
    QtDialingWindow dialing_;
    QtSoundPlayer sound_;
    PumpDriver driver_;
    PumpGuard guard_;

    std::optional<BusinessCard> remoteCard_;
    std::string shortcutName_ = "Kestrelcall";
    bool cardOnConnectPending_ = false;
    bool exiting_ = false;
    bool mayClose_ = false;
    bool started_ = false;
    bool listenPosted_ = false;
    int lastShown_ = -1;
    // What the buttons and menus were last set from: the pump runs every few milliseconds
    // while connected and the windows change only when this does.
    std::optional<CommandContext> lastContext_;
    std::optional<ConnectionState> lastButtonState_;
    std::string connectTypeFile_;
    ConnectType connectType_ = ConnectType::Modem;
    bool connectTypeRead_ = false;
    std::uint64_t lastPumpMs_ = 0;
    RetryOperation retry_ = RetryOperation::None;
    QPointer<TransferWindowStub> transfer_;

    QMap<int, PictureButton*> buttons_;
    QMap<int, QAction*> actions_;
    QLabel* status_ = nullptr;
    QFrame* separator_ = nullptr;
    QPlainTextEdit* cardText_ = nullptr;
    QLabel* cardPicture_ = nullptr;
};

}  // namespace krl
