#include "controls/ui/CRoverTextControl.h"

#include <QPainter>
#include <QTextLayout>
#include <cmath>

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

// Lays the text out in lines of at most `width` pixels: wrapped at word boundaries, and inside a
// word only where one word alone is wider than the line (a long path, say). Text is always
// plain: a peer's file name is never read as markup. Returns the extent of the text.
QSizeF CRoverTextControl::layOut(QTextLayout& layout, qreal width) const {
    QString text = text_;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    layout.setText(text);
    layout.setFont(font());
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(wrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);

    qreal height = 0;
    qreal widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(wrap_ ? width : 1e6);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {widest, height};
}

void CRoverTextControl::sizeToText() {
    const int inset = kMargin + border_;
    const int room = width() - 2 * inset;
    QTextLayout layout(QString(), font(), this);
    QSizeF extent = layOut(layout, room > 0 ? room : 1e6);
    resize(static_cast<int>(std::ceil(extent.width())) + 2 * inset,
           static_cast<int>(std::ceil(extent.height())) + 2 * inset);
}

void CRoverTextControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect inside = rect().adjusted(border_, border_, -border_, -border_);
    if (border_ > 0)
        painter.fillRect(rect(), palette().color(QPalette::WindowText));
    // The brush the parent gives static controls: its own background.
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    painter.fillRect(inside, owner->palette().color(QPalette::Window));

    QRect room = inside.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    QTextLayout layout(QString(), font(), this);
    QSizeF extent = layOut(layout, room.width());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setClipRect(inside);
    layout.draw(&painter, QPointF(room.left(), room.top() + (room.height() - extent.height()) / 2));
}

}  // namespace krl
