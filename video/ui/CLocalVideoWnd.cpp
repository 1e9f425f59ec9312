#include "video/ui/CLocalVideoWnd.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QVBoxLayout>

#include "video/LocalMenuRules.h"
#include "video/LocalVideoStep.h"
#include "video/VideoManager.h"
#include "video/ui/VideoButtonRow.h"
#include "video/ui/VideoFormatDialog.h"
#include "video/ui/VideoPictureWidget.h"
#include "video/ui/VideoSourceDialog.h"

namespace krl {
namespace {

constexpr int kCapture = 32841;
constexpr int kStopCapture = 32842;
constexpr int kSend = 32812;
constexpr int kStopSending = 32813;
constexpr int kPause = 32816;
constexpr int kOptions = 32819;
constexpr int kRecord = 32820;
constexpr int kSnapshot = 32822;
constexpr int kHelp = 57670;

QAction* addEntry(QMenu& menu, const QString& text, int id, const LocalMenuRules::Entry& rule,
                  bool checkable = false) {
    QAction* a = menu.addAction(text);
    a->setData(id);
    a->setVisible(rule.shown);
    a->setEnabled(rule.enabled);
    a->setCheckable(checkable);
    a->setChecked(rule.checked);
    return a;
}

}  // namespace

CLocalVideoWnd::CLocalVideoWnd(LocalVideoStep& step, VideoManager& manager, const TickSource& ticks,
                               Actions actions)
    : QWidget(nullptr, Qt::Window),
      step_(step),
      manager_(manager),
      ticks_(ticks),
      actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("Local Image"));
    setObjectName(QStringLiteral("LocalImage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    picture_ = new VideoPictureWidget(this);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    buttons_ = new VideoButtonRow(
        this, QStringLiteral("Local Image menu"), [this](QPoint at) { openMenu(at); },
        [this] {
            if (actions_.hold)
                actions_.hold();
        });
    layout->addWidget(buttons_);
    layOut();
    refresh();
}

void CLocalVideoWnd::refresh() {
    buttons_->setStatus(QString::fromStdString(step_.statusText()));
    buttons_->setHoldShown(actions_.connected && actions_.connected());
    layOut();
}

void CLocalVideoWnd::layOut() {
    QSize size(160, 120);
    if (step_.capturing() || step_.state() == CaptureState::Paused) {
        const VideoSettingsRecord& r = step_.record();
        size = QSize(static_cast<int>(r.get(VideoSetting::Width)),
                     static_cast<int>(r.get(VideoSetting::Height)));
        if (size.width() < 8 || size.height() < 8)
            size = QSize(160, 120);
    }
    if (picture_->size() != size || picture_->minimumSize() != size)
        picture_->setFixedSize(size);
}

void CLocalVideoWnd::pictureChanged() {
    if (manager_.localCapturing())
        picture_->setPicture(manager_.localPicture());
    else
        picture_->clear();
}

void CLocalVideoWnd::contextMenuEvent(QContextMenuEvent* event) {
    openMenu(event->globalPos());
}

void CLocalVideoWnd::fillMenu(QMenu& menu) {
    LocalMenuRules::Input in;
    in.state = step_.state();
    in.connected = actions_.connected && actions_.connected();
    in.sending = step_.isSending();
    in.noDriver = !step_.hasCamera() && !step_.options().playFile;
    in.recording = manager_.recording();
    const LocalMenuRules rules = LocalMenuRules::from(in);
    addEntry(menu, QStringLiteral("&Capture"), kCapture, rules.capture);
    addEntry(menu, QStringLiteral("Stop &Capture"), kStopCapture, rules.stopCapture);
    addEntry(menu, QStringLiteral("&Send"), kSend, rules.send);
    addEntry(menu, QStringLiteral("&Stop Sending"), kStopSending, rules.stopSending);
    addEntry(menu, QStringLiteral("&Pause"), kPause, rules.pause, true);
    menu.addSeparator();
    addEntry(menu, QStringLiteral("Video &Format"), kVideoFormat, rules.videoFormat);
    addEntry(menu, QStringLiteral("Video So&urce"), kVideoSource, rules.videoSource);
    addEntry(menu, QStringLiteral("&Options"), kOptions, {});
    addEntry(menu, QStringLiteral("&Record to file"), kRecord, rules.record, true);
    addEntry(menu, QStringLiteral("&Take a snapshot\tCtrl+t"), kSnapshot, rules.snapshot);
    addEntry(menu, QStringLiteral("&Help"), kHelp, {});
}

void CLocalVideoWnd::openMenu(const QPoint& at) {
    step_.requestKeyFrame();  // the menu may hide the picture: the peer gets a whole one next
    QMenu menu(this);
    fillMenu(menu);
    QAction* chosen = menu.exec(at);
    const int id = chosen != nullptr ? chosen->data().toInt() : 0;
    switch (id) {
        case kCapture:
            if (actions_.startCapture)
                actions_.startCapture();
            break;
        case kStopCapture:
            step_.stopCapture();
            pictureChanged();
            break;
        case kSend:
            if (!step_.send(ticks_.nowMs()) && actions_.startCapture)
                actions_.startCapture();  // says why capture failed
            break;
        case kStopSending:
            step_.stopSending();
            break;
        case kPause:
            step_.togglePause();
            break;
        case kVideoFormat:
            videoFormat();
            break;
        case kVideoSource:
            videoSource();
            break;
        case kOptions:
            if (actions_.options)
                actions_.options();
            break;
        case kRecord:
            if (actions_.toggleRecording)
                actions_.toggleRecording();
            break;
        case kSnapshot:
            if (actions_.snapshot)
                actions_.snapshot();
            break;
        case kHelp:
            if (actions_.help)
                actions_.help();
            break;
        default:
            break;
    }
    refresh();
}

void CLocalVideoWnd::videoFormat() {
    if (!step_.capturingFromCamera())
        return;
    const VideoSettingsRecord& r = step_.record();
    VideoFormatDialog dialog(this, manager_.formatSizes(),
                             {static_cast<int>(r.get(VideoSetting::Width)),
                              static_cast<int>(r.get(VideoSetting::Height))});
    if (dialog.exec() != QDialog::Accepted)
        return;
    const PictureSize size = dialog.chosen();
    if (size.width > 0 && size.height > 0)
        sourceChosen(step_.options().driver, size.width, size.height);
}

void CLocalVideoWnd::videoSource() {
    if (!step_.capturingFromCamera())
        return;
    VideoSourceDialog dialog(this, manager_.driverNames(), step_.options().driver);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const VideoSettingsRecord& r = step_.record();
    sourceChosen(dialog.chosen(), static_cast<int>(r.get(VideoSetting::Width)),
                 static_cast<int>(r.get(VideoSetting::Height)));
}

void CLocalVideoWnd::sourceChosen(const std::string& driver, int width, int height) {
    const bool ok = step_.sourceChosen(driver, {width, height});
    if (actions_.sourceChanged)
        actions_.sourceChanged(step_.options().driver, step_.record());
    pictureChanged();
    refresh();
    if (!ok && actions_.captureFailed)
        actions_.captureFailed();
}

void CLocalVideoWnd::closeEvent(QCloseEvent* event) {
    step_.close(ticks_.nowMs());
    picture_->clear();
    layOut();
    event->accept();
}

}  // namespace krl
