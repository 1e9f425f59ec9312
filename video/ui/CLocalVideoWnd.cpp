#include "video/ui/CLocalVideoWnd.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include "video/LocalVideoStep.h"
#include "video/VideoManager.h"
#include "video/ui/VideoPictureWidget.h"

namespace krl {
namespace {

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch());
}

}  // namespace

CLocalVideoWnd::CLocalVideoWnd(LocalVideoStep& step, VideoManager& manager, Actions actions)
    : QWidget(nullptr, Qt::Window), step_(step), manager_(manager), actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("Local Image"));
    setObjectName(QStringLiteral("LocalImage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    picture_ = new VideoPictureWidget(this);
    picture_->setFixedSize(176, 144);
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    auto* row = new QHBoxLayout;
    menuButton_ = new QToolButton(this);
    menuButton_->setText(QStringLiteral("Menu"));
    menuButton_->setToolTip(QStringLiteral("Local Image menu"));
    holdButton_ = new QToolButton(this);
    holdButton_->setText(QStringLiteral("Hold"));
    holdButton_->setToolTip(QStringLiteral("Hold Call"));
    status_ = new QLabel(QStringLiteral(" "), this);
    status_->setObjectName(QStringLiteral("status"));
    row->addWidget(menuButton_);
    row->addWidget(holdButton_);
    row->addWidget(status_, 1);
    layout->addLayout(row);
    connect(menuButton_, &QToolButton::clicked, this,
            [this] { openMenu(menuButton_->mapToGlobal(QPoint(0, menuButton_->height()))); });
    connect(holdButton_, &QToolButton::clicked, this, [this] {
        if (actions_.hold)
            actions_.hold();
    });
}

void CLocalVideoWnd::refresh() {
    status_->setText(QString::fromStdString(step_.statusText()));
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

void CLocalVideoWnd::openMenu(const QPoint& at) {
    step_.requestKeyFrame();  // the menu may hide the picture: the peer gets a whole one next
    QMenu menu(this);
    const bool capturing = step_.capturing() || step_.state() == CaptureState::Paused;
    const bool sending = step_.isSending();
    const bool noDriver = !step_.hasCamera() && !step_.options().playFile;
    QAction* capture = menu.addAction(QStringLiteral("&Capture"));
    QAction* stopCapture = menu.addAction(QStringLiteral("Stop &Capture"));
    QAction* send = menu.addAction(QStringLiteral("&Send"));
    QAction* stopSending = menu.addAction(QStringLiteral("&Stop Sending"));
    QAction* pause = menu.addAction(QStringLiteral("&Pause"));
    pause->setCheckable(true);
    pause->setChecked(step_.state() == CaptureState::Paused);
    menu.addSeparator();
    QAction* options = menu.addAction(QStringLiteral("&Options"));
    QAction* record = menu.addAction(QStringLiteral("&Record to file"));
    record->setCheckable(true);
    record->setChecked(manager_.recording() && capturing);
    QAction* snapshot = menu.addAction(QStringLiteral("&Take a snapshot\tCtrl+t"));
    const bool early = step_.state() <= CaptureState::File;
    record->setEnabled(!early || step_.state() == CaptureState::File);
    snapshot->setEnabled(capturing);
    stopSending->setVisible(sending);
    send->setVisible(!sending);
    capture->setVisible(!capturing && !sending);
    stopCapture->setVisible(capturing && !sending);
    send->setEnabled(!noDriver);
    capture->setEnabled(!noDriver);
    pause->setEnabled(capturing);
    QAction* chosen = menu.exec(at);
    if (chosen == capture && actions_.startCapture) {
        actions_.startCapture();
    } else if (chosen == stopCapture) {
        step_.stopCapture();
        pictureChanged();
    } else if (chosen == send) {
        if (!step_.send(nowMs()) && actions_.startCapture)
            actions_.startCapture();  // says why capture failed
    } else if (chosen == stopSending) {
        step_.stopSending();
    } else if (chosen == pause) {
        step_.togglePause();
    } else if (chosen == options && actions_.options) {
        actions_.options();
    } else if (chosen == record && actions_.toggleRecording) {
        actions_.toggleRecording();
    } else if (chosen == snapshot && actions_.snapshot) {
        actions_.snapshot();
    }
    refresh();
}

void CLocalVideoWnd::closeEvent(QCloseEvent* event) {
    step_.close(nowMs());
    picture_->clear();
    event->accept();
}

}  // namespace krl
