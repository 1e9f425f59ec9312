#include "video/ui/VideoSourceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

#include "video/CaptureSource.h"

namespace krl {

VideoSourceDialog::VideoSourceDialog(QWidget* parent, std::vector<std::string> drivers,
                                     const std::string& current)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Video Source"));
    setObjectName(QStringLiteral("VideoSource"));
    auto* form = new QFormLayout(this);
    box_ = new QComboBox(this);
    box_->setObjectName(QStringLiteral("source"));
    drivers.emplace_back(CaptureSourceFactory::kNone);
    for (const std::string& name : drivers)
        box_->addItem(QString::fromStdString(name));
    const int at = box_->findText(QString::fromStdString(current), Qt::MatchFixedString);
    box_->setCurrentIndex(at >= 0 ? at : 0);
    form->addRow(QStringLiteral("&Video source:"), box_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

std::string VideoSourceDialog::chosen() const {
    return box_->currentText().toStdString();
}

}  // namespace krl
