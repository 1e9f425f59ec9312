#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "link/ReceiveQuestions.h"

class QLabel;
class QLineEdit;

namespace krl {

// "Received File Exists" (template 274): the name an incoming file would take is taken; the
// user keeps it (the file there is replaced), types another or picks one with Save As, or
// refuses the file. Another file of the user's is never overwritten: a name chosen in Save As
// or typed must be free, or be the proposed one.
class CFileExistsDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kNameId = 1078;
    static constexpr int kSaveAsId = 1076;

    CFileExistsDialog(const QString& proposedPath, QWidget* parent = nullptr);
    QString path() const;
    // Whether the name may be taken: the proposed one, or one nothing has.
    static bool acceptable(const QString& proposed, const QString& chosen);

    void accept() override;

private:
    void saveAs();

    QString proposed_;
    QLineEdit* name_ = nullptr;
    QLabel* note_ = nullptr;
};

// The receiver's question, asked with the dialog without waiting: the answer comes when the
// dialog ends.
class QtFileExistsQuestion : public FileExistsQuestion {
public:
    explicit QtFileExistsQuestion(std::function<QWidget*()> parent) : parent_(std::move(parent)) {}
    void ask(const std::string& proposedPath, Answer answer) override;

private:
    std::function<QWidget*()> parent_;
};

}  // namespace krl
