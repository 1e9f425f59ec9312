#include "transfer/ui/TransferPane.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include "transfer/ui/CTransferProgress.h"

namespace krl {

TransferPane::TransferPane(const QString& label, int stopCommand, QWidget* parent)
    : QWidget(parent) {
    label_ = new QLabel(label, this);
    name_ = new QLabel(this);
    name_->setFixedWidth(150);
    percent_ = new QLabel(QStringLiteral("0%"), this);
    percent_->setFixedWidth(50);
    rate_ = new QLabel(QStringLiteral("0 CPS"), this);
    rate_->setMinimumWidth(60);
    bar_ = new CTransferProgress(this, kBarId);
    bar_->setMinimumWidth(150);
    bar_->showBar();
    stop_ = new QToolButton(this);
    stop_->setObjectName(QStringLiteral("id%1").arg(stopCommand));
    stop_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    stop_->setToolTip(QStringLiteral("Stop"));
    connect(stop_, &QToolButton::clicked, this, &TransferPane::stopPressed);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setVerticalSpacing(2);
    grid->addWidget(label_, 0, 0);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(percent_, 0, 2);
    grid->addWidget(rate_, 0, 3);
    grid->addWidget(bar_, 1, 1, 1, 3);
    grid->addWidget(stop_, 1, 4);
    grid->setColumnStretch(3, 1);
    setEnabled(false);
}

void TransferPane::update(const QString& path, int percent, long rate, const QString& figures) {
    if (path != path_) {
        path_ = path;
        const QString name = QFileInfo(path).fileName();
        name_->setText(name_->fontMetrics().elidedText(name, Qt::ElideRight, name_->width()));
        name_->setToolTip(path);
        bar_->setLabel(name);
    }
    if (percent >= 0) {
        percent_->setText(QStringLiteral("%1%").arg(percent));
        bar_->setPosition(percent);
    }
    if (rate >= 0)
        rate_->setText(QStringLiteral("%1 CPS").arg(rate));
    bar_->setFigures(figures);
    if (!path.isEmpty())
        setEnabled(true);
    else if (percent == 0 && rate == 0)
        setEnabled(false);
}

QString TransferPane::nameText() const {
    return name_->text();
}
QString TransferPane::percentText() const {
    return percent_->text();
}
QString TransferPane::rateText() const {
    return rate_->text();
}

}  // namespace krl
