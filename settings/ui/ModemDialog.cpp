#include "settings/ui/ModemDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "connection/ModemList.h"
#include "resources/StringTable.h"

namespace krl {
namespace {

constexpr int kFirstPort = 61204;
constexpr int kLastPort = 61207;
constexpr int kFirstSpeed = 61208;
constexpr int kLastSpeed = 61213;

template <typename W>
W* named(W* w, int id) {
    w->setObjectName(QStringLiteral("id%1").arg(id));
    return w;
}

}  // namespace

ModemDialog::ModemDialog(const CommsSettings& comms, const StringTable& strings, QWidget* parent)
    : QDialog(parent), comms_(comms) {
    setObjectName(QStringLiteral("Dialog348"));
    setWindowTitle(QStringLiteral("Modem"));

    prefix_ = named(new QLineEdit(this), 1248);
    prefix_->setMaxLength(20);
    inactive_ = named(new QSpinBox(this), 346);
    inactive_->setRange(0, static_cast<int>(CommsSettings::kMaxFileInActive));
    inactive_->setSuffix(QStringLiteral(" minutes of no activity."));
    speakerOff_ = named(
        new QCheckBox(QStringLiteral("&Turn the modem speaker off when listening."), this), 1271);
    rings_ = named(new QSpinBox(this), 1264);
    rings_->setRange(static_cast<int>(CommsSettings::kMinRings),
                     static_cast<int>(CommsSettings::kMaxRings));
    rings_->setSuffix(QStringLiteral(" rings."));
    modem_ = named(new QComboBox(this), 349);
    modemFile_ = named(new QComboBox(this), 1078);
    modemFile_->hide();
    // Any device path is a port here, so the list of the four classic names can be typed over.
    port_ = named(new QComboBox(this), 1077);
    port_->setEditable(true);
    for (int id = kFirstPort; id <= kLastPort; ++id)
        port_->addItem(QString::fromStdString(strings.text(id)));
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
    layout->addWidget(modemFile_);
    layout->addWidget(buttons);
    fill();
}

void ModemDialog::fill() {
    prefix_->setText(QString::fromStdString(comms_.outsideLinePrefix));
    inactive_->setValue(static_cast<int>(std::min<std::uint32_t>(comms_.fileInActive, 9999)));
    speakerOff_->setChecked(comms_.speakerOff);
    rings_->setValue(static_cast<int>(std::clamp<std::uint32_t>(comms_.ringsCount, 1, 255)));

    for (const ModemEntry& m : listModems(comms_.homeDir)) {
        modem_->addItem(QString::fromStdString(m.name));
        modemFile_->addItem(QString::fromStdString(m.path));
    }
    // The first name that begins with the stored one, else the first entry.
    const QString stored = QString::fromStdString(comms_.modemName);
    int at = modem_->count() ? 0 : -1;
    for (int i = 0; i < modem_->count() && !stored.isEmpty(); ++i) {
        if (modem_->itemText(i).startsWith(stored)) {
            at = i;
            break;
        }
    }
    modem_->setCurrentIndex(at);

    const QString port = QString::fromStdString(comms_.portName);
    const int portAt = port_->findText(port, Qt::MatchFixedString);
    if (portAt >= 0)
        port_->setCurrentIndex(portAt);
    else if (!port.isEmpty())
        port_->setEditText(port);
    else
        port_->setCurrentIndex(0);
    const int speedAt = speed_->findText(QString::number(comms_.baudRate));
    speed_->setCurrentIndex(speedAt >= 0 ? speedAt : 0);
}

void ModemDialog::accept() {
    comms_.outsideLinePrefix = prefix_->text().left(20).toStdString();
    comms_.fileInActive = static_cast<std::uint32_t>(inactive_->value());
    comms_.speakerOff = speakerOff_->isChecked();
    comms_.ringsCount = static_cast<std::uint32_t>(rings_->value());
    if (modem_->currentIndex() >= 0) {
        comms_.modemName = modem_->currentText().toStdString();
        comms_.modemFile = modemFile_->itemText(modem_->currentIndex()).toStdString();
    }
    comms_.portName = port_->currentText().trimmed().toStdString();
    bool ok = false;
    const uint speed = speed_->currentText().toUInt(&ok);
    if (ok && speed > 0)
        comms_.baudRate = speed;
    QDialog::accept();
}

}  // namespace krl
