#include "shell/ui/TransferWindowStub.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace krl {

TransferWindowStub::TransferWindowStub(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FileTransfer"));
    setWindowTitle(QStringLiteral("File Transfer"));
    auto* text =
        new QLabel(QStringLiteral("File transfer is not there yet in this version of Kestrelcall. "
                                  "Files handed to it wait here:"),
                   this);
    text->setWordWrap(true);
    list_ = new QListWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(list_);
    resize(360, 220);
}

void TransferWindowStub::queueFiles(const QStringList& files) {
    for (const QString& f : files) {
        queued_.append(f);
        list_->addItem(f);
    }
}

}  // namespace krl
