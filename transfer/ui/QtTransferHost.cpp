#include "transfer/ui/QtTransferHost.h"

#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QUrl>

#include "platform/qt/ClipboardPackager.h"

namespace krl {

void QtTransferHost::launch(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void QtTransferHost::restoreClipboard(const std::string& path, int format) {
    ClipboardPackager::restore(*QGuiApplication::clipboard(), path, format);
}

void QtTransferHost::fileArrived(const std::string& path, const std::string& party) {
    if (!commands_.notify || (commands_.watched && commands_.watched()))
        return;
    QString body = QFileInfo(QString::fromStdString(path)).fileName();
    if (!party.empty())
        body += QStringLiteral(" from ") + QString::fromStdString(party);
    // Escaped: a notification service may read markup in the body.
    commands_.notify(QStringLiteral("File received"), body.toHtmlEscaped());
}

void QtTransferHost::removeFile(const std::string& path) {
    // Only packages are removed: with the last of a send goes its folder.
    ClipboardPackager::discard(path);
}

std::string QtTransferHost::typeName(const std::string& path) {
    static const QMimeDatabase types;
    return types.mimeTypeForFile(QString::fromStdString(path)).comment().toStdString();
}

std::string QtTransferHost::historyDate(bool longDate) {
    // Coordinated universal time, as the histories have always been written.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QLocale locale = QLocale::system();
    return (locale.toString(now.date(), longDate ? QLocale::LongFormat : QLocale::ShortFormat) +
            QStringLiteral("  ") + locale.toString(now.time(), QLocale::ShortFormat))
        .toStdString();
}

}  // namespace krl
