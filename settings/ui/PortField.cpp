#include "settings/ui/PortField.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "settings/ModemChoice.h"

namespace krl {

PortField::PortField(std::vector<PortChoice> choices, int controlId, QWidget* parent)
    : QWidget(parent), choices_(std::move(choices)) {
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("id%1").arg(controlId));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    combo_->lineEdit()->setPlaceholderText(
        QStringLiteral("Com1, /dev/ttyUSB0 or rfc2217://host:port"));
    for (const PortChoice& c : choices_) {
        combo_->addItem(QString::fromStdString(c.name));
        combo_->setItemData(combo_->count() - 1, QString::fromStdString(c.description),
                            Qt::ToolTipRole);
    }
    description_ = new QLabel(this);
    description_->setObjectName(QStringLiteral("portDescription"));
    QFont small = description_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    description_->setFont(small);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(combo_);
    layout->addWidget(description_);
    connect(combo_, &QComboBox::currentTextChanged, this, [this] { describe(); });
    describe();
}

void PortField::setPort(const std::string& name) {
    std::vector<std::string> names;
    for (const PortChoice& c : choices_)
        names.push_back(c.name);
    const int at = selectPort(names, name);
    if (at >= 0)
        combo_->setCurrentIndex(at);
    else if (!name.empty())
        combo_->setEditText(QString::fromStdString(name));
    else
        combo_->setCurrentIndex(combo_->count() ? 0 : -1);
    describe();
}

std::string PortField::port() const {
    return combo_->currentText().trimmed().toStdString();
}

void PortField::describe() {
    const std::string name = port();
    for (const PortChoice& c : choices_) {
        if (c.name == name) {
            description_->setText(QString::fromStdString(c.description));
            return;
        }
    }
    description_->setText(name.empty() || acceptable()
                              ? QString()
                              : QStringLiteral("Not a port name: type COMn, a device path or "
                                               "rfc2217://host:port."));
}

}  // namespace krl
