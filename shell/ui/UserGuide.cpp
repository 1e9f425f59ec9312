#include "shell/ui/UserGuide.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace krl {

UserGuide::UserGuide() {
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../share/kestrelcall/help"));
    folder_ = QFileInfo(installed).isDir() ? QDir::cleanPath(installed)
                                           : QStringLiteral(KRL_BUILD_HELP_DIR);
}

bool UserGuide::open(const QString& page) const {
    const QString file = page.section(QLatin1Char('#'), 0, 0);
    const QString part = page.section(QLatin1Char('#'), 1);
    const QString path = QDir(folder_).filePath(file);
    if (!QFileInfo(path).isFile())
        return false;
    QUrl url = QUrl::fromLocalFile(path);
    if (!part.isEmpty())
        url.setFragment(part);
    return QDesktopServices::openUrl(url);
}

bool UserGuide::open(HelpWindow window) const {
    const std::string_view page = helpPage(window);
    return open(QString::fromUtf8(page.data(), static_cast<qsizetype>(page.size())));
}

}  // namespace krl
