#include "video/ui/SnapshotDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace krl {

SnapshotDialog::SnapshotDialog(QWidget* parent, const QString& writtenPath) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Snapshot"));
    setObjectName(QStringLiteral("dialog243"));
    auto* layout = new QVBoxLayout(this);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("picture1199"));
    picture_->setMinimumSize(176, 144);
    picture_->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture_);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("edit1078"));
    layout->addWidget(name_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* saveAs =
        buttons->addButton(QStringLiteral("&Save As..."), QDialogButtonBox::ActionRole);
    saveAs->setObjectName(QStringLiteral("button1234"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SnapshotDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SnapshotDialog::reject);
    connect(saveAs, &QPushButton::clicked, this, &SnapshotDialog::saveAs);
    if (file_.take(writtenPath.toStdString())) {
        picture_->setPixmap(QPixmap(QString::fromStdString(file_.temporaryPath())));
        name_->setText(writtenPath);
    }
}

QString SnapshotDialog::run(QWidget* parent, const QString& writtenPath) {
    SnapshotDialog dialog(parent, writtenPath);
    if (dialog.file_.temporaryPath().empty())
        return {};
    dialog.exec();
    return dialog.result_;
}

void SnapshotDialog::saveAs() {
    // The save box asks before it replaces an existing file; that answer is the user's consent.
    QString chosen =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save snapshot as bitmap"), name_->text(),
                                     QStringLiteral("Bitmap Files (*.bmp);;All Files (*.*)"));
    if (chosen.isEmpty() || chosen == QStringLiteral("*.*"))
        return;
    if (!chosen.contains(QLatin1Char('.')))
        chosen += QStringLiteral(".bmp");
    file_.chooseTarget(chosen.toStdString());
    name_->setText(chosen);
}

void SnapshotDialog::accept() {
    if (!file_.keep(name_->text().toStdString())) {
        // A typed name of a file that exists is not overwritten: Save As asks for that.
        name_->setFocus();
        name_->selectAll();
        return;
    }
    result_ = QString::fromStdString(file_.target());
    QDialog::accept();
}

void SnapshotDialog::reject() {
    file_.discard();
    result_.clear();
    QDialog::reject();
}

}  // namespace krl
