#include "controls/ui/ShowMessage.h"

#include <QApplication>

#include "controls/MessageDefinition.h"
#include "controls/ui/MessageDialog.h"
#include "resources/StringTable.h"

namespace krl {

QWidget* messageOwner(QWidget* mainWindow) {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return mainWindow ? mainWindow->window() : nullptr;
}

MessageAnswer showMessage(QWidget* parent, const Message& message, const StringTable& table) {
    MessageDialog dialog(MessageDefinition::build(table, message), table, messageOwner(parent));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
    return dialog.answer().value_or(MessageAnswer::Cancel);
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
