#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include "base/MessagePresenter.h"
#include "controls/ui/MessageDialog.h"

class QWidget;

namespace krl {

class StringTable;

// Shows numbered messages in the message dialog without waiting: show() opens the dialog
// (application-modal) and returns at once; the answer reaches the handler later, as its own
// event from the event loop, so it never arrives inside show() nor inside whatever the caller
// is running when the user clicks. A dialog that disappears unanswered (its owner window
// destroyed) answers Cancel, as closing it would; a withdrawn one answers nothing.
class DialogMessagePresenter : public QObject, public MessagePresenter {
    Q_OBJECT

public:
    DialogMessagePresenter(QWidget* mainWindow, const StringTable& table,
                           MessageDialogOptions options = {});
    ~DialogMessagePresenter() override;

    void show(const Message& message, AnswerHandler onAnswer) override;
    void withdraw(int id) override;
    // The window the dialogs belong to, once it exists (the presenter may be made before it).
    void setMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // The dialogs open now, oldest first.
    QList<MessageDialog*> openDialogs() const;

signals:
    void dialogOpened(krl::MessageDialog* dialog);
    void helpRequested(int messageId);

private:
    void deliver(const AnswerHandler& onAnswer, MessageAnswer answer);

    QPointer<QWidget> mainWindow_;
    const StringTable& table_;
    MessageDialogOptions options_;
    // Held as QObject: a dialog is still listed while its destructors run.
    QList<QPointer<QObject>> dialogs_;
};

}  // namespace krl
