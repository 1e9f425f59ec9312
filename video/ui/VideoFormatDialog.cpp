#include "video/ui/VideoFormatDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

#include "video/CaptureFormats.h"

namespace krl {

VideoFormatDialog::VideoFormatDialog(QWidget* parent, std::vector<PictureSize> sizes,
                                     PictureSize current)
    : QDialog(parent), sizes_(std::move(sizes)) {
    setWindowTitle(QStringLiteral("Video Format"));
    setObjectName(QStringLiteral("VideoFormat"));
    auto* form = new QFormLayout(this);
    box_ = new QComboBox(this);
    box_->setObjectName(QStringLiteral("size"));
    for (PictureSize s : sizes_)
        box_->addItem(QStringLiteral("%1 x %2").arg(s.width).arg(s.height));
    if (!sizes_.empty())
        box_->setCurrentIndex(CaptureFormats::indexFor(sizes_, current));
    form->addRow(QStringLiteral("&Image size:"), box_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Nothing to choose from (the camera says nothing of its sizes): only Cancel makes sense.
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!sizes_.empty());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

PictureSize VideoFormatDialog::chosen() const {
    const int i = box_->currentIndex();
    if (i < 0 || i >= static_cast<int>(sizes_.size()))
        return {};
    return sizes_[static_cast<std::size_t>(i)];
}

}  // namespace krl
