#include "video/ui/VideoWindows.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QKeySequence>
#include <QWidget>
#include <filesystem>

#include "connection/Connection.h"
#include "controls/ui/DialogMessagePresenter.h"
#include "resources/StringTable.h"
#include "video/BmpFile.h"
#include "video/LinkVideoPort.h"
#include "video/SnapshotFile.h"
#include "video/VideoCall.h"
#include "video/VideoManager.h"
#include "video/ui/CLocalVideoWnd.h"
#include "video/ui/CRemoteVideoWnd.h"
#include "video/ui/SnapshotDialog.h"
#include "video/ui/StatisticsDialog.h"
#include "video/ui/VideoOfferPrompt.h"

namespace krl {
namespace {

void takeFlow(StatisticsInput::Direction& d, const VideoFlow& flow) {
    d.videoFlowing = flow.flowing;
    d.videoFrames = flow.frames;
    d.videoBytes = flow.bytes;
    d.videoElapsedMs = flow.elapsedMs;
}

constexpr int kCameraFailed = 4210;
constexpr int kNoLocalCapture = 4220;
constexpr int kNothingReceived = 4230;

}  // namespace

VideoWindows::VideoWindows(QWidget* owner, const TickSource& ticks, const StringTable& strings,
                           CaptureSourceFactory& sources, Requests requests)
    : owner_(owner),
      ticks_(ticks),
      requests_(std::move(requests)),
      sources_(sources),
      messages_(std::make_unique<DialogMessagePresenter>(owner, strings)),
      offerPrompt_(std::make_unique<VideoOfferPrompt>(*messages_)),
      manager_(std::make_unique<VideoManager>(sources_, ticks)) {
    manager_->setPictureListeners([this] { localPictureDirty_ = true; },
                                  [this] { remotePictureDirty_ = true; });
}

VideoWindows::~VideoWindows() {
    if (connection_ != nullptr) {
        connection_->protocol().setLocalVideoListener(nullptr);
        connection_->protocol().setRemoteVideoListener(nullptr);
        connection_->protocol().setFrameQueue(nullptr);
    }
    delete local_.data();
    delete remote_.data();
}

void VideoWindows::setup(Connection& connection, const VideoSettings& video,
                         const std::string& homeDir) {
    video_ = video;
    homeDir_ = homeDir;
    if (connection_ == nullptr) {
        connection_ = &connection;
        Connection* c = connection_;
        port_ = std::make_unique<LinkVideoPort>(
            connection, [c] { return c->displayState() == DisplayState::Connected; });
        call_ = std::make_unique<VideoCall>(*port_, *manager_, *offerPrompt_, ticks_);
        connection.protocol().setLocalVideoListener(call_.get());
        connection.protocol().setRemoteVideoListener(call_.get());
        auto hold = [this] {
            if (requests_.hold)
                requests_.hold();
        };
        auto command = [this](CommandId id) {
            return [this, id] {
                if (requests_.command)
                    requests_.command(id);
            };
        };
        auto help = [this] {
            if (requests_.help)
                requests_.help(HelpWindow::Video);
        };
        auto isConnected = [this] { return connected(); };
        CLocalVideoWnd::Actions localActions;
        localActions.startCapture = [this] { startCapture(); };
        localActions.hold = hold;
        localActions.snapshot = [this] { takeSnapshot(false); };
        localActions.toggleRecording = [this] { toggleRecording(); };
        localActions.options = command(CommandId::OptionsCamera);
        localActions.help = help;
        localActions.captureFailed = [this] { showError(kCameraFailed); };
        localActions.sourceChanged = [this](const std::string& driver,
                                            const VideoSettingsRecord& record) {
            choice_ = Choice{driver,
                             {static_cast<int>(record.get(VideoSetting::Width)),
                              static_cast<int>(record.get(VideoSetting::Height))},
                             video_.driver,
                             video_.localVideo};
            manager_->setDriver(driver);
        };
        localActions.connected = isConnected;
        local_ = new CLocalVideoWnd(call_->local(), *manager_, ticks_, std::move(localActions));
        CRemoteVideoWnd::Actions remoteActions;
        remoteActions.snapshot = [this] { takeSnapshot(true); };
        remoteActions.hold = hold;
        remoteActions.options = command(CommandId::OptionsRemote);
        remoteActions.help = help;
        remoteActions.alwaysOnTopChanged = [this](bool on) { video_.remoteAlwaysOnTop = on; };
        remoteActions.connected = isConnected;
        remote_ = new CRemoteVideoWnd(call_->remote(), *manager_, std::move(remoteActions));
        // The frame's snapshot key works in the video windows too (windows of their own).
        for (QWidget* window : {static_cast<QWidget*>(local_), static_cast<QWidget*>(remote_)}) {
            auto* key = new QAction(window);
            key->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
            key->setShortcutContext(Qt::WindowShortcut);
            connect(key, &QAction::triggered, this, [this] { videoCommand(CommandId::Snapshot); });
            window->addAction(key);
        }
        // Where the user left them last time (the Video block's lPos and rPos).
        local_->move(video_.localWindow.left, video_.localWindow.top);
        remote_->move(video_.remoteWindow.left, video_.remoteWindow.top);
    }
    remote_->setHoldClip(
        QString::fromStdString((std::filesystem::path(homeDir_) / "vi_hold.avi").string()));
    applyOptions();
}

bool VideoWindows::connected() const {
    return connection_ != nullptr && connection_->displayState() == DisplayState::Connected;
}

void VideoWindows::showError(int id) {
    Message m;
    m.id = id;
    m.kind = MessageKind::Error;
    messages_->show(m, {});
}

void VideoWindows::applyOptions() {
    if (choice_ &&
        (choice_->storedDriver != video_.driver || choice_->storedRecord != video_.localVideo))
        choice_.reset();
    std::string driver = choice_ ? choice_->driver : video_.driver;
    if (driver.empty()) {
        // An empty setting means the first driver there is (the test pattern at the least).
        auto names = sources_.driverNames();
        driver = names.empty() ? std::string(CaptureSourceFactory::kTestPattern) : names.front();
    }
    manager_->setDriver(driver);
    manager_->setPlayFile(video_.playFile, true);
    LocalVideoStep& local = call_->local();
    local.setOptions({driver, video_.playFileSet, video_.playFile, video_.autoSend});
    if (local.state() <= CaptureState::Open) {
        VideoSettingsRecord record = video_.localVideo;
        if (choice_) {
            record.set(VideoSetting::Width, static_cast<std::uint32_t>(choice_->size.width));
            record.set(VideoSetting::Height, static_cast<std::uint32_t>(choice_->size.height));
        }
        local.setRecord(record);
    }
    VideoSettingsRecord remote = video_.remoteVideo;
    // Palette display only serves screens of 256 colours, which this platform does not drive.
    remote.set(VideoSetting::PaletteDisplay, 0);
    call_->remote().setPromptWhenReceive(video_.promptWhenReceive);
    if (call_->remote().receiving())
        call_->remote().settingsChanged(remote);
    else
        call_->remote().setRecord(remote);
    remote_->setSliderValues(static_cast<int>(remote.get(VideoSetting::PictureQuality)),
                             static_cast<int>(remote.get(VideoSetting::ChangeSensitivity)));
    remote_->setAlwaysOnTop(video_.remoteAlwaysOnTop);
}

void VideoWindows::idle() {
    if (!call_)
        return;
    call_->idle();
    if (local_ != nullptr && local_->isVisible()) {
        if (localPictureDirty_)
            local_->pictureChanged();
        local_->refresh();
    }
    if (remote_ != nullptr && remote_->isVisible()) {
        if (remotePictureDirty_)
            remote_->pictureChanged();
        remote_->refresh();
    }
    localPictureDirty_ = remotePictureDirty_ = false;
}

void VideoWindows::start() {
    if (!call_)
        return;
    if (call_->local().open()) {
        local_->show();
        local_->raise();
        if (call_->local().state() == CaptureState::Open)
            startCapture();
    }
    call_->remote().open();
    remote_->show();
}

void VideoWindows::startCapture() {
    if (!call_->local().open())
        return;
    if (call_->local().state() != CaptureState::Open)
        return;
    if (!call_->local().startCapture(ticks_.nowMs()))
        showError(kCameraFailed);
    local_->pictureChanged();
    local_->refresh();
}

void VideoWindows::toggleRecording() {
    std::string error;
    if (manager_->recording()) {
        manager_->setRecording(false, {}, error);
        return;
    }
    QString file =
        QFileDialog::getSaveFileName(owner_, QStringLiteral("Choose file to record to"), QString(),
                                     QStringLiteral("Video for Windows (*.avi);;All Files (*.*)"));
    if (file.isEmpty())
        return;
    if (!file.contains(QLatin1Char('.')))
        file += QStringLiteral(".avi");
    manager_->setRecording(true, file.toStdString(), error);
}

QString VideoWindows::takeSnapshot(bool remote) {
    std::string folder = video_.snapshotDir.empty()
                             ? (std::filesystem::path(homeDir_) / "Snapshots").string()
                             : video_.snapshotDir;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return snapshotTo(remote, SnapshotFile::nextFreeName(folder),
                      remote ? static_cast<QWidget*>(remote_) : local_);
}

std::string VideoWindows::takeCardPicture(bool remote, const std::string& path) {
    // Over the card editor, which is the modal window open now.
    QWidget* parent = QApplication::activeModalWidget();
    return snapshotTo(remote, path, parent != nullptr ? parent : owner_).toStdString();
}

QString VideoWindows::snapshotTo(bool remote, const std::string& path, QWidget* parent) {
    const bool have = remote ? manager_->remoteOpen() : manager_->localCapturing();
    const Picture& picture = remote ? manager_->remotePicture() : manager_->localPicture();
    if (!have || picture.empty()) {
        showError(remote ? kNothingReceived : kNoLocalCapture);
        return {};
    }
    if (path.empty() || !BmpFile::write(path, picture))
        return {};
    // The shutter as the snapshot opens; silent without the file or a sound server.
    shutter_.playFile(
        QString::fromStdString((std::filesystem::path(homeDir_) / "vi_shutter.wav").string()));
    return SnapshotDialog::run(parent, QString::fromStdString(path));
}

std::vector<CommandId> VideoWindows::commands() const {
    return {CommandId::ReconnectCameraMode0, CommandId::ReconnectCameraMode1,
            CommandId::PlayVideoFile,        CommandId::Snapshot,
            CommandId::CameraFormat,         CommandId::CameraSource};
}

bool VideoWindows::capturing() const {
    return call_ && call_->local().capturing();
}

void VideoWindows::videoCommand(CommandId command) {
    if (!call_)
        return;
    LocalVideoStep& local = call_->local();
    switch (command) {
        case CommandId::ReconnectCameraMode0:
        case CommandId::ReconnectCameraMode1:
            // The source is opened again; this platform's cameras have no separate preview.
            if (local.capturing() && !local.options().playFile) {
                local.stopCapture();
                startCapture();
            }
            break;
        case CommandId::PlayVideoFile:
            if (!video_.playFileSet || video_.playFile.empty()) {
                QString file = QFileDialog::getOpenFileName(
                    owner_, QStringLiteral("Play AVI File"), QString(),
                    QStringLiteral("AVI Files (*.avi);;All Files (*)"));
                video_.playFileSet = !file.isEmpty();
                video_.playFile = file.toStdString();
            }
            applyOptions();
            break;
        case CommandId::Snapshot:
            // Ctrl+T: the snapshot of the video window that has the focus.
            if (local_ != nullptr && local_->isActiveWindow())
                takeSnapshot(false);
            else if (remote_ != nullptr && remote_->isActiveWindow())
                takeSnapshot(true);
            break;
        case CommandId::CameraFormat:
            if (local_ != nullptr)
                local_->videoFormat();
            break;
        case CommandId::CameraSource:
            if (local_ != nullptr)
                local_->videoSource();
            break;
        default:
            break;
    }
}

int VideoWindows::outgoingState() const {
    return connection_ != nullptr ? static_cast<int>(connection_->protocol().video().outgoing())
                                  : 0;
}

int VideoWindows::incomingState() const {
    return connection_ != nullptr ? static_cast<int>(connection_->protocol().video().incoming())
                                  : 0;
}

void VideoWindows::closeVideo() {
    if (!call_)
        return;
    call_->local().stopSending();
    call_->remote().closeReceiving();
}

void VideoWindows::setHoldMark(HoldSide side, bool on) {
    if (!call_)
        return;
    // The steps number the marks: 0 this side's Hold, 1 the peer's.
    const int mark = side == HoldSide::Local ? 0 : 1;
    call_->local().setHoldMark(mark, on);
    call_->remote().setHoldMark(mark, on);
}

void VideoWindows::keepWindowState(VideoSettings& video) const {
    auto rectOf = [](const QWidget* w) {
        const QRect r = w->frameGeometry();
        return ScreenRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    };
    if (local_ != nullptr)
        video.localWindow = rectOf(local_);
    if (remote_ != nullptr)
        video.remoteWindow = rectOf(remote_);
    video.remoteAlwaysOnTop = video_.remoteAlwaysOnTop;
}

void VideoWindows::closeWindows() {
    if (local_ != nullptr)
        local_->close();
    if (remote_ != nullptr)
        remote_->close();
}

StatisticsInput VideoWindows::statistics(std::uint64_t lineBitsPerSecond, const std::string& name,
                                         const std::string& phone) const {
    StatisticsInput in;
    if (connection_ == nullptr || !call_)
        return in;
    in.connected = connection_->displayState() == DisplayState::Connected;
    in.lineBitsPerSecond = lineBitsPerSecond;
    in.name = name;
    in.phone = phone;
    LinkProtocol& p = connection_->protocol();
    const std::uint64_t now = ticks_.nowMs();
    in.sending.transferRunning = p.sender().active();
    in.sending.transferBytes = p.sender().bytesSinceStart();
    in.sending.transferElapsedMs = p.sender().elapsedMs();
    in.sending.packetErrors = connection_->resentBlocks();
    takeFlow(in.sending, call_->local().flow(now));
    in.receiving.transferRunning = p.receiver().active();
    in.receiving.transferBytes = p.receiver().bytesSinceStart();
    in.receiving.transferElapsedMs = p.receiver().elapsedMs();
    in.receiving.packetErrors = connection_->damagedFrames();
    takeFlow(in.receiving, call_->remote().flow(now));
    return in;
}

void VideoWindows::showStatistics(std::uint32_t lineBitsPerSecond, const std::string& name,
                                  const std::string& phone) {
    StatisticsDialog dialog(owner_,
                            StatisticsTexts::from(statistics(lineBitsPerSecond, name, phone)));
    dialog.exec();
}

}  // namespace krl
