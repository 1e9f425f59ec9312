#pragma once

#include <QDialog>
#include <QString>

#include "video/SnapshotFile.h"

class QLabel;
class QLineEdit;

namespace krl {

// "Snapshot": shows a picture just written, lets the user name it, save it elsewhere or throw
// it away.
class SnapshotDialog : public QDialog {
public:
    // writtenPath: the freshly written bitmap. Returns the final path, or empty when cancelled.
    static QString run(QWidget* parent, const QString& writtenPath);

private:
    SnapshotDialog(QWidget* parent, const QString& writtenPath);
    void saveAs();
    void accept() override;
    void reject() override;

    SnapshotFile file_;
    QLabel* picture_ = nullptr;
    QLineEdit* name_ = nullptr;
    QString result_;
};

}  // namespace krl
