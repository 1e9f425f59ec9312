#include "shell/ui/Placeholder.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace krl {

Placeholder::Placeholder(const QString& feature, QWidget* parent)
    : QDialog(parent), feature_(feature) {
    setObjectName(QStringLiteral("Placeholder"));
    setWindowTitle(feature);
    auto* text = new QLabel(
        QStringLiteral("%1 is not there yet in this version of Kestrelcall.").arg(feature), this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    setAttribute(Qt::WA_DeleteOnClose);
}

Placeholder* Placeholder::open(const QString& feature, QWidget* parent) {
    auto* p = new Placeholder(feature, parent);
    p->setWindowModality(Qt::WindowModal);
    p->show();
    return p;
}

}  // namespace krl
