#include "connection/ui/TransferStatusBar.h"

#include <QPainter>
#include <QProgressBar>

namespace krl {

std::array<int, TransferStatusBar::kPanes> TransferStatusBar::paneEdges(int width) {
    const int u = width / 10;
    std::array<int, kPanes> e{};
    e[0] = 3 * u / 2;
    e[1] = e[0] + 3 * u;
    e[2] = e[1] + u / 2;
    e[3] = e[2] + 2 * u;
    e[4] = e[3] + 3 * u;
    return e;
}

TransferStatusBar::TransferStatusBar(QWidget* parent) : QWidget(parent) {
    send_ = new QProgressBar(this);
    send_->setObjectName(QStringLiteral("id%1").arg(kSendBarId));
    receive_ = new QProgressBar(this);
    receive_->setObjectName(QStringLiteral("id%1").arg(kReceiveBarId));
    for (QProgressBar* b : {send_, receive_}) {
        b->setRange(0, 100);
        b->setTextVisible(false);
        b->hide();
    }
}

QSize TransferStatusBar::sizeHint() const {
    return {400, fontMetrics().height() + 8};
}

QRect TransferStatusBar::paneRect(int pane) const {
    const auto edges = paneEdges(width());
    const int left = pane == 0 ? 0 : edges[static_cast<std::size_t>(pane - 1)];
    return QRect(left, 0, edges[static_cast<std::size_t>(pane)] - left, height());
}

void TransferStatusBar::setPaneText(int pane, const QString& text) {
    QString& shown = texts_.at(static_cast<std::size_t>(pane));
    if (shown == text)
        return;
    shown = text;
    ++textUpdates_;
    update(paneRect(pane));
}

void TransferStatusBar::startTransfer(Side side, const QString& fileName) {
    const bool sending = side == Side::Sending;
    setPaneText(sending ? 0 : 3,
                sending ? QStringLiteral("Sending:") : QStringLiteral("Receiving:"));
    setPaneText(sending ? 1 : 4, QStringLiteral(" "));
    QProgressBar* b = bar(side);
    b->setRange(0, 100);
    b->setValue(0);
    b->setToolTip(fileName);
    b->show();
    layoutBars();
}

void TransferStatusBar::setProgress(Side side, int percent) {
    QProgressBar* b = bar(side);
    const int value = std::clamp(percent, 0, 100);
    if (value != 0 && value == b->value())
        return;
    b->setValue(value);
}

void TransferStatusBar::clearTransfer(Side side) {
    const bool sending = side == Side::Sending;
    bar(side)->hide();
    setPaneText(sending ? 0 : 3, QStringLiteral(" "));
    setPaneText(sending ? 1 : 4, QStringLiteral(" "));
}

void TransferStatusBar::layoutBars() {
    const int inset = height() / 5;
    send_->setGeometry(paneRect(1).adjusted(2, inset, -2, -inset));
    receive_->setGeometry(paneRect(4).adjusted(2, inset, -2, -inset));
}

void TransferStatusBar::resizeEvent(QResizeEvent*) {
    layoutBars();
}

void TransferStatusBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < kPanes; ++i) {
        const QRect r = paneRect(i);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   texts_[static_cast<std::size_t>(i)]);
    }
}

}  // namespace krl
