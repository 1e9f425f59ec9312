#include "shell/ui/CardTestCommands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "addressbook/ui/EditCardDialog.h"
#include "base/Cp1252.h"
#include "controls/ui/PictureControl.h"
#include "platform/qt/LineCommandServer.h"
#include "shell/CallController.h"
#include "shell/ui/CMainFrame.h"

namespace krl {
namespace {

using Words = QStringList;

QString rest(const Words& w, int from) {
    return w.mid(from).join(QLatin1Char(' '));
}

template <class W>
W* inModal(const QString& id) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal->findChild<W*>(QStringLiteral("id") + id) : nullptr;
}

QString pick(const QString& text) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return QStringLiteral("error no dialog");
    for (auto* tree : modal->findChildren<QTreeWidget*>()) {
        const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        if (!found.isEmpty()) {
            tree->setCurrentItem(found.first());
            return QStringLiteral("ok");
        }
    }
    return QStringLiteral("error no such node");
}

}  // namespace

void addCardTestCommands(LineCommandServer& channel, CMainFrame& frame, CallController& call) {
    channel.add(QStringLiteral("pick"), [](const Words& w) {
        return w.size() >= 2 ? pick(rest(w, 1)) : QStringLiteral("error pick TEXT");
    });
    channel.add(QStringLiteral("click"), [](const Words& w) {
        auto* button = w.size() == 2 ? inModal<QAbstractButton>(w[1]) : nullptr;
        if (!button || !button->isEnabled())
            return QStringLiteral("error no such button");
        // Queued: the click may run a dialog of its own, and the answer must go out first.
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
        return QStringLiteral("ok");
    });
    channel.add(QStringLiteral("text"), [](const Words& w) {
        if (w.size() < 2)
            return QStringLiteral("error text ID TEXT");
        if (auto* edit = inModal<QPlainTextEdit>(w[1])) {
            edit->setPlainText(rest(w, 2));
            return QStringLiteral("ok");
        }
        if (auto* edit = inModal<QLineEdit>(w[1])) {
            edit->setText(rest(w, 2));
            return QStringLiteral("ok");
        }
        return QStringLiteral("error no such control");
    });
    channel.add(QStringLiteral("cardpicture"), [](const Words& w) {
        auto* editor = qobject_cast<EditCardDialog*>(QApplication::activeModalWidget());
        if (!editor || w.size() < 2)
            return QStringLiteral("error no card editor");
        return editor->setPicture(rest(w, 1)) ? QStringLiteral("ok")
                                              : QStringLiteral("error picture refused");
    });
    channel.add(QStringLiteral("remote"), [&call](const Words&) {
        const auto& card = call.remoteCard();
        if (!card)
            return QString();
        return QString::fromStdString(cp1252ToUtf8(card->name) + "\t" + cp1252ToUtf8(card->phone) +
                                      "\t" + card->picture);
    });
    channel.add(QStringLiteral("remotepicture"), [&frame](const Words&) {
        const auto* picture = frame.findChild<PictureControl*>(
            QStringLiteral("id%1").arg(CMainFrame::kCardPictureId));
        return picture && picture->hasPicture() ? QStringLiteral("1") : QStringLiteral("0");
    });
}

}  // namespace krl
