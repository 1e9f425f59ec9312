#include "controls/ui/DialogMessagePresenter.h"

#include <memory>

#include "controls/MessageDefinition.h"
#include "controls/ui/ShowMessage.h"

namespace krl {

DialogMessagePresenter::DialogMessagePresenter(QWidget* mainWindow, const StringTable& table,
                                               MessageDialogOptions options)
    : mainWindow_(mainWindow), table_(table), options_(std::move(options)) {}

DialogMessagePresenter::~DialogMessagePresenter() {
    // Whoever waited for these answers goes with the presenter; no answer is delivered.
    for (const QPointer<QObject>& dialog : dialogs_) {
        if (dialog) {
            dialog->disconnect(this);
            delete dialog.data();
        }
    }
}

void DialogMessagePresenter::show(const Message& message, AnswerHandler onAnswer) {
    auto* dialog = new MessageDialog(MessageDefinition::build(table_, message), table_,
                                     messageOwner(mainWindow_), options_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);

    auto delivered = std::make_shared<bool>(false);
    connect(dialog, &MessageDialog::answered, this, [this, onAnswer, delivered](MessageAnswer a) {
        *delivered = true;
        deliver(onAnswer, a);
    });
    // Emitted from the base destructors: the dialog is no longer a MessageDialog, so it is only
    // ever compared as a QObject here.
    connect(dialog, &QObject::destroyed, this, [this, onAnswer, delivered](QObject* gone) {
        dialogs_.removeIf([gone](const QPointer<QObject>& d) { return d.isNull() || d == gone; });
        if (!*delivered)
            deliver(onAnswer, MessageAnswer::Cancel);
    });
    connect(dialog, &MessageDialog::helpRequested, this, &DialogMessagePresenter::helpRequested);

    dialogs_.append(dialog);
    dialog->show();
    emit dialogOpened(dialog);
}

void DialogMessagePresenter::withdraw(int id) {
    for (MessageDialog* dialog : openDialogs()) {
        if (dialog->definition().id != id)
            continue;
        // Cut off from its handler first: neither its answer nor its destruction reaches it.
        // Hidden at once, so the modal dialogs left (one may lie above it) go on as before;
        // deleted later, since whatever asks for this may be running under one of its own
        // events.
        dialog->disconnect(this);
        dialog->hide();
        dialog->deleteLater();
    }
}

void DialogMessagePresenter::deliver(const AnswerHandler& onAnswer, MessageAnswer answer) {
    if (!onAnswer)
        return;
    // Queued: the handler runs from the event loop after the click (or time-out) has been fully
    // handled and the dialog is gone.
    QMetaObject::invokeMethod(
        this, [onAnswer, answer] { onAnswer(answer); }, Qt::QueuedConnection);
}

QList<MessageDialog*> DialogMessagePresenter::openDialogs() const {
    QList<MessageDialog*> open;
    for (const QPointer<QObject>& dialog : dialogs_) {
        auto* shown = qobject_cast<MessageDialog*>(dialog.data());
        if (shown && shown->isVisible())
            open.append(shown);
    }
    return open;
}

}  // namespace krl
