#include "transfer/ui/CFileExistsDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace krl {

CFileExistsDialog::CFileExistsDialog(const QString& proposedPath, QWidget* parent)
    : QDialog(parent), proposed_(proposedPath) {
    setObjectName(QStringLiteral("CFileExistsDialog"));
    setWindowTitle(QStringLiteral("Received File Exists"));
    auto* text = new QLabel(
        QStringLiteral("A file of this name exists already. Press OK to replace it, change the "
                       "name, or press Cancel to refuse the file."),
        this);
    text->setWordWrap(true);
    name_ = new QLineEdit(proposedPath, this);
    name_->setObjectName(QStringLiteral("id%1").arg(kNameId));
    name_->setMaxLength(256);
    name_->setMinimumWidth(360);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setStyleSheet(QStringLiteral("color:#a00000"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* saveAs =
        buttons->addButton(QStringLiteral("&Save As..."), QDialogButtonBox::ActionRole);
    saveAs->setObjectName(QStringLiteral("id%1").arg(kSaveAsId));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFileExistsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(saveAs, &QPushButton::clicked, this, &CFileExistsDialog::saveAs);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(name_);
    layout->addWidget(note_);
    layout->addWidget(buttons);
}

QString CFileExistsDialog::path() const {
    return name_->text().trimmed();
}

bool CFileExistsDialog::acceptable(const QString& proposed, const QString& chosen) {
    if (chosen.isEmpty())
        return false;
    const QFileInfo info(chosen);
    return info.absoluteFilePath() == QFileInfo(proposed).absoluteFilePath() ||
           (!info.exists() && !info.isSymLink());
}

void CFileExistsDialog::accept() {
    if (!acceptable(proposed_, path())) {
        note_->setText(path().isEmpty() ? QStringLiteral("Give the file a name.")
                                        : QStringLiteral("That name is taken by another file."));
        return;
    }
    QDialog::accept();
}

void CFileExistsDialog::saveAs() {
    // No overwrite question: a taken name is refused below, whatever the user answers there.
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save received file as:"), path(), QStringLiteral("All Files (*)"),
        nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty() || chosen == QLatin1String("*.*"))
        return;
    if (!acceptable(proposed_, chosen)) {
        note_->setText(QStringLiteral("That name is taken by another file."));
        return;
    }
    note_->clear();
    name_->setText(chosen);
}

void QtFileExistsQuestion::ask(const std::string& proposedPath, Answer answer) {
    auto* dialog = new CFileExistsDialog(QString::fromStdString(proposedPath), parent_());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(true);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, answer = std::move(answer)](int result) {
                         if (result == QDialog::Accepted)
                             answer(dialog->path().toStdString());
                         else
                             answer(std::nullopt);
                     });
    dialog->open();
}

}  // namespace krl
