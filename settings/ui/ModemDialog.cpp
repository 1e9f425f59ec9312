#include "settings/ui/ModemDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "resources/StringTable.h"
#include "settings/ControlRanges.h"
#include "settings/ui/ModemField.h"
#include "settings/ui/PortField.h"

namespace krl {
namespace {

constexpr int kFirstSpeed = 61208;
constexpr int kLastSpeed = 61213;

template <typename W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

}  // namespace

ModemDialog::ModemDialog(const CommsSettings& comms, std::vector<PortChoice> ports,
                         const StringTable& strings, QWidget* parent)
    : QDialog(parent), comms_(ControlRanges::forControls(comms)) {
    setObjectName(QStringLiteral("Dialog348"));
    setWindowTitle(QStringLiteral("Modem"));

    prefix_ = named(new QLineEdit(this), 1248);
    prefix_->setMaxLength(static_cast<int>(ControlRanges::kMaxPrefixChars));
    inactive_ = named(new QSpinBox(this), 346);
    inactive_->setRange(0, static_cast<int>(ControlRanges::kMaxInactiveMinutes));
    inactive_->setSuffix(QStringLiteral(" minutes of no activity."));
    speakerOff_ = named(
        new QCheckBox(QStringLiteral("&Turn the modem speaker off when listening."), this), 1271);
    rings_ = named(new QSpinBox(this), 1264);
    rings_->setRange(static_cast<int>(ControlRanges::kMinRings),
                     static_cast<int>(ControlRanges::kMaxRings));
    rings_->setSuffix(QStringLiteral(" rings."));
    modem_ = new ModemField(comms_.homeDir, 349, {}, this);
    port_ = new PortField(std::move(ports), 1077, this);
    speed_ = named(new QComboBox(this), 352);
    for (int id = kFirstSpeed; id <= kLastSpeed; ++id)
        speed_->addItem(QString::fromStdString(strings.text(id)));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("To access an &outside line, first dial"), prefix_);
    form->addRow(QStringLiteral("&Disconnect after"), inactive_);
    form->addRow(speakerOff_);
    form->addRow(QStringLiteral("&Answer incoming calls after "), rings_);
    form->addRow(QStringLiteral("&Modem:"), modem_);
    form->addRow(QStringLiteral("&Connected To:"), port_);
    form->addRow(QStringLiteral("Port &Speed:"), speed_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ModemDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ModemDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    fill();
}

void ModemDialog::fill() {
    prefix_->setText(QString::fromStdString(comms_.outsideLinePrefix));
    inactive_->setValue(static_cast<int>(comms_.fileInActive));
    speakerOff_->setChecked(comms_.speakerOff);
    rings_->setValue(static_cast<int>(comms_.ringsCount));
    modem_->select(comms_.modemName);
    port_->setPort(comms_.portName);
    const int speedAt = speed_->findText(QString::number(comms_.baudRate));
    speed_->setCurrentIndex(speedAt >= 0 ? speedAt : 0);
}

void ModemDialog::accept() {
    // A port name nothing can open is not stored; the field says why.
    if (!port_->acceptable()) {
        port_->combo()->setFocus();
        return;
    }
    comms_.outsideLinePrefix = prefix_->text().left(20).toStdString();
    comms_.fileInActive = static_cast<std::uint32_t>(inactive_->value());
    comms_.speakerOff = speakerOff_->isChecked();
    comms_.ringsCount = static_cast<std::uint32_t>(rings_->value());
    modem_->chosen(&comms_.modemName, &comms_.modemFile);
    comms_.portName = port_->port();
    bool ok = false;
    const uint speed = speed_->currentText().toUInt(&ok);
    if (ok && speed > 0)
        comms_.baudRate = speed;
    QDialog::accept();
}

}  // namespace krl
