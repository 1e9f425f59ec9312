#include "settings/ui/ModemField.h"

#include <QComboBox>
#include <QVBoxLayout>

#include "settings/ModemChoice.h"

namespace krl {

ModemField::ModemField(const std::string& homeDir, int controlId,
                       const std::function<bool(const std::string&)>& usable, QWidget* parent)
    : QWidget(parent) {
    for (ModemEntry& m : listModems(homeDir)) {
        if (!usable || usable(m.path))
            modems_.push_back(std::move(m));
    }
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("id%1").arg(controlId));
    for (const ModemEntry& m : modems_)
        combo_->addItem(QString::fromStdString(m.name), QString::fromStdString(m.path));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(combo_);
}

void ModemField::select(const std::string& storedName) {
    combo_->setCurrentIndex(selectModem(modems_, storedName));
}

bool ModemField::chosen(std::string* name, std::string* file) const {
    const int at = combo_->currentIndex();
    if (at < 0 || at >= static_cast<int>(modems_.size()))
        return false;
    *name = modems_[static_cast<std::size_t>(at)].name;
    *file = modems_[static_cast<std::size_t>(at)].path;
    return true;
}

}  // namespace krl
