#include "transfer/ui/CTransferProgress.h"

namespace krl {

CTransferProgress::CTransferProgress(QWidget* parent, int id) : QProgressBar(parent) {
    if (id != 0)
        setObjectName(QStringLiteral("id%1").arg(id));
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    updateFormat();
    hideBar();
}

void CTransferProgress::showBar() {
    position_ = 0;
    setValue(0);
    setEnabled(true);
    show();
}

void CTransferProgress::hideBar() {
    position_ = 0;
    setValue(0);
    figures_.clear();
    updateFormat();
    setEnabled(false);
    hide();
}

void CTransferProgress::setLabel(const QString& label) {
    label_ = label;
    setToolTip(label);
    setAccessibleName(label);
}

int CTransferProgress::setPosition(int p) {
    const int before = position_;
    if (p == position_ && p != 0)
        return before;
    position_ = p;
    setValue(p);
    return before;
}

QString CTransferProgress::describe() const {
    return QStringLiteral("%1 %2%").arg(label_).arg(position_);
}

void CTransferProgress::setFigures(const QString& figures) {
    if (figures == figures_)
        return;
    figures_ = figures;
    updateFormat();
}

void CTransferProgress::updateFormat() {
    setFormat(figures_.isEmpty() ? QStringLiteral("%p%") : QStringLiteral("%p%  ") + figures_);
}

}  // namespace krl
