#include "shell/ui/TestChannel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWizard>

#include "controls/ui/MessageDialog.h"
#include "shell/CallController.h"
#include "shell/ui/CMainFrame.h"
#include "shell/ui/Placeholder.h"
#include "shell/ui/TransferWindowStub.h"

namespace krl {
namespace {

QList<MessageDialog*> openMessages() {
    QList<MessageDialog*> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* m = qobject_cast<MessageDialog*>(w); m && m->isVisible())
            out.append(m);
    }
    return out;
}

// The settings window in front (wizard, sheet or Modem dialog), if any.
QDialog* modalDialog() {
    return qobject_cast<QDialog*>(QApplication::activeModalWidget());
}

QString setControl(QDialog& dialog, const QString& id, const QString& text) {
    QWidget* w = dialog.findChild<QWidget*>(QStringLiteral("id") + id);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable())
            combo->setEditText(text);
        else if (combo->findText(text) >= 0)
            combo->setCurrentIndex(combo->findText(text));
        else
            return QStringLiteral("error no such entry");
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        box->setChecked(text == QLatin1String("1"));
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        spin->setValue(text.toInt());
    } else {
        return QStringLiteral("error no such control");
    }
    return QStringLiteral("ok");
}

}  // namespace

TestChannel::TestChannel(CMainFrame& frame, QObject* parent)
    : QObject(parent), frame_(frame), server_([this](const QString& line) { return run(line); }) {}

bool TestChannel::listen(const QString& name) {
    return server_.listen(name);
}

QString TestChannel::run(const QString& line) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QStringLiteral("error empty");
    const QString& verb = words[0];
    if (verb == QLatin1String("status"))
        return frame_.statusText();
    if (verb == QLatin1String("state"))
        return QString::number(static_cast<int>(frame_.call().connection().state()));
    if (verb == QLatin1String("card"))
        return frame_.cardPanelShown() ? QStringLiteral("1") : QStringLiteral("0");
    if (verb == QLatin1String("dialing"))
        return frame_.dialingWindow().dialog() ? QStringLiteral("1") : QStringLiteral("0");
    if (verb == QLatin1String("command") && words.size() == 2) {
        const int id = words[1].toInt();
        // Queued: a command may open a modal window, and the answer must go out first.
        QTimer::singleShot(0, &frame_,
                           [this, id] { frame_.runCommand(static_cast<CommandId>(id)); });
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("key") && words.size() == 2) {
        // The accelerator table's way: the frame's action that carries this key.
        const QKeySequence keys(words[1]);
        for (QAction* a : frame_.findChildren<QAction*>()) {
            if (a->shortcut() == keys) {
                if (!a->isEnabled())
                    return QStringLiteral("error disabled");
                QTimer::singleShot(0, a, &QAction::trigger);
                return QStringLiteral("ok");
            }
        }
        return QStringLiteral("error no such key");
    }
    if (verb == QLatin1String("messages")) {
        QStringList ids;
        for (MessageDialog* m : openMessages())
            ids.append(QString::number(m->definition().id));
        return ids.join(QLatin1Char(' '));
    }
    if (verb == QLatin1String("answer") && words.size() == 2) {
        const QList<MessageDialog*> open = openMessages();
        if (open.isEmpty())
            return QStringLiteral("error no message");
        const QString which = words[1].toLower();
        MessageButton b = which == QLatin1String("yes")      ? MessageButton::Yes
                          : which == QLatin1String("no")     ? MessageButton::No
                          : which == QLatin1String("cancel") ? MessageButton::Cancel
                          : which == QLatin1String("retry")  ? MessageButton::Retry
                                                             : MessageButton::Ok;
        QPushButton* button = open.last()->button(b);
        if (!button || !button->isVisible())
            return QStringLiteral("error no such button");
        QTimer::singleShot(0, button, &QPushButton::click);
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("modal")) {
        QDialog* d = modalDialog();
        if (!d)
            return QString();
        auto* wizard = qobject_cast<QWizard*>(d);
        return wizard && wizard->currentPage()
                   ? d->objectName() + QLatin1Char(' ') + wizard->currentPage()->objectName()
                   : d->objectName();
    }
    if (verb == QLatin1String("set") && words.size() >= 2) {
        QDialog* d = modalDialog();
        if (!d)
            return QStringLiteral("error no dialog");
        return setControl(*d, words[1], words.mid(2).join(QLatin1Char(' ')));
    }
    if (verb == QLatin1String("press") && words.size() == 2) {
        QDialog* d = modalDialog();
        if (!d)
            return QStringLiteral("error no dialog");
        auto* wizard = qobject_cast<QWizard*>(d);
        const QString& which = words[1];
        if (wizard && which == QLatin1String("next"))
            wizard->next();
        else if (wizard && which == QLatin1String("back"))
            wizard->back();
        else if (which == QLatin1String("ok") || which == QLatin1String("finish"))
            QTimer::singleShot(0, d, &QDialog::accept);
        else if (which == QLatin1String("cancel"))
            QTimer::singleShot(0, d, &QDialog::reject);
        else
            return QStringLiteral("error no such button");
        return QStringLiteral("ok");
    }
    if (verb == QLatin1String("placeholders")) {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<Placeholder*>(w); p && p->isVisible())
                names.append(p->feature());
        }
        return names.join(QLatin1Char('\t'));
    }
    if (verb == QLatin1String("queued")) {
        return frame_.transferWindow() ? frame_.transferWindow()->queued().join(QLatin1Char('\t'))
                                       : QString();
    }
    if (verb == QLatin1String("grab") && words.size() == 3) {
        QWidget* target = nullptr;
        if (words[1] == QLatin1String("frame"))
            target = &frame_;
        else if (words[1] == QLatin1String("dialing"))
            target = frame_.dialingWindow().dialog();
        else if (words[1] == QLatin1String("message") && !openMessages().isEmpty())
            target = openMessages().last();
        else if (words[1] == QLatin1String("modal"))
            target = modalDialog();
        if (!target)
            return QStringLiteral("error nothing to grab");
        return target->grab().save(words[2]) ? QStringLiteral("ok")
                                             : QStringLiteral("error cannot save");
    }
    if (verb == QLatin1String("quit")) {
        QTimer::singleShot(0, &frame_, [this] { frame_.runCommand(CommandId::Exit); });
        return QStringLiteral("ok");
    }
    return QStringLiteral("error unknown command");
}

}  // namespace krl
