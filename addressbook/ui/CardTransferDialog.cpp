#include "addressbook/ui/CardTransferDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace krl {
namespace {

constexpr int kStopSending = 0;
constexpr int kAcknowledge = -1;

}  // namespace

CardTransferDialog::CardTransferDialog(Hooks hooks, int timeSliceMs, QWidget* parent)
    : QDialog(parent), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("Dialog276"));
    setWindowTitle(QStringLiteral("Transferring Business Card"));
    sending_ = new QProgressBar(this);
    sending_->setObjectName(QStringLiteral("id%1").arg(kSending));
    receiving_ = new QProgressBar(this);
    receiving_->setObjectName(QStringLiteral("id%1").arg(kReceiving));
    for (QProgressBar* bar : {sending_, receiving_}) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("id%1").arg(kStop));
    stop_->setEnabled(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Help)->setObjectName(QStringLiteral("id%1").arg(kHelp));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Sending:"), sending_);
    form->addRow(QStringLiteral("Receiving:"), receiving_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(stop_, 0, Qt::AlignRight);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &CardTransferDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (hooks_.help)
            hooks_.help(HelpWindow::AddressBookCards);
    });
    connect(stop_, &QPushButton::clicked, this, &CardTransferDialog::stop);
    connect(&timer_, &QTimer::timeout, this, &CardTransferDialog::tick);
    timer_.start(timeSliceMs > 0 ? timeSliceMs : 100);
}

void CardTransferDialog::tick() {
    if (hooks_.pump)
        hooks_.pump();
    if (!hooks_.connected || !hooks_.connected()) {
        reject();
        return;
    }
    const CardTransferProgress::Step step = progress_.step(hooks_.sending(), hooks_.receiving());
    if (step.sendingPercent)
        sending_->setValue(*step.sendingPercent);
    if (step.receivingPercent)
        receiving_->setValue(*step.receivingPercent);
    if (step.stopEnabled)
        stop_->setEnabled(*step.stopEnabled);
    if (step.acknowledgeSend)
        hooks_.controlSend(kAcknowledge);
    if (step.disconnect && hooks_.disconnect)
        hooks_.disconnect();
    if (step.done) {
        timer_.stop();
        accept();
    }
}

void CardTransferDialog::stop() {
    if (hooks_.sending().kind < 0)
        hooks_.controlSend(kStopSending);
    setFocus();
    stop_->setEnabled(false);
}

void CardTransferDialog::reject() {
    timer_.stop();
    // Only card pictures are stopped: a file the user sends or receives beside them goes on.
    if (hooks_.sending().kind < 0)
        hooks_.controlSend(kStopSending);
    if (hooks_.receiving().kind < 0)
        hooks_.stopReceiving();
    QDialog::reject();
}

}  // namespace krl
