#include "video/ui/StatisticsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace krl {
namespace {

QLabel* field(QWidget* parent, int id, const std::string& text, int limit) {
    QString shown = QString::fromStdString(text);
    if (limit > 0)
        shown = shown.left(limit);
    auto* label = new QLabel(shown, parent);
    label->setObjectName(QStringLiteral("static%1").arg(id));
    label->setMinimumWidth(80);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QGroupBox* directionBox(QWidget* parent, const QString& title, const StatisticsTexts::Direction& d,
                        const int ids[5], bool limits) {
    auto* box = new QGroupBox(title, parent);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Frames Per Second:"), field(box, ids[0], d.framesPerSecond, 10));
    form->addRow(QStringLiteral("Bytes Per Frame:"), field(box, ids[1], d.bytesPerFrame, 10));
    form->addRow(QStringLiteral("Transfer CPS:"),
                 field(box, ids[2], d.transferCps, limits ? 10 : 0));
    form->addRow(QStringLiteral("Utilization %:"), field(box, ids[3], d.utilisation, 10));
    form->addRow(QStringLiteral("Packet Error Count:"),
                 field(box, ids[4], d.packetErrors, limits ? 10 : 0));
    return box;
}

}  // namespace

StatisticsDialog::StatisticsDialog(QWidget* parent, const StatisticsTexts& t) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Connection Statistics"));
    setObjectName(QStringLiteral("dialog1000"));
    auto* layout = new QVBoxLayout(this);
    auto* who = new QGroupBox(QStringLiteral("Connected to"), this);
    auto* form = new QFormLayout(who);
    form->addRow(QStringLiteral("Name:"), field(who, 353, t.name, 64));
    form->addRow(QStringLiteral("Phone No:"), field(who, 1193, t.phone, 32));
    form->addRow(QStringLiteral("Speed:"), field(who, 1276, t.speed, 20));
    layout->addWidget(who);
    auto* row = new QHBoxLayout;
    static constexpr int kSending[5] = {1277, 1278, 1144, 1279, 1280};
    static constexpr int kReceiving[5] = {1281, 1282, 1146, 1284, 1285};
    row->addWidget(directionBox(this, QStringLiteral("Sending"), t.sending, kSending, true));
    row->addWidget(directionBox(this, QStringLiteral("Receiving"), t.receiving, kReceiving, false));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("button2"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString StatisticsDialog::fieldText(int id) const {
    auto* label = findChild<QLabel*>(QStringLiteral("static%1").arg(id));
    return label != nullptr ? label->text() : QString();
}

}  // namespace krl
