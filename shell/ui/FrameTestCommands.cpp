#include "shell/ui/FrameTestCommands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWizard>

#include "connection/ui/DialingDialog.h"
#include "controls/ui/MessageDialog.h"
#include "platform/qt/LineCommandServer.h"
#include "shell/CallController.h"
#include "shell/ui/CMainFrame.h"

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

template <class Window>
Window* openWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

QString answerButton(const QString& which) {
    const QList<MessageDialog*> open = openMessages();
    if (open.isEmpty())
        return QStringLiteral("error no message");
    const QString w = which.toLower();
    const MessageButton b = w == QLatin1String("yes")      ? MessageButton::Yes
                            : w == QLatin1String("no")     ? MessageButton::No
                            : w == QLatin1String("cancel") ? MessageButton::Cancel
                            : w == QLatin1String("retry")  ? MessageButton::Retry
                                                           : MessageButton::Ok;
    QPushButton* button = open.last()->button(b);
    if (!button || !button->isVisible())
        return QStringLiteral("error no such button");
    QTimer::singleShot(0, button, &QPushButton::click);
    return QStringLiteral("ok");
}

QString pressDialogButton(const QString& which) {
    QDialog* d = modalDialog();
    if (!d)
        return QStringLiteral("error no dialog");
    auto* wizard = qobject_cast<QWizard*>(d);
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

QString pressKey(CMainFrame& frame, const QString& sequence) {
    // The accelerator table's way: the frame's action that carries this key.
    const QKeySequence keys(sequence);
    for (QAction* a : frame.findChildren<QAction*>()) {
        if (a->shortcut() == keys) {
            if (!a->isEnabled())
                return QStringLiteral("error disabled");
            QTimer::singleShot(0, a, &QAction::trigger);
            return QStringLiteral("ok");
        }
    }
    return QStringLiteral("error no such key");
}

QString grab(CMainFrame& frame, const QString& which, const QString& file) {
    QWidget* target = nullptr;
    if (which == QLatin1String("frame"))
        target = &frame;
    else if (which == QLatin1String("dialing"))
        target = openWindow<DialingDialog>();
    else if (which == QLatin1String("message") && !openMessages().isEmpty())
        target = openMessages().last();
    else if (which == QLatin1String("modal"))
        target = modalDialog();
    if (!target)
        return QStringLiteral("error nothing to grab");
    return target->grab().save(file) ? QStringLiteral("ok") : QStringLiteral("error cannot save");
}

}  // namespace

void addFrameTestCommands(LineCommandServer& channel, CMainFrame& frame, CallController& call) {
    using Words = QStringList;
    channel.add(QStringLiteral("status"), [&frame](const Words&) {
        const auto* line =
            frame.findChild<QLabel*>(QStringLiteral("id%1").arg(CMainFrame::kStatusLineId));
        return line ? line->text() : QString();
    });
    channel.add(QStringLiteral("state"), [&call](const Words&) {
        return QString::number(static_cast<int>(call.connection().state()));
    });
    channel.add(QStringLiteral("card"), [&frame](const Words&) {
        const auto* text =
            frame.findChild<QWidget*>(QStringLiteral("id%1").arg(CMainFrame::kCardTextId));
        return flag(text && text->isVisibleTo(&frame));
    });
    channel.add(QStringLiteral("dialing"),
                [](const Words&) { return flag(openWindow<DialingDialog>() != nullptr); });
    channel.add(QStringLiteral("command"), [&frame](const Words& w) {
        if (w.size() != 2)
            return QStringLiteral("error command N");
        const auto id = static_cast<CommandId>(w[1].toInt());
        // Queued: a command may open a modal window, and the answer must go out first.
        QTimer::singleShot(0, &frame, [&frame, id] { frame.runCommand(id); });
        return QStringLiteral("ok");
    });
    channel.add(QStringLiteral("key"), [&frame](const Words& w) {
        return w.size() == 2 ? pressKey(frame, w[1]) : QStringLiteral("error key SEQUENCE");
    });
    channel.add(QStringLiteral("messages"), [](const Words&) {
        QStringList ids;
        for (MessageDialog* m : openMessages())
            ids.append(QString::number(m->definition().id));
        return ids.join(QLatin1Char(' '));
    });
    channel.add(QStringLiteral("answer"), [](const Words& w) {
        return w.size() == 2 ? answerButton(w[1]) : QStringLiteral("error answer BUTTON");
    });
    channel.add(QStringLiteral("modal"), [](const Words&) {
        QDialog* d = modalDialog();
        if (!d)
            return QString();
        auto* wizard = qobject_cast<QWizard*>(d);
        return wizard && wizard->currentPage()
                   ? d->objectName() + QLatin1Char(' ') + wizard->currentPage()->objectName()
                   : d->objectName();
    });
    channel.add(QStringLiteral("set"), [](const Words& w) {
        QDialog* d = modalDialog();
        if (!d || w.size() < 2)
            return QStringLiteral("error no dialog");
        return setControl(*d, w[1], w.mid(2).join(QLatin1Char(' ')));
    });
    channel.add(QStringLiteral("press"), [](const Words& w) {
        return w.size() == 2 ? pressDialogButton(w[1]) : QStringLiteral("error press BUTTON");
    });
    // The visible top-level windows by class: what is left open when the program will not end.
    channel.add(QStringLiteral("windows"), [](const Words&) {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                names.append(QString::fromLatin1(w->metaObject()->className()));
        }
        return names.join(QLatin1Char(' '));
    });
    channel.add(QStringLiteral("grab"), [&frame](const Words& w) {
        return w.size() == 3 ? grab(frame, w[1], w[2]) : QStringLiteral("error grab WHAT FILE");
    });
    channel.add(QStringLiteral("quit"), [&frame](const Words&) {
        QTimer::singleShot(0, &frame, [&frame] { frame.runCommand(CommandId::Exit); });
        return QStringLiteral("ok");
    });
}

}  // namespace krl
