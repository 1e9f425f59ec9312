#include "controls/ui/GreyLabel.h"

namespace krl {

GreyLabel::GreyLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::WindowText, Qt::white);
    setPalette(p);
}

}  // namespace krl
