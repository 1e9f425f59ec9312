#include "video/ui/VideoPictureWidget.h"

#include <QPainter>

namespace krl {

VideoPictureWidget::VideoPictureWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(32, 24);
}

QImage VideoPictureWidget::toImage(const Picture& p) {
    if (p.empty())
        return {};
    const auto stride = static_cast<qsizetype>(p.rowBytes());
    if (p.bitCount == 24) {
        QImage view(p.bits.data(), p.width, p.height, stride, QImage::Format_BGR888);
        return view.mirrored();  // rows are stored bottom-up; mirrored() also copies
    }
    QImage view(p.bits.data(), p.width, p.height, stride, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const BrmRgbQuad& q : p.colours)
        table.push_back(qRgb(q.red, q.green, q.blue));
    while (table.size() < 256)
        table.push_back(qRgb(0, 0, 0));
    view.setColorTable(table);
    return view.mirrored();
}

void VideoPictureWidget::setPicture(const Picture& picture) {
    image_ = toImage(picture);
    update();
}

void VideoPictureWidget::clear() {
    image_ = QImage();
    update();
}

void VideoPictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (image_.isNull()) {
        painter.fillRect(rect(), QColor(40, 40, 48));
        return;
    }
    painter.drawImage(rect(), image_);
}

}  // namespace krl
