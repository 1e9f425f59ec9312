#pragma once

#include <QString>

#include "base/MessagePresenter.h"

class QWidget;

namespace krl {

class StringTable;

// The window a message is shown over: the last active modal window of the program that is not
// itself a message, else the given main window.
QWidget* messageOwner(QWidget* mainWindow);

// Shows a numbered message modally over `parent`'s last active popup and returns the answer.
// This runs a nested event loop: logic objects use a MessagePresenter instead and never wait.
MessageAnswer showMessage(QWidget* parent, const Message& message, const StringTable& table);
MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind);
MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind, const QString& argument);
MessageAnswer showMessage(QWidget* parent, int id, MessageKind kind, long argument);

}  // namespace krl
