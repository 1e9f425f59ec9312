#include "video/ui/CRemoteVideoWnd.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QVBoxLayout>

#include "video/RemoteVideoStep.h"
#include "video/VideoManager.h"
#include "video/ui/HoldAnimation.h"
#include "video/ui/VideoButtonRow.h"
#include "video/ui/VideoPictureWidget.h"

namespace krl {
namespace {

QSlider* slider(QWidget* parent, const QString& name) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(2, 80);
    s->setTracking(false);
    return s;
}

}  // namespace

CRemoteVideoWnd::CRemoteVideoWnd(RemoteVideoStep& step, VideoManager& manager, Actions actions)
    : QWidget(nullptr, Qt::Window), step_(step), manager_(manager), actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("Remote Image"));
    setObjectName(QStringLiteral("RemoteImage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    picture_ = new VideoPictureWidget(this);
    picture_->setFixedSize(176, 144);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    holdAnimation_ = new HoldAnimation(this);
    holdAnimation_->setFixedSize(176, 144);
    holdAnimation_->hide();
    layout->addWidget(holdAnimation_, 0, Qt::AlignHCenter);
    buttons_ = new VideoButtonRow(
        this, QStringLiteral("Remote Image menu"), [this](QPoint at) { openMenu(at); },
        [this] {
            if (actions_.hold)
                actions_.hold();
        });
    layout->addWidget(buttons_);
    panel_ = new QWidget(this);
    auto* grid = new QGridLayout(panel_);
    grid->setContentsMargins(0, 0, 0, 0);
    contrast_ = slider(panel_, QStringLiteral("Contrast"));
    tracking_ = slider(panel_, QStringLiteral("Tracking"));
    grid->addWidget(new QLabel(QStringLiteral("Contrast"), panel_), 0, 0);
    grid->addWidget(contrast_, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Tracking"), panel_), 1, 0);
    grid->addWidget(tracking_, 1, 1, 1, 3);
    fps_ = new QLabel(QStringLiteral("0"), panel_);
    fps_->setObjectName(QStringLiteral("fps"));
    bpf_ = new QLabel(QStringLiteral("0"), panel_);
    bpf_->setObjectName(QStringLiteral("bpf"));
    grid->addWidget(new QLabel(QStringLiteral("Fp/s:"), panel_), 2, 0);
    grid->addWidget(fps_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Bp/f:"), panel_), 2, 2);
    grid->addWidget(bpf_, 2, 3);
    layout->addWidget(panel_);
    connect(contrast_, &QSlider::valueChanged, this, [this] { slidersReleased(); });
    connect(tracking_, &QSlider::valueChanged, this, [this] { slidersReleased(); });
    refresh();
}

void CRemoteVideoWnd::setHoldClip(const QString& path) {
    holdAnimation_->open(path);
    if (holdShown_)
        holdAnimation_->play();  // opened again while the call is held
}

void CRemoteVideoWnd::setSliderValues(int quality, int tracking) {
    QSignalBlocker a(contrast_), b(tracking_);
    contrast_->setValue(quality);
    tracking_->setValue(tracking);
}

void CRemoteVideoWnd::slidersReleased() {
    step_.setSliders(static_cast<std::uint32_t>(contrast_->value()),
                     static_cast<std::uint32_t>(tracking_->value()));
}

QString CRemoteVideoWnd::framesPerSecondText() const {
    return fps_->text();
}

QString CRemoteVideoWnd::bytesPerFrameText() const {
    return bpf_->text();
}

void CRemoteVideoWnd::showHold(bool held) {
    if (held == holdShown_)
        return;
    holdShown_ = held;
    if (held) {
        picture_->hide();
        holdAnimation_->show();
        holdAnimation_->play();
    } else {
        holdAnimation_->stop();
        holdAnimation_->hide();
        picture_->show();
    }
}

void CRemoteVideoWnd::refresh() {
    buttons_->setStatus(QString::fromStdString(step_.statusText()));
    buttons_->setHoldShown(actions_.connected && actions_.connected());
    fps_->setText(QString::fromStdString(step_.framesPerSecondText()));
    bpf_->setText(QString::fromStdString(step_.bytesPerFrameText()));
    showHold(step_.holdMarks() != 0 && step_.receiving());
}

void CRemoteVideoWnd::pictureChanged() {
    if (manager_.remoteOpen())
        picture_->setPicture(manager_.remotePicture());
    else
        picture_->clear();
}

void CRemoteVideoWnd::setAlwaysOnTop(bool on) {
    onTop_ = on;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

void CRemoteVideoWnd::contextMenuEvent(QContextMenuEvent* event) {
    openMenu(event->globalPos());
}

void CRemoteVideoWnd::openMenu(const QPoint& at) {
    QMenu menu(this);
    const bool receiving = step_.receiving();
    QAction* pause = menu.addAction(QStringLiteral("&Pause"));
    pause->setCheckable(true);
    pause->setChecked(step_.state() == RemoteWindowState::Paused);
    pause->setEnabled(receiving);
    QAction* options = menu.addAction(QStringLiteral("&Options"));
    QAction* snapshot = menu.addAction(QStringLiteral("&Take a snapshot\tCtrl+t"));
    snapshot->setEnabled(receiving);
    QAction* palette = menu.addAction(QStringLiteral("&Update Palette"));
    palette->setEnabled(receiving);
    QAction* top = menu.addAction(QStringLiteral("&Always on Top"));
    top->setCheckable(true);
    top->setChecked(onTop_);
    QAction* controls = menu.addAction(panel_->isVisible() ? QStringLiteral("Hide Video Controls")
                                                           : QStringLiteral("Show Video Controls"));
    QAction* help = menu.addAction(QStringLiteral("&Help"));
    QAction* chosen = menu.exec(at);
    if (chosen == pause) {
        step_.togglePause();
    } else if (chosen == options && actions_.options) {
        actions_.options();
    } else if (chosen == snapshot && actions_.snapshot) {
        actions_.snapshot();
    } else if (chosen == palette && manager_.remoteOpen()) {
        manager_.remotePane().refreshPalette();
    } else if (chosen == top) {
        setAlwaysOnTop(!onTop_);
        if (actions_.alwaysOnTopChanged)
            actions_.alwaysOnTopChanged(onTop_);
    } else if (chosen == controls) {
        panel_->setVisible(!panel_->isVisible());
        adjustSize();
    } else if (chosen == help && actions_.help) {
        actions_.help();
    }
    refresh();
}

void CRemoteVideoWnd::closeEvent(QCloseEvent* event) {
    step_.closeReceiving();
    picture_->clear();
    event->accept();
}

}  // namespace krl
