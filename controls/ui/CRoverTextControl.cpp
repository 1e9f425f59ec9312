#include "controls/ui/CRoverTextControl.h"

#include <QFontMetrics>
#include <QPainter>

namespace krl {

CRoverTextControl::CRoverTextControl(QWidget* parent) : CRoverControl(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CRoverTextControl::setText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    update();
}

void CRoverTextControl::setTextFont(const QFont& font) {
    setFont(font);
    update();
}

void CRoverTextControl::setBorder(int width) {
    border_ = std::max(0, width);
    update();
}

void CRoverTextControl::setWordWrap(bool wrap) {
    wrap_ = wrap;
    update();
}

int CRoverTextControl::textFlags() const {
    return Qt::AlignLeft | Qt::AlignVCenter | (wrap_ ? Qt::TextWordWrap : 0);
}

void CRoverTextControl::sizeToText() {
    const int inset = kMargin + border_;
    QRect room = rect().adjusted(inset, inset, -inset, -inset);
    if (!wrap_ || room.width() <= 0)
        room.setWidth(QWIDGETSIZE_MAX / 2);
    QRect extent = fontMetrics().boundingRect(room, textFlags(), text_);
    resize(extent.width() + 2 * inset, extent.height() + 2 * inset);
}

void CRoverTextControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect inside = rect().adjusted(border_, border_, -border_, -border_);
    if (border_ > 0)
        painter.fillRect(rect(), palette().color(QPalette::WindowText));
    // The brush the parent gives static controls: its own background.
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    painter.fillRect(inside, owner->palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(inside.adjusted(kMargin, kMargin, -kMargin, -kMargin), textFlags(), text_);
}

}  // namespace krl
