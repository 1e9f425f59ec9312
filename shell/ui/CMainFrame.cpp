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
#include <utility>

#include "base/Cp1252.h"
#include "controls/ui/PictureControl.h"
#include "resources/StringTable.h"
#include "settings/GeneralSettings.h"
#include "settings/Settings.h"
#include "shell/CallController.h"
#include "shell/CommandRegistry.h"
#include "shell/PanelLayout.h"
#include "shell/PlacementRecord.h"
#include "shell/ui/FrameMenus.h"
#include "shell/ui/PictureButton.h"
#include "video/VideoSettings.h"

namespace krl {
namespace {

constexpr int kTitle = 57344;  // "Kestrelcall"
constexpr int kDefaultTimeSliceMs = 200;
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

QRect qrect(const PanelRect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

}  // namespace

CMainFrame::CMainFrame(FrameServices services,
                       std::function<std::unique_ptr<VideoWindowPair>(QWidget*)> makeVideoPair)
    : call_(services.call),
      settings_(services.settings),
      messages_(services.messages),
      commands_(services.commands),
      strings_(services.strings),
      folders_(services.folders),
      dialing_(
          strings_, folders_.home() + QStringLiteral("/vi_dial.avi"), kDefaultTimeSliceMs,
          QtDialingWindow::Hooks{[this] { return static_cast<QWidget*>(this); },
                                 [this] { call_.pumpStep(); }, [this] { call_.forcedHangUp(); }}),
      sound_(folders_.home() + QStringLiteral("/vi_ring.wav")),
      shortcut_(folders_.home()) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(qs(strings_.text(kTitle)));
    setWindowIcon(QIcon(QStringLiteral(":/bitmaps/128.svg")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAcceptDrops(true);
    videoPair_ = makeVideoPair(this);
    call_.setVideoPair(videoPair_.get());

    settings_.update<PlacementRecord>([](PlacementRecord& p) { p.placeIfUnplaced(); });
    dialing_.setTimeSlice(static_cast<int>(settings_.get<CommsSettings>().timeSlice));
    buildPanel();
    actions_ = buildFrameMenus(*this, strings_, [this](CommandId id) { runCommand(id); });
    layOutPanel();

    Connection& connection = call_.connection();
    connection.setDialingWindow(&dialing_);
    connection.setIncomingCall(&incoming_);
    call_.addListener(this);
    call_.addListener(&shortcut_);
    updateStatusLine();
    updateButtons();
}

CMainFrame::~CMainFrame() {
    call_.removeListener(&shortcut_);
    call_.removeListener(this);
    call_.connection().setDialingWindow(nullptr);
    call_.connection().setIncomingCall(nullptr);
    call_.setVideoPair(nullptr);
}

// --- building -----------------------------------------------------------------------------

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
    cardPicture_ = new PictureControl(panel);
    cardPicture_->setObjectName(QStringLiteral("id%1").arg(kCardPictureId));
    cardPicture_->setDefaultPicture(QPixmap(QStringLiteral(":/bitmaps/203.svg")));
    showCard();
}

void CMainFrame::layOutPanel() {
    const PanelLayout layout = PanelLayout::of(settings_.get<PlacementRecord>(), kMetrics);
    for (const PanelLayout::Button& b : layout.buttons)
        button(b.id)->setGeometry(qrect(b.rect));
    status_->setGeometry(qrect(layout.status));
    separator_->setGeometry(qrect(layout.separator));
    cardText_->setGeometry(qrect(layout.cardText));
    cardPicture_->setGeometry(qrect(layout.cardPicture));

    const bool shown = layout.cardShown;
    button(CommandId::ShowCard)->setVisible(!shown);
    button(CommandId::HideCard)->setVisible(shown);
    for (QWidget* w : {static_cast<QWidget*>(cardText_), static_cast<QWidget*>(cardPicture_),
                       static_cast<QWidget*>(button(CommandId::AddToAddressBook))})
        w->setVisible(shown);
    setFixedSize(layout.width, menuBar()->sizeHint().height() + layout.height);
}

// --- start-up -----------------------------------------------------------------------------

void CMainFrame::finishStartup(bool wizardWanted) {
    const PlacementRecord& placement = settings_.get<PlacementRecord>();
    move(placement.left, placement.top);
    if (placement.restored == 0)
        showMinimized();
    else
        show();
    if (wizardWanted &&
        FrameLogic::setupIncomplete(settings_.get<CommsSettings>(), settings_.get<VideoSettings>()))
        commands_.run(CommandId::SetupWizard);
    openLog();
    showCard();
    videoPair_->setup(call_.connection(), settings_.get<VideoSettings>(),
                      settings_.get<GeneralSettings>().homeDir);
    if (settings_.get<VideoSettings>().showVideoWhenRun)
        videoPair_->startAtLaunch();
    started_ = true;
    call_.start();
    updateButtons();
}

void CMainFrame::openLog() {
    const QString path = folders_.logFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);  // created anew at every start
    if (!call_.connection().openLog(QFile::encodeName(path).toStdString()))
        messages_.show(Message{kMsgLogFile, MessageKind::Error, std::nullopt, std::nullopt}, {});
}

// --- what the call controller tells -------------------------------------------------------

void CMainFrame::callStateChanged(ConnectionState) {
    updateStatusLine();
    updateButtons();
}

void CMainFrame::callEnded(CallEnd) {
    showCard();
    updateCommands();
}

void CMainFrame::cardReceived(const BusinessCard&) {
    showCard();
    updateCommands();
}

void CMainFrame::pageArrived() {
    runCommand(CommandId::PageArrived);
}

void CMainFrame::fileOffered() {
    if (fileQueue_.offered)
        fileQueue_.offered();
}

void CMainFrame::updateStatusLine() {
    const DisplayState state = call_.connection().displayState();
    if (static_cast<int>(state) == lastShown_)
        return;
    lastShown_ = static_cast<int>(state);
    status_->setText(qs(strings_.text(displayTextId(state))));
}

bool CMainFrame::cardPanelShown() const {
    return settings_.get<PlacementRecord>().cardPanelShown != 0;
}

void CMainFrame::updateButtons() {
    const ConnectionState state = call_.connection().state();
    if (lastButtonState_ != state) {
        lastButtonState_ = state;
        const ButtonStates b = FrameLogic::buttons(state);
        button(CommandId::Dial)->setVisible(b.dialShown);
        button(CommandId::Dial)->setEnabled(b.dialShown);
        button(CommandId::Disconnect)->setVisible(!b.dialShown);
        button(CommandId::Disconnect)->setEnabled(!b.dialShown);
        button(CommandId::Hold)->setEnabled(b.holdEnabled);
        button(CommandId::AddToAddressBook)->setEnabled(b.addToAddressBookEnabled);
    }
    updateCommands();
}

ConnectType CMainFrame::connectType() {
    return commandState_.connectType(settings_.get<CommsSettings>().modemFile);
}

CommandContext CMainFrame::commandContext() {
    return commandState_.context(call_.connection().state(),
                                 settings_.get<CommsSettings>().modemFile, call_.remoteCard(),
                                 cardPanelShown());
}

void CMainFrame::updateCommands() {
    const CommandContext c = commandContext();
    if (!commandState_.changed(c))
        return;
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        const CommandUi ui = CommandTable::ui(static_cast<CommandId>(it.key()), c);
        it.value()->setEnabled(ui.enabled);
        if (ui.text)
            it.value()->setText(qs(*ui.text).section(QLatin1Char('\t'), 0, 0));
        else if (it.key() == static_cast<int>(CommandId::Page))
            it.value()->setText(QStringLiteral("P&age"));
    }
}

void CMainFrame::showCard() {
    const std::optional<BusinessCard>& card = call_.remoteCard();
    cardText_->setPlainText(qs(cp1252ToUtf8(FrameLogic::cardText(card)))
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (card && (call_.callCardFlags() & CallController::kRemoteCardReceived) &&
        !card->picture.empty())
        cardPicture_->loadFile(QFile::decodeName(QByteArray::fromStdString(card->picture)));
    else
        cardPicture_->clear();
}

// --- commands -----------------------------------------------------------------------------

void CMainFrame::runCommand(CommandId command) {
    if (!CommandTable::ui(command, commandContext()).enabled)
        return;
    // The panel's part of a command: the focus goes back to the frame, and the Hold button
    // stays a push button whatever the hold state.
    if (command == CommandId::Disconnect || command == CommandId::Video)
        setFocus();
    commands_.run(command);
    if (command == CommandId::Hold) {
        button(CommandId::Hold)->setChecked(false);
        if (button(CommandId::Hold)->hasFocus())
            setFocus();
    }
    updateCommands();
}

void CMainFrame::addCommands(CommandRegistry& commands) {
    commands.add(CommandId::ShowCard, [this] { setCardPanel(true); });
    commands.add(CommandId::HideCard, [this] { setCardPanel(false); });
    commands.add(CommandId::PageArrived, [this] {
        if (settings_.get<GeneralSettings>().allowPaging)
            sound_.playFile(folders_.pageSound());
    });
    commands.add(CommandId::OpenLog,
                 [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(folders_.logFile())); });
}

void CMainFrame::setCardPanel(bool shown) {
    if (shown == cardPanelShown())
        return;
    settings_.update<PlacementRecord>([shown](PlacementRecord& p) { p.showCardPanel(shown); });
    layOutPanel();
    updateCommands();
}

void CMainFrame::setFileQueue(FileQueueHooks hooks) {
    fileQueue_ = std::move(hooks);
    if (!pendingFiles_.isEmpty() && fileQueue_.queueHanded)
        fileQueue_.queueHanded(std::exchange(pendingFiles_, {}));
}

QStringList CMainFrame::queuedFiles() const {
    return fileQueue_.queued ? fileQueue_.queued() : pendingFiles_;
}

void CMainFrame::queueFiles(const QStringList& files) {
    if (fileQueue_.queue)
        fileQueue_.queue(files);
    else
        pendingFiles_.append(files);
}

void CMainFrame::takeCommandLine(const QStringList& files) {
    raise();
    activateWindow();
    if (files.isEmpty())
        return;
    if (fileQueue_.queueHanded)
        fileQueue_.queueHanded(files);
    else
        pendingFiles_.append(files);
}

// --- window events ------------------------------------------------------------------------

void CMainFrame::closeForGood() {
    mayClose_ = true;
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (mayClose_) {
        if (fileQueue_.closing)
            fileQueue_.closing();
        settings_.update<VideoSettings>(
            [this](VideoSettings& v) { videoPair_->keepWindowState(v); });
        videoPair_->closeWindows();
        settings_.update<PlacementRecord>([this](PlacementRecord& p) {
            p.remember(frameGeometry().x(), frameGeometry().y(), isMinimized());
        });
        settings_.storeAll();
        event->accept();
        QApplication::quit();
        return;
    }
    // As Exit: the frame goes once the connection has reached "not connected".
    event->ignore();
    if (!call_.exiting())
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
    queueFiles(files);
}

}  // namespace krl
