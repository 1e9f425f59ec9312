#include "shell/ui/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>

#include "controls/ui/ShowMessage.h"
#include "link/Cp1252.h"
#include "resources/StringTable.h"
#include "settings/ui/ModemDialog.h"
#include "shell/ui/PictureButton.h"
#include "shell/ui/Placeholder.h"
#include "shell/ui/TransferWindowStub.h"

namespace krl {
namespace {

constexpr int kTitle = 57344;  // "Kestrelcall"
constexpr int kDefaultTimeSliceMs = 200;
constexpr int kExitRepostMs = 10;
const FrameMetrics kMetrics;

struct ButtonSpec {
    CommandId id;
    const char* up;
    const char* down;
    const char* focus;
    const char* disabled;
};

const ButtonSpec kButtons[] = {
    {CommandId::Dial, "173", "175", "176", "177"},
    {CommandId::Disconnect, "283", "280", "281", "282"},
    {CommandId::Video, "180", "178", "179", "181"},
    {CommandId::FileTransfer, "182", "183", "184", "185"},
    {CommandId::Chat, "186", "189", "187", "188"},
    {CommandId::Options, "306", "301", "302", "304"},
    {CommandId::HideCard, "206", "207", "", ""},
    {CommandId::ShowCard, "205", "204", "", ""},
    {CommandId::Hold, "IDB_SMYIMAGEU", "IDB_SMYIMAGED", "IDB_SMYIMAGEF", "IDB_SMYIMAGEX"},
    {CommandId::AddToAddressBook, "231", "233", "232", "234"},
};

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

int panelWidth(const PlacementRecord& p) {
    return p.width - 2 * kMetrics.fixedFrameHeight;
}

int panelHeight(const PlacementRecord& p) {
    return p.height - kMetrics.captionHeight - kMetrics.menuHeight - 2 * kMetrics.fixedFrameHeight;
}

}  // namespace

CMainFrame::CMainFrame(FrameServices services,
                       std::function<std::unique_ptr<VideoWindowPair>(QWidget*)> makeVideoPair)
    : strings_(services.strings),
      store_(services.store),
      folders_(services.folders),
      ticks_(services.ticks),
      presenter_(this, services.strings),
      connection_(services.devices, services.ticks, services.strings, presenter_),
      dialing_(folders_.home() + QStringLiteral("/vi_dial.avi"), kDefaultTimeSliceMs,
               QtDialingWindow::Hooks{[this] { return static_cast<QWidget*>(this); },
                                      [this] { pumpStep(); }, [this] { forcedHangUp(); }}),
      sound_(folders_.home() + QStringLiteral("/vi_ring.wav")),
      driver_(PumpDriver::Hooks{
          [this] { idleStep(); }, [this] { return connection_.readNotifyHandle(); },
          [this] { return connection_.displayState() == DisplayState::Connected; }}) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(qs(strings_.text(kTitle)));
    setWindowIcon(QIcon(QStringLiteral(":/bitmaps/128.svg")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAcceptDrops(true);
    videoPair_ = makeVideoPair(this);

    loadSettings();
    buildPanel();
    buildMenus();
    layOutPanel();

    connection_.protocol().setListener(this);
    connection_.setDialingWindow(&dialing_);
    connection_.setRingSound(&sound_);
    connection_.setPortOpenAbandonedHandler([this](MessageAnswer answer) {
        // Runs inside the pump: the settings dialog opens once the pump has returned.
        QTimer::singleShot(0, this, [this, answer] { portAbandoned(answer); });
    });
    updateStatusLine();
    updateButtons();
    updateCommands();
}

CMainFrame::~CMainFrame() {
    driver_.stop();
    connection_.setDialingWindow(nullptr);
    connection_.protocol().setListener(nullptr);
    if (remoteCard_)
        renameShortcut(shortcutName_, "Kestrelcall");
}

// --- building -----------------------------------------------------------------------------

void CMainFrame::loadSettings() {
    general_ = store_.loadGeneral(folders_.home().toStdString());
    general_.homeDir = folders_.home().toStdString();
    placement_ = store_.loadPlacement();
    comms_ = store_.loadComms(general_.homeDir);
    if (comms_.homeDir.empty())
        comms_.homeDir = general_.homeDir;
    tonebay_ = store_.loadTonebay(general_.homeDir);
    video_ = store_.loadVideo(general_.homeDir);
    if (placement_.left == PlacementRecord::kNoPosition) {
        placement_.left = 0;
        placement_.top = 0;
        placement_.width = PlacementRecord::kUnplacedWidth;
        placement_.height = PlacementRecord::kUnplacedHeight;
    }
    dialing_.setTimeSlice(static_cast<int>(comms_.timeSlice));
}

void CMainFrame::storeSettings() {
    if (!isMinimized()) {
        placement_.left = frameGeometry().x();
        placement_.top = frameGeometry().y();
        placement_.restored = 1;
    } else {
        placement_.restored = 0;
    }
    store_.storePlacement(placement_);
    store_.storeGeneral(general_);
    store_.storeComms(comms_);
    store_.storeTonebay(tonebay_);
    store_.storeVideo(video_);
}

void CMainFrame::buildPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("panel"));
    setCentralWidget(panel);
    for (const ButtonSpec& b : kButtons) {
        auto* button =
            new PictureButton(static_cast<int>(b.id), b.up, b.down, b.focus, b.disabled, panel);
        const std::string text = strings_.text(static_cast<int>(b.id));
        button->setToolTip(qs(CommandTable::toolTip(text)));
        const CommandId id = b.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { runCommand(id); });
        buttons_.insert(static_cast<int>(b.id), button);
    }
    status_ = new QLabel(panel);
    status_->setObjectName(QStringLiteral("id%1").arg(kStatusLineId));
    status_->setAlignment(Qt::AlignCenter);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    separator_ = new QFrame(panel);
    separator_->setObjectName(QStringLiteral("id%1").arg(kSeparatorId));
    separator_->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    cardText_ = new QPlainTextEdit(panel);
    cardText_->setObjectName(QStringLiteral("id%1").arg(kCardTextId));
    cardText_->setReadOnly(true);
    QFont font(qs(strings_.text(50)));
    font.setPixelSize(11);
    cardText_->setFont(font);
    cardPicture_ = new QLabel(panel);
    cardPicture_->setObjectName(QStringLiteral("id%1").arg(kCardPictureId));
    cardPicture_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    cardPicture_->setAlignment(Qt::AlignCenter);
    showCard();
}

void CMainFrame::buildMenus() {
    for (const MenuDefinition& m : CommandTable::menus()) {
        QMenu* menu = menuBar()->addMenu(qs(m.title));
        for (const MenuEntry& e : m.entries) {
            if (!e.command) {
                menu->addSeparator();
                continue;
            }
            const QString text = qs(e.text).section(QLatin1Char('\t'), 0, 0);
            QAction* a = menu->addAction(text);
            const CommandId id = *e.command;
            a->setObjectName(QStringLiteral("cmd%1").arg(static_cast<int>(id)));
            const std::string table = strings_.text(static_cast<int>(id));
            a->setStatusTip(qs(CommandTable::prompt(table)));
            a->setToolTip(qs(CommandTable::toolTip(table)));
            connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
            actions_.insert(static_cast<int>(id), a);
        }
    }
    // Accelerator table 128: keys of menu commands go on their entries; the others get
    // actions of their own on the frame.
    for (const Accelerator& acc : CommandTable::accelerators()) {
        QAction* a = actions_.value(static_cast<int>(acc.command));
        if (!a) {
            a = new QAction(this);
            a->setObjectName(QStringLiteral("cmd%1").arg(static_cast<int>(acc.command)));
            const CommandId id = acc.command;
            connect(a, &QAction::triggered, this, [this, id] { runCommand(id); });
            addAction(a);
            actions_.insert(static_cast<int>(acc.command), a);
        }
        a->setShortcut(QKeySequence(qs(acc.keys)));
        a->setShortcutContext(Qt::WindowShortcut);
    }
}

void CMainFrame::layOutPanel() {
    const int L = placement_.leftMargin;
    const int T = placement_.topMargin;
    const int R = placement_.secondRow;
    const int W = panelWidth(placement_);
    const QSize big(60 - L, 61 - T);
    button(CommandId::Dial)->setGeometry(QRect(QPoint(L, T), big));
    button(CommandId::Disconnect)->setGeometry(QRect(QPoint(L, T), big));
    int right = L + big.width();
    for (CommandId id :
         {CommandId::Video, CommandId::FileTransfer, CommandId::Chat, CommandId::Options}) {
        const int left = right + L + 2;
        button(id)->setGeometry(QRect(QPoint(left, T), big));
        right = left + big.width();
    }
    button(CommandId::Hold)->setGeometry(L, R + 4, 22, 22);
    button(CommandId::ShowCard)->setGeometry(right - 22, R + 4, 22, 22);
    button(CommandId::HideCard)->setGeometry(right - 22, R + 4, 22, 22);
    status_->setGeometry(QRect(QPoint(L + 22 + 5, R), QPoint(right - 22 - 5 - 1, R + 26 - 1)));
    separator_->setGeometry(0, R + 26 + 5, W, 4);
    const int textTop = T + 105;
    cardText_->setGeometry(L + 3, textTop, W - 23 - (L + 3), 137);
    const int pictureTop = textTop + 137;
    cardPicture_->setGeometry((W - 2 * L - 160) / 2, pictureTop, 160 + 4, 120 + 4);
    button(CommandId::AddToAddressBook)->setGeometry(W - 22 - 22, pictureTop + 124 - 22, 22, 22);

    const bool shown = cardPanelShown();
    button(CommandId::ShowCard)->setVisible(!shown);
    button(CommandId::HideCard)->setVisible(shown);
    for (QWidget* w : {static_cast<QWidget*>(cardText_), static_cast<QWidget*>(cardPicture_),
                       static_cast<QWidget*>(button(CommandId::AddToAddressBook))})
        w->setVisible(shown);
    const int menuHeight = menuBar()->sizeHint().height();
    setFixedSize(W, menuHeight + panelHeight(placement_));
}

// --- start-up and the pump ----------------------------------------------------------------

void CMainFrame::finishStartup(bool wizardWanted) {
    move(placement_.left, placement_.top);
    if (placement_.restored == 0)
        showMinimized();
    else
        show();
    if (wizardWanted &&
        (comms_.portName.empty() || comms_.modemName.empty() || video_.driver.empty()))
        runCommand(CommandId::SetupWizard);
    connection_.applySettings(comms_);
    connection_.protocol().setCommandTimeoutMs(comms_.commandTimeOut);
    connection_.protocol().setCardPictureFolder(folders_.businessCardsDir().toStdString() + "/");
    openLog();
    setRemoteCard(std::nullopt);
    videoPair_->setup(connection_, video_, general_.homeDir);
    if (video_.showVideoWhenRun)
        videoPair_->startAtLaunch();
    started_ = true;
    lastPumpMs_ = ticks_.nowMs();
    driver_.start();
    updateButtons();
}

void CMainFrame::openLog() {
    const QString path = folders_.logFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);  // created anew at every start
    if (!connection_.openLog(QFile::encodeName(path).toStdString()))
        presenter_.show(Message{kMsgLogFile, MessageKind::Error, std::nullopt, std::nullopt}, {});
}

void CMainFrame::idleStep() {
    if (!started_)
        return;
    // A step already running further up (a dialog it opened runs the event loop) is left
    // alone; its own timers come back here.
    PumpGuard::Scope scope(guard_);
    if (!scope.entered())
        return;
    videoPair_->idle();
    const std::uint64_t now = ticks_.nowMs();
    if (FrameLogic::pumpDue(connection_.displayState(), now, lastPumpMs_)) {
        // Under an open menu or a modal window only the light variant runs.
        const bool busy = QApplication::activeModalWidget() || QApplication::activePopupWidget();
        framePumpStep(busy ? PumpVariant::Light : PumpVariant::Full);
        lastPumpMs_ = connection_.displayState() == DisplayState::Connected ? 0 : now;
    }
    videoPair_->idle();
}

void CMainFrame::pumpStep() {
    PumpGuard::Scope scope(guard_);
    if (!scope.entered() || !started_)
        return;
    framePumpStep(PumpVariant::Light);
    driver_.refresh();
}

void CMainFrame::framePumpStep(PumpVariant variant) {
    const PumpResult result = connection_.pump();
    const PumpReaction r = FrameLogic::reactTo(result, variant);
    if (r.forcedHangUp)
        forcedHangUp();
    if (r.message)
        presenter_.show(
            Message{*r.message, MessageKind::Acknowledgment, std::nullopt, std::nullopt}, {});
    if (r.callMade)
        cardOnConnectPending_ = general_.sendCardOnConnect();
    // The file transfer window's step belongs to that window; until it exists an offer from
    // the peer opens the window that says so.
    if (r.openTransferWindowIfPeerSends && !transfer_) {
        const TransferStatus status = connection_.protocol().receiver().status();
        if (status.state == 2 && status.kind >= 0)
            openTransferWindow();
    }
    if (r.connectedStep)
        connectedStep();
    if (r.updateStatusAndButtons) {
        updateStatusLine();
        updateButtons();
    }
    if (r.inactivityCheck && connection_.checkIdle())
        afterHangUp();
    if (result != PumpResult::Ok || r.forcedHangUp)
        driver_.refresh();
}

void CMainFrame::connectedStep() {
    if (connection_.state() != ConnectionState::Connected)
        return;
    LinkProtocol& protocol = connection_.protocol();
    if (cardOnConnectPending_) {
        // The own card record's fields are the address book's to read; until it exists the
        // card goes out with the user's name only when one is set.
        cardOnConnectPending_ = false;
        general_.cardFlags |= 0x2;
    }
    if (protocol.cardReceived()) {
        BusinessCard card;
        card.picture = folders_.businessCardsDir().toStdString() + "/";
        protocol.readReceivedCard(card);
        setRemoteCard(card);
        general_.cardFlags |= 0x4;
        if (!card.name.empty()) {
            if (auto plain = FrameLogic::plainName(card.name)) {
                renameShortcut(shortcutName_, *plain);
            }
        }
    }
}

void CMainFrame::updateStatusLine() {
    const int shown = static_cast<int>(connection_.displayState());
    if (shown == lastShown_)
        return;
    lastShown_ = shown;
    status_->setText(qs(strings_.text(displayTextId(connection_.displayState()))));
}

QString CMainFrame::statusText() const {
    return status_->text();
}

void CMainFrame::updateButtons() {
    if (lastButtonState_ != connection_.state()) {
        lastButtonState_ = connection_.state();
        const ButtonStates b = FrameLogic::buttons(connection_.state());
        button(CommandId::Dial)->setVisible(b.dialShown);
        button(CommandId::Dial)->setEnabled(b.dialShown);
        button(CommandId::Disconnect)->setVisible(!b.dialShown);
        button(CommandId::Disconnect)->setEnabled(!b.dialShown);
        button(CommandId::Hold)->setEnabled(b.holdEnabled);
        button(CommandId::AddToAddressBook)->setEnabled(b.addToAddressBookEnabled);
    }
    updateCommands();
    if (started_ && !listenPosted_ &&
        FrameLogic::restartListening(comms_.alwaysListen, connection_.state(), exiting_)) {
        // Posted, as the command would be; once only until it has run.
        listenPosted_ = true;
        QTimer::singleShot(0, this, [this] {
            listenPosted_ = false;
            if (FrameLogic::restartListening(comms_.alwaysListen, connection_.state(), exiting_))
                startListening();
        });
    }
}

ConnectType CMainFrame::connectType() {
    if (!connectTypeRead_ || connectTypeFile_ != comms_.modemFile) {
        connectTypeFile_ = comms_.modemFile;
        connectType_ = readConnectType(comms_.modemFile);
        connectTypeRead_ = true;
    }
    return connectType_;
}

CommandContext CMainFrame::commandContext() {
    CommandContext c;
    c.state = connection_.state();
    c.connectType = connectType();
    c.remoteName = remoteCard_ ? remoteCard_->name : std::string();
    c.cardPanelShown = cardPanelShown();
    return c;
}

void CMainFrame::updateCommands() {
    const CommandContext c = commandContext();
    if (lastContext_ && lastContext_->state == c.state &&
        lastContext_->connectType == c.connectType && lastContext_->remoteName == c.remoteName &&
        lastContext_->cardPanelShown == c.cardPanelShown)
        return;
    lastContext_ = c;
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        const CommandUi ui = CommandTable::ui(static_cast<CommandId>(it.key()), c);
        it.value()->setEnabled(ui.enabled);
        if (ui.text)
            it.value()->setText(qs(*ui.text).section(QLatin1Char('\t'), 0, 0));
        else if (it.key() == static_cast<int>(CommandId::Page))
            it.value()->setText(QStringLiteral("P&age"));
    }
}

// --- hanging up ---------------------------------------------------------------------------

bool CMainFrame::hangUpWithConfirmation(bool exiting) {
    if (const auto question = FrameLogic::hangUpQuestion(connection_.displayState(), exiting)) {
        const MessageAnswer answer = showMessage(
            this, Message{*question, MessageKind::Confirmation, std::nullopt, std::nullopt},
            strings_);
        if (answer != MessageAnswer::Yes)
            return false;
        // The call may have ended while the question was open (the pump runs under it).
        if (connection_.displayState() == DisplayState::Connected) {
            endVideo();
            connection_.protocol().sendDisconnect();
        }
    }
    connection_.hangUp();
    afterHangUp();
    return true;
}

void CMainFrame::forcedHangUp() {
    if (connection_.displayState() == DisplayState::Connected)
        endVideo();
    connection_.hangUp();
    afterHangUp();
}

// Before a call ends: both video windows close, the hold marks go, and one video step lets the
// outgoing side tell the peer.
void CMainFrame::endVideo() {
    videoPair_->closeVideo();
    videoPair_->setHoldMark(0, false);
    videoPair_->setHoldMark(1, false);
    videoPair_->idle();
}

void CMainFrame::afterHangUp() {
    driver_.refresh();
    if (remoteCard_) {
        renameShortcut(shortcutName_, "Kestrelcall");
        setRemoteCard(std::nullopt);
    }
    general_.cardFlags = FrameLogic::cardFlagsAfterHangUp(general_.cardFlags);
    updateStatusLine();
    updateButtons();
}

void CMainFrame::setRemoteCard(std::optional<BusinessCard> card) {
    remoteCard_ = std::move(card);
    showCard();
    updateCommands();
}

void CMainFrame::showCard() {
    cardText_->setPlainText(qs(FrameLogic::cardText(remoteCard_))
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QPixmap picture;
    if (remoteCard_ && (general_.cardFlags & 0x4) && !remoteCard_->picture.empty())
        picture.load(qs(remoteCard_->picture));
    if (picture.isNull())
        picture = QPixmap(QStringLiteral(":/bitmaps/203.svg"));
    cardPicture_->setPixmap(
        picture.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// The shortcut that sends files to the peer carries the peer's name while a call is up. It
// lives only in the program's own folder: "<home>/SendTo/<name>.desktop"; the program never
// creates it, only moves it between names, and every name is one plain component.
void CMainFrame::renameShortcut(const std::string& from, const std::string& to) {
    const auto plainFrom = FrameLogic::plainName(from);
    const auto plainTo = FrameLogic::plainName(to);
    if (!plainFrom || !plainTo || *plainFrom == *plainTo)
        return;
    const QDir dir(folders_.home() + QStringLiteral("/SendTo"));
    const QString oldPath = dir.filePath(qs(*plainFrom) + QStringLiteral(".desktop"));
    const QString newPath = dir.filePath(qs(*plainTo) + QStringLiteral(".desktop"));
    if (QFileInfo::exists(oldPath) && !QFileInfo::exists(newPath) &&
        QFile::rename(oldPath, newPath)) {
        shortcutName_ = *plainTo;
    }
}

// --- commands -----------------------------------------------------------------------------

void CMainFrame::runCommand(CommandId command) {
    const CommandContext c = commandContext();
    if (!CommandTable::ui(command, c).enabled)
        return;
    switch (command) {
        case CommandId::Dial:
            if (c.connectType == ConnectType::SerialCable)
                dial(RetryOperation::Dial);
            else
                placeholder(QStringLiteral("The Connect dialog"));
            break;
        case CommandId::Pickup:
            if (connection_.displayState() != DisplayState::Connected)
                dial(RetryOperation::Pickup);
            break;
        case CommandId::Disconnect:
            setFocus();
            hangUpWithConfirmation(false);
            break;
        case CommandId::Hold:
            holdCommand();
            break;
        case CommandId::Page:
            if (connection_.state() == ConnectionState::Connected)
                connection_.protocol().sendPage();
            break;
        case CommandId::Listen:
            listenCommand();
            break;
        case CommandId::Exit:
            exitCommand();
            break;
        case CommandId::Video:
            setFocus();
            videoPair_->setup(connection_, video_, general_.homeDir);
            videoPair_->start();
            break;
        case CommandId::FileTransfer:
            openTransferWindow();
            break;
        case CommandId::ShowCard:
            setCardPanel(true);
            break;
        case CommandId::HideCard:
            setCardPanel(false);
            break;
        case CommandId::PageArrived:
            if (general_.allowPaging)
                sound_.playFile(folders_.pageSound());
            break;
        case CommandId::OpenLog:
            QDesktopServices::openUrl(QUrl::fromLocalFile(folders_.logFile()));
            break;
        case CommandId::Options:
        case CommandId::OptionsTransfer:
        case CommandId::OptionsCamera:
        case CommandId::OptionsRemote:
            placeholder(QStringLiteral("The settings sheet"));
            break;
        case CommandId::OwnCard:
        case CommandId::SendOwnCard:
            placeholder(QStringLiteral("Your business card"));
            break;
        case CommandId::Chat:
            placeholder(QStringLiteral("Chat"));
            break;
        case CommandId::AddressBook:
        case CommandId::AddToAddressBook:
            placeholder(QStringLiteral("The address book"));
            break;
        case CommandId::About:
            placeholder(QStringLiteral("About Kestrelcall"));
            break;
        case CommandId::Statistics: {
            // A cable reports no connect speed: its port rate is the line's.
            std::uint32_t speed =
                comms_.lastConnectSpeed != 0 ? comms_.lastConnectSpeed : comms_.baudRate;
            videoPair_->showStatistics(speed, remoteCard_ ? cp1252ToUtf8(remoteCard_->name) : "",
                                       remoteCard_ ? cp1252ToUtf8(remoteCard_->phone) : "");
            break;
        }
        case CommandId::SetupWizard:
            placeholder(QStringLiteral("The setup wizard"));
            break;
        case CommandId::HelpTopics:
            placeholder(QStringLiteral("Help"));
            break;
        case CommandId::ReconnectCameraMode0:
        case CommandId::ReconnectCameraMode1:
        case CommandId::PlayVideoFile:
        case CommandId::Snapshot:
        case CommandId::CameraSource:
        case CommandId::CameraFormat:
            videoPair_->videoCommand(static_cast<int>(command));
            break;
    }
    updateCommands();
}

void CMainFrame::placeholder(const QString& feature) {
    Placeholder::open(feature, this);
}

void CMainFrame::dial(RetryOperation operation) {
    retry_ = operation;
    connection_.dial({}, {});
    driver_.refresh();
    updateStatusLine();
    updateButtons();
}

void CMainFrame::startListening() {
    retry_ = RetryOperation::Listen;
    connection_.listen();
    driver_.refresh();
    updateStatusLine();
    updateButtons();
}

void CMainFrame::listenCommand() {
    const ConnectionState s = connection_.state();
    if (s == ConnectionState::OpeningPort || s == ConnectionState::Initialising ||
        s == ConnectionState::Listening) {
        comms_.alwaysListen = false;
        connection_.hangUp();
        afterHangUp();
        return;
    }
    comms_.alwaysListen = true;
    startListening();
}

// The port could not be opened and the user gave up (Cancel) or asked for the settings (OK):
// with OK the Modem dialog runs and the same operation is tried again, whatever the dialog's
// result. A listen that was given up switches always-listen off, so that the restart after
// each call cannot ask the same question for ever.
void CMainFrame::portAbandoned(MessageAnswer answer) {
    const RetryOperation operation = retry_;
    if (answer != MessageAnswer::Ok || exiting_) {
        if (operation == RetryOperation::Listen)
            comms_.alwaysListen = false;
        retry_ = RetryOperation::None;
        updateButtons();
        return;
    }
    runModemDialog();
    switch (operation) {
        case RetryOperation::Dial:
        case RetryOperation::Pickup:
            dial(operation);
            break;
        case RetryOperation::Listen:
            startListening();
            break;
        case RetryOperation::None:
            break;
    }
}

bool CMainFrame::runModemDialog() {
    ModemDialog dialog(comms_, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    comms_ = dialog.settings();
    store_.storeComms(comms_);
    CommsSettings reloaded = store_.loadComms(general_.homeDir);
    reloaded.alwaysListen = comms_.alwaysListen;
    comms_ = reloaded;
    connection_.applySettings(comms_);
    return true;
}

void CMainFrame::holdCommand() {
    LinkProtocol& protocol = connection_.protocol();
    const bool on = !protocol.localHold();
    videoPair_->setHoldMark(0, on);
    protocol.setHold(HoldSide::Local, on);
    button(CommandId::Hold)->setChecked(false);
    if (button(CommandId::Hold)->hasFocus())
        setFocus();
}

void CMainFrame::exitCommand() {
    exiting_ = true;
    switch (FrameLogic::exitStep(connection_.displayState())) {
        case ExitStep::Destroy:
            mayClose_ = true;
            close();
            return;
        case ExitStep::PumpOnce:
            pumpStep();
            break;
        case ExitStep::HangUpFirst:
            if (!hangUpWithConfirmation(true)) {
                exiting_ = false;
                updateButtons();
                return;
            }
            break;
    }
    updateStatusLine();
    QTimer::singleShot(kExitRepostMs, this, [this] { exitCommand(); });
}

void CMainFrame::setCardPanel(bool shown) {
    if (shown == cardPanelShown())
        return;
    placement_.cardPanelShown = shown ? 1 : 0;
    placement_.height +=
        shown ? PlacementRecord::kCardPanelHeight : -PlacementRecord::kCardPanelHeight;
    layOutPanel();
    updateCommands();
}

void CMainFrame::openTransferWindow() {
    if (!transfer_) {
        transfer_ = new TransferWindowStub(this);
        transfer_->setAttribute(Qt::WA_DeleteOnClose);
    }
    transfer_->show();
    transfer_->raise();
}

void CMainFrame::takeCommandLine(const QStringList& files) {
    raise();
    activateWindow();
    if (files.isEmpty())
        return;
    openTransferWindow();
    transfer_->queueFiles(files);
}

void CMainFrame::pageReceived() {
    QTimer::singleShot(0, this, [this] { runCommand(CommandId::PageArrived); });
}

// --- window events ------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (mayClose_) {
        driver_.stop();
        if (transfer_)
            transfer_->close();
        videoPair_->closeWindows();
        storeSettings();
        event->accept();
        QApplication::quit();
        return;
    }
    // As Exit: the frame goes once the connection has reached "not connected".
    event->ignore();
    if (!exiting_)
        QTimer::singleShot(0, this, [this] { runCommand(CommandId::Exit); });
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    takeDroppedUrls(event->mimeData()->urls());
}

void CMainFrame::takeDroppedUrls(const QList<QUrl>& urls) {
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    if (files.isEmpty())
        return;
    openTransferWindow();
    transfer_->queueFiles(files);
}

}  // namespace krl
