#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace krl {

// Stands in for the file transfer window until it exists: it keeps the files handed to it
// (second instance, drop, command line) in a visible list, so none is lost, and says that
// sending is not there yet.
class TransferWindowStub : public QDialog {
    Q_OBJECT

public:
    explicit TransferWindowStub(QWidget* parent);
    void queueFiles(const QStringList& files);
    const QStringList& queued() const { return queued_; }

private:
    QStringList queued_;
    QListWidget* list_ = nullptr;
};

}  // namespace krl
