#include "video/ui/VideoButtonRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace krl {

VideoButtonRow::VideoButtonRow(QWidget* parent, const QString& menuTip,
                               std::function<void(QPoint)> openMenu, std::function<void()> hold)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    menu_ = new QToolButton(this);
    menu_->setObjectName(QStringLiteral("menuButton"));
    menu_->setText(QStringLiteral("Menu"));
    menu_->setToolTip(menuTip);
    hold_ = new QToolButton(this);
    hold_->setObjectName(QStringLiteral("holdButton"));
    hold_->setText(QStringLiteral("Hold"));
    hold_->setToolTip(QStringLiteral("Hold Call"));
    status_ = new QLabel(QStringLiteral(" "), this);
    status_->setObjectName(QStringLiteral("status"));
    row->addWidget(menu_);
    row->addWidget(hold_);
    row->addWidget(status_, 1);
    connect(menu_, &QToolButton::clicked, this, [this, openMenu = std::move(openMenu)] {
        if (openMenu)
            openMenu(menu_->mapToGlobal(QPoint(0, menu_->height())));
    });
    connect(hold_, &QToolButton::clicked, this, [hold = std::move(hold)] {
        if (hold)
            hold();
    });
}

void VideoButtonRow::setStatus(const QString& text) {
    status_->setText(text);
}

QString VideoButtonRow::status() const {
    return status_->text();
}

void VideoButtonRow::setHoldShown(bool shown) {
    // The row keeps its place in the layout whether or not the button is there.
    QSizePolicy policy = hold_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    hold_->setSizePolicy(policy);
    hold_->setVisible(shown);
}

}  // namespace krl
