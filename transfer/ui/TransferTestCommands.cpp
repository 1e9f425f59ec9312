#include "transfer/ui/TransferTestCommands.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/qt/LineCommandServer.h"
#include "transfer/FileTransferWork.h"
#include "transfer/ui/CFileListCtrl.h"
#include "transfer/ui/CFileTransfer.h"
#include "transfer/ui/TransferFeature.h"
#include "transfer/ui/TransferPane.h"

namespace krl {
namespace {

using Words = QStringList;

QDialog* modalDialog() {
    return qobject_cast<QDialog*>(QApplication::activeModalWidget());
}

CFileListCtrl* modalList() {
    QDialog* d = modalDialog();
    return d ? d->findChild<CFileListCtrl*>() : nullptr;
}

TransferSide sideOf(const QString& word) {
    return word == QLatin1String("sent") || word == QLatin1String("sending")
               ? TransferSide::Sending
               : TransferSide::Receiving;
}

QString ok() {
    return QStringLiteral("ok");
}

QString pressButton(const QString& which) {
    QDialog* d = modalDialog();
    if (!d)
        return QStringLiteral("error no dialog");
    if (which == QLatin1String("ok")) {
        QTimer::singleShot(0, d, &QDialog::accept);
    } else if (which == QLatin1String("cancel")) {
        QTimer::singleShot(0, d, &QDialog::reject);
    } else {
        auto* b = d->findChild<QPushButton*>(QStringLiteral("id") + which);
        if (!b)
            return QStringLiteral("error no such button");
        QTimer::singleShot(0, b, &QPushButton::click);
    }
    return ok();
}

QString run(TransferFeature& transfer, const Words& all) {
    // The words were split at blanks; paths are split at TABs.
    const QStringList tabbed = all.mid(1).join(QLatin1Char(' ')).split(QLatin1Char('\t'));
    const Words w = all.mid(1);
    if (w.isEmpty())
        return QStringLiteral("error transfer WHAT");
    const QString& verb = w[0];
    CFileTransfer* window = transfer.window();
    if (tabbed[0] == QLatin1String("drop") && tabbed.size() > 1) {
        const QStringList files = tabbed.mid(1);
        QTimer::singleShot(0, &transfer, [&transfer, files] { transfer.takeFiles(files); });
        return ok();
    }
    if (verb == QLatin1String("open")) {
        QTimer::singleShot(0, &transfer, [&transfer] { transfer.open(); });
        return ok();
    }
    if (verb == QLatin1String("window"))
        return window ? QStringLiteral("1") : QStringLiteral("0");
    if (verb == QLatin1String("clipboard")) {
        QTimer::singleShot(0, &transfer, [&transfer] { transfer.sendClipboard(); });
        return ok();
    }
    if (verb == QLatin1String("close") || verb == QLatin1String("details") ||
        verb == QLatin1String("sending") || verb == QLatin1String("receiving")) {
        if (!window)
            return QStringLiteral("error no window");
        if (verb == QLatin1String("close")) {
            QTimer::singleShot(0, window, [window] { window->close(); });
            return ok();
        }
        if (verb == QLatin1String("details")) {
            window->setDetailsShown(w.value(1) == QLatin1String("1"));
            return ok();
        }
        TransferPane* pane = window->pane(sideOf(verb));
        return pane->nameText() + QLatin1Char('\t') + pane->percentText() + QLatin1Char('\t') +
               pane->rateText();
    }
    if (verb == QLatin1String("history") && w.size() == 2) {
        QStringList lines;
        for (const HistoryEntry& e : transfer.work().history(sideOf(w[1])).load())
            lines.append(QString::fromStdString(e.path + ";" + e.party));
        return lines.join(QLatin1Char('\t'));
    }
    if (verb == QLatin1String("show") && w.size() == 2) {
        const TransferSide side = sideOf(w[1]);
        QTimer::singleShot(0, &transfer, [&transfer, side] { transfer.showHistory(side); });
        return ok();
    }
    if (verb == QLatin1String("modal")) {
        QDialog* d = modalDialog();
        return d ? d->objectName() : QString();
    }
    if (verb == QLatin1String("set") && w.size() >= 2) {
        QDialog* d = modalDialog();
        auto* edit = d ? d->findChild<QLineEdit*>(QStringLiteral("id") + w[1]) : nullptr;
        if (!edit)
            return QStringLiteral("error no such control");
        edit->setText(w.mid(2).join(QLatin1Char(' ')));
        return ok();
    }
    if (verb == QLatin1String("select") || verb == QLatin1String("rows")) {
        CFileListCtrl* list = modalList();
        if (!list)
            return QStringLiteral("error no list");
        if (verb == QLatin1String("rows"))
            return QString::number(list->topLevelItemCount());
        list->clearSelection();
        for (int i = 1; i < w.size(); ++i) {
            if (QTreeWidgetItem* item = list->topLevelItem(w[i].toInt()))
                item->setSelected(true);
        }
        return ok();
    }
    if (verb == QLatin1String("note")) {
        QDialog* d = modalDialog();
        auto* note = d ? d->findChild<QLabel*>(QStringLiteral("note")) : nullptr;
        return note ? note->text() : QString();
    }
    if (verb == QLatin1String("press") && w.size() == 2)
        return pressButton(w[1]);
    if (verb == QLatin1String("grab") && w.size() >= 3) {
        QWidget* target =
            w[1] == QLatin1String("window") ? static_cast<QWidget*>(window) : modalDialog();
        if (!target)
            return QStringLiteral("error nothing to grab");
        return target->grab().save(w.mid(2).join(QLatin1Char(' ')))
                   ? ok()
                   : QStringLiteral("error cannot save");
    }
    return QStringLiteral("error unknown transfer verb");
}

}  // namespace

void addTransferTestCommands(LineCommandServer& channel, TransferFeature& transfer) {
    channel.add(QStringLiteral("queued"), [&transfer](const Words&) {
        return transfer.queuedFiles().join(QLatin1Char('\t'));
    });
    channel.add(QStringLiteral("transfer"),
                [&transfer](const Words& words) { return run(transfer, words); });
}

}  // namespace krl
