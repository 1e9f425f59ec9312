#include "shell/ui/PictureButton.h"

#include <QPainter>

namespace krl {

PictureButton::PictureButton(int id, const QString& up, const QString& down, const QString& focus,
                             const QString& disabled, QWidget* parent)
    : QAbstractButton(parent), id_(id) {
    setObjectName(QStringLiteral("id%1").arg(id));
    up_ = load(up);
    down_ = load(down);
    focus_ = load(focus);
    disabled_ = load(disabled);
    setFocusPolicy(Qt::TabFocus);
}

QPixmap PictureButton::load(const QString& name) const {
    if (name.isEmpty())
        return {};
    return QPixmap(QStringLiteral(":/bitmaps/%1.svg").arg(name));
}

QSize PictureButton::sizeHint() const {
    return up_.isNull() ? QSize(22, 22) : up_.size();
}

const QPixmap& PictureButton::currentPicture() const {
    if (!isEnabled() && !disabled_.isNull())
        return disabled_;
    if ((isDown() || isChecked()) && !down_.isNull())
        return down_;
    if (hasFocus() && !focus_.isNull())
        return focus_;
    return up_;
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), currentPicture());
}

}  // namespace krl
