#include "controls/ui/ShowMessage.h"

#include <QApplication>
#include <QPointer>

#include "controls/MessageDefinition.h"
#include "controls/ui/MessageDialog.h"
#include "resources/StringTable.h"

namespace krl {

QWidget* messageOwner(QWidget* mainWindow) {
    // Another message is never the owner: it goes away when it is answered and would take
    // this one with it.
    QWidget* owner = QApplication::activeModalWidget();
    while (qobject_cast<MessageDialog*>(owner)) {
        owner = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
    }
    if (owner)
        return owner;
    return mainWindow ? mainWindow->window() : nullptr;
}

MessageAnswer showMessage(QWidget* parent, const Message& message, const StringTable& table) {
    // On the heap: if its owner is destroyed while the message is open, the owner deletes it.
    QPointer<MessageDialog> dialog =
        new MessageDialog(MessageDefinition::build(table, message), table, messageOwner(parent));
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
    if (!dialog)
        return MessageAnswer::Cancel;
    MessageAnswer answer = dialog->answer().value_or(MessageAnswer::Cancel);
    delete dialog.data();
    return answer;
}

MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind) {
    return showMessage(parent, Message{id, kind, std::nullopt, std::nullopt},
                       StringTable::builtIn());
}

MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind, const QString& argument) {
    return showMessage(parent, Message{id, kind, argument.toStdString(), std::nullopt},
                       StringTable::builtIn());
}

MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind, long argument) {
    return showMessage(parent, Message{id, kind, std::nullopt, argument}, StringTable::builtIn());
}

}  // namespace krl
